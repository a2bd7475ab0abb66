#include "render/frame_sink.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <stb_image_write.h>

#include "render/audio_range.h"
#include "render/ffmpeg_process.h"

namespace fs = std::filesystem;

// Creating and removing a probe file is the one sure test that a folder takes
// new files (permissions, read-only mounts, full disks).
bool canCreateFileIn(const std::string& folder, std::string& why) {
  const fs::path probe = fs::path(folder) / ".tarvo-render-probe";
  {
    std::ofstream file(probe, std::ios::binary);
    if (!file || !(file << 'x') || !file.flush()) {
      why = std::strerror(errno != 0 ? errno : EACCES);
      return false;
    }
  }
  std::error_code error;
  fs::remove(probe, error);
  return true;
}

std::string frameFileName(const std::string& folder, long long number) {
  char name[32];
  std::snprintf(name, sizeof name, "%05lld.png", number);
  return (fs::path(folder) / name).string();
}

std::vector<std::string> videoEncoderArguments(const std::string& audioPath, const std::string& outputPath,
                                               double seconds) {
  std::vector<std::string> args = {"-i", audioPath, "-map", "0:v:0", "-map", "1:a:0"};
  // A length, not a frame count: a frame count would end the file before
  // the last frame's sound is written.
  if (seconds > 0.0) {
    char length[32];
    std::snprintf(length, sizeof length, "%.6f", seconds);
    args.insert(args.end(), {"-t", length});
  }
  args.insert(args.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "medium", "-crf", "18", "-c:a",
                           "aac", "-b:a", "192k", "-movflags", "+faststart", outputPath});
  return args;
}

namespace {
// PNG files are compressed on worker threads while the next frames are
// drawn; each frame's bytes are copied first, so the files are exactly what
// a single thread would write.
class PngFolderSink : public FrameSink {
 public:
  PngFolderSink(std::string folder, long long firstNumber) : folder_(std::move(folder)), index_(firstNumber) {}
  ~PngFolderSink() override { stopWorkers(); }

  bool open(const FrameFormat& format) override {
    format_ = format;
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error || !fs::is_directory(folder_)) {
      error_ = "cannot create the folder " + folder_ + ": " + (error ? error.message() : "not a folder");
      return false;
    }
    std::string why;
    if (!canCreateFileIn(folder_, why)) {
      error_ = "cannot write into " + folder_ + ": " + why;
      return false;
    }
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i + 1 < cores && i < kMaxWorkers; ++i) workers_.emplace_back([this] { work(); });
    return true;
  }

  bool write(const std::vector<unsigned char>& rgba) override {
    std::unique_lock<std::mutex> lock(mutex_);
    // A few frames in waiting at most: memory stays bounded.
    spaceFree_.wait(lock, [this] { return jobs_.size() < 2 * workers_.size() || !failure_.empty(); });
    if (!failure_.empty()) {
      error_ = failure_;
      return false;
    }
    jobs_.push_back({frameFileName(folder_, index_++), rgba});
    jobReady_.notify_one();
    return true;
  }

  bool finish() override {
    stopWorkers();
    if (!failure_.empty()) error_ = failure_;
    return failure_.empty();
  }

 private:
  static constexpr unsigned kMaxWorkers = 8;
  struct Job {
    std::string path;
    std::vector<unsigned char> rgba;
  };

  void work() {
    for (;;) {
      Job job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        jobReady_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
        if (jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
        spaceFree_.notify_one();
      }
      const int written = stbi_write_png(job.path.c_str(), format_.width, format_.height, 4, job.rgba.data(),
                                         format_.width * 4);
      if (!written) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failure_.empty()) failure_ = "could not write " + job.path;
        spaceFree_.notify_all();
      }
    }
  }

  void stopWorkers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    jobReady_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
  }

  std::string folder_;
  FrameFormat format_;
  long long index_ = 0;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable jobReady_;
  std::condition_variable spaceFree_;
  std::deque<Job> jobs_;
  std::string failure_;
  bool stopping_ = false;
};

class VideoSink : public FrameSink {
 public:
  VideoSink(std::string path, const DecodedAudio& audio) : path_(std::move(path)), audio_(audio) {}
  ~VideoSink() override { removeAudio(); }

  bool open(const FrameFormat& format) override {
    format_ = format;
    if (!programOnPath("ffmpeg")) {
      error_ = "ffmpeg is not installed (an .mp4 output needs it; PNG frames do not)";
      return false;
    }
    const fs::path parent = fs::absolute(path_).parent_path();
    std::string why;
    if (!fs::is_directory(parent) || !canCreateFileIn(parent.string(), why)) {
      error_ = "cannot write " + path_ + ": " + (why.empty() ? "no such folder" : why);
      return false;
    }
    audioPath_ = path_ + ".audio.wav";
    const SampleRange samples = samplesOfFrames(format.firstFrame, format.firstFrame + format.frameCount,
                                                format.fps, audio_.sampleRate);
    if (!writeWavRange(audio_, samples, audioPath_, error_)) return false;
    char size[32];
    char rate[16];
    std::snprintf(size, sizeof size, "%dx%d", format.width, format.height);
    std::snprintf(rate, sizeof rate, "%d", format.fps);
    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo",
                                     "-pix_fmt", "rgba", "-s", size, "-framerate", rate, "-i", "pipe:0"};
    const std::vector<std::string> rest = videoEncoderArguments(audioPath_, path_, 0);
    args.insert(args.end(), rest.begin(), rest.end());
    return ffmpeg_.start(args, true, error_);
  }

  bool write(const std::vector<unsigned char>& rgba) override {
    if (ffmpeg_.write(rgba.data(), rgba.size())) return true;
    error_ = "ffmpeg stopped taking frames (see its message above)";
    return false;
  }

  bool finish() override {
    const bool ok = ffmpeg_.finish();
    removeAudio();
    if (!ok) error_ = "ffmpeg failed to write " + path_;
    return ok;
  }

 private:
  void removeAudio() {
    if (audioPath_.empty()) return;
    std::error_code error;
    fs::remove(audioPath_, error);
    audioPath_.clear();
  }

  std::string path_;
  const DecodedAudio& audio_;
  std::string audioPath_;
  FrameFormat format_;
  FfmpegProcess ffmpeg_;
};
}  // namespace

std::unique_ptr<FrameSink> makePngFolderSink(const std::string& folder, long long firstNumber) {
  return std::make_unique<PngFolderSink>(folder, firstNumber);
}

std::unique_ptr<FrameSink> makeVideoSink(const std::string& path, const DecodedAudio& audio) {
  return std::make_unique<VideoSink>(path, audio);
}
