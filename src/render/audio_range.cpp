#include "render/audio_range.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "resources/little_endian.h"

namespace {
constexpr int kChannels = 2;
constexpr int kBytesPerSample = 2;
constexpr size_t kHeaderBytes = 44;

void appendText(std::vector<uint8_t>& out, const char* text) { out.insert(out.end(), text, text + 4); }

void appendUint16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
}  // namespace

SampleRange samplesOfFrames(long long firstFrame, long long endFrame, int fps, int sampleRate) {
  SampleRange range;
  if (fps <= 0 || sampleRate <= 0) return range;
  range.first = static_cast<int64_t>(firstFrame) * sampleRate / fps;
  range.end = static_cast<int64_t>(endFrame) * sampleRate / fps;
  return range;
}

bool writeWavRange(const DecodedAudio& audio, const SampleRange& range, const std::string& path,
                   std::string& error) {
  const int64_t frames = std::max<int64_t>(0, range.end - range.first);
  const uint32_t dataBytes = static_cast<uint32_t>(frames * kChannels * kBytesPerSample);
  std::vector<uint8_t> bytes;
  bytes.reserve(kHeaderBytes + dataBytes);
  appendText(bytes, "RIFF");
  appendInt32LE(bytes, static_cast<int32_t>(36 + dataBytes));
  appendText(bytes, "WAVE");
  appendText(bytes, "fmt ");
  appendInt32LE(bytes, 16);
  appendUint16(bytes, 1);  // PCM
  appendUint16(bytes, kChannels);
  appendInt32LE(bytes, audio.sampleRate);
  appendInt32LE(bytes, audio.sampleRate * kChannels * kBytesPerSample);
  appendUint16(bytes, kChannels * kBytesPerSample);
  appendUint16(bytes, 8 * kBytesPerSample);
  appendText(bytes, "data");
  appendInt32LE(bytes, static_cast<int32_t>(dataBytes));
  const int64_t available = audio.frameCount();
  for (int64_t f = range.first; f < range.first + frames; ++f) {
    for (int c = 0; c < kChannels; ++c) {
      const int16_t sample = f >= 0 && f < available ? audio.samples[static_cast<size_t>(f * kChannels + c)] : 0;
      appendUint16(bytes, static_cast<uint16_t>(sample));
    }
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}
