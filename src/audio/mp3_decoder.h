// Whole-file MP3 decoding with libmpg123 into 16-bit interleaved stereo PCM
// (mono sources are duplicated into both channels). Decoding only: no
// playback, no analysis.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kPcmChannels = 2;
constexpr int kBytesPerFrame = kPcmChannels * 2;  // 16-bit stereo

struct DecodedAudio {
  std::vector<int16_t> samples;  // left, right, left, right, ...
  int sampleRate = 0;

  int64_t frameCount() const { return static_cast<int64_t>(samples.size() / kPcmChannels); }
  bool empty() const { return samples.empty(); }
};

struct DecodeResult {
  DecodedAudio audio;
  std::string error;  // empty on success
  // Set on success when the file's header announces a length other than
  // what decoded (a file cut short, a damaged header): says both. The
  // decoded length is the one used.
  std::string notice;
};

// Decodes an MP3 held in memory.
DecodeResult decodeMp3(const uint8_t* data, size_t size);

// Reads the file (an operating-system path) and decodes it.
DecodeResult decodeMp3File(const std::string& osPath);
