#include "render/frame_assembly.h"

#include <cstdio>
#include <filesystem>

#include "audio/mp3_decoder.h"
#include "demo/production_names.h"
#include "render/audio_range.h"
#include "render/ffmpeg_process.h"
#include "render/frame_sink.h"
#include "render/render_plan.h"
#include "resources/file_utils.h"

int assembleVideo(const RenderOptions& options) {
  namespace fs = std::filesystem;
  if (!programOnPath("ffmpeg")) {
    std::fprintf(stderr, "tarvo-render: ffmpeg is not installed (assembling a video needs it)\n");
    return 2;
  }
  const DecodeResult music = decodeMp3File(osPath(paths::kMusic));
  if (!music.error.empty()) {
    std::fprintf(stderr, "tarvo-render: the soundtrack %s could not be decoded: %s\n",
                 osPath(paths::kMusic).c_str(), music.error.c_str());
    return 2;
  }
  std::string problem;
  const FrameRange range = requestedFrames(options, soundtrackSeconds(music.audio), problem);
  if (range.count <= 0) {
    std::fprintf(stderr, "tarvo-render: nothing to assemble: %s\n", problem.c_str());
    return 2;
  }
  for (long long f = range.first; f < range.first + range.count; ++f) {
    std::error_code error;
    if (!fs::is_regular_file(frameFileName(options.encodeFolder, f), error)) {
      std::fprintf(stderr, "tarvo-render: frame %lld is missing: %s\n", f,
                   frameFileName(options.encodeFolder, f).c_str());
      return 2;
    }
  }
  const std::string audioPath = options.output + ".audio.wav";
  std::string error;
  const SampleRange samples =
      samplesOfFrames(range.first, range.first + range.count, options.fps, music.audio.sampleRate);
  if (!writeWavRange(music.audio, samples, audioPath, error)) {
    std::fprintf(stderr, "tarvo-render: %s\n", error.c_str());
    return 2;
  }
  std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
                                   "-framerate", std::to_string(options.fps),
                                   "-start_number", std::to_string(range.first),
                                   "-i", (fs::path(options.encodeFolder) / "%05d.png").string()};
  const std::vector<std::string> rest = videoEncoderArguments(audioPath, options.output, static_cast<double>(range.count) / options.fps);
  args.insert(args.end(), rest.begin(), rest.end());
  FfmpegProcess ffmpeg;
  const bool ok = ffmpeg.start(args, false, error) && ffmpeg.finish();
  std::error_code ignored;
  fs::remove(audioPath, ignored);
  if (!ok) {
    std::fprintf(stderr, "tarvo-render: ffmpeg failed to write %s%s%s\n", options.output.c_str(),
                 error.empty() ? "" : ": ", error.c_str());
    return 1;
  }
  std::printf("assembled %lld frames (%lld to %lld) at %d fps with samples %lld to %lld into %s\n", range.count,
              range.first, range.first + range.count - 1, options.fps, static_cast<long long>(samples.first),
              static_cast<long long>(samples.end), options.output.c_str());
  return 0;
}
