#include "audio/audio_stream.h"

#include <algorithm>
#include <cmath>
#include <system_error>

void AudioStream::prefetch(const std::string& osPath) {
  try {
    prefetched_ = std::async(std::launch::async, [osPath] { return decodeMp3File(osPath); });
    prefetchPath_ = osPath;
  } catch (const std::system_error&) {
    // No thread to be had: open() decodes on its own.
  }
}

bool AudioStream::open(const std::string& osPath) {
  const bool fetched = prefetched_.valid() && prefetchPath_ == osPath;
  DecodeResult result = fetched ? prefetched_.get() : decodeMp3File(osPath);
  openError_ = result.error;
  openNotice_ = result.notice;
  openDecoded(result.error.empty() ? std::move(result.audio) : DecodedAudio{});
  return isOpen();
}

void AudioStream::openDecoded(DecodedAudio audio) {
  audio_ = std::move(audio);
  if (audio_.sampleRate <= 0) audio_ = DecodedAudio{};
}

double AudioStream::bytesToSeconds(int64_t bytes) const {
  if (audio_.sampleRate <= 0) return 0.0;
  return static_cast<double>(bytes / kBytesPerFrame) / audio_.sampleRate;
}

int64_t AudioStream::secondsToBytes(double seconds) const {
  if (audio_.sampleRate <= 0 || !(seconds > 0.0)) return 0;
  const double frames = std::floor(seconds * audio_.sampleRate);
  if (frames >= 9.0e15) return INT64_MAX / kBytesPerFrame * kBytesPerFrame;
  return static_cast<int64_t>(frames) * kBytesPerFrame;
}

int64_t AudioStream::clampedFrame(int64_t bytes) const {
  return std::clamp<int64_t>(bytes / kBytesPerFrame, 0, audio_.frameCount());
}

float playbackGain(float volume) {
  if (!(volume > 0.0f)) return 0.0f;
  return std::min(volume, 1.0f);
}
