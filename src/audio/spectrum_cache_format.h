// The ".cache" file of the spectrum table: a 16-byte header (frame count,
// band count, frames per second, FFT flags; little-endian int32) and the
// frame-major float table. Bytes in, plain data out (and back); no files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kSpectrumCacheHeaderBytes = 16;
// Beyond these a header is taken as damage, not as a table to allocate.
constexpr int32_t kMaxCacheBandCount = 4096;
constexpr int32_t kMaxCacheFramesPerSecond = 1000;

struct SpectrumCacheData {
  int32_t frameCount = 0;
  int32_t bandCount = 0;
  int32_t framesPerSecond = 0;
  int32_t fftFlags = 0;
  std::vector<float> bandValues;
};

struct SpectrumCacheParseResult {
  SpectrumCacheData data;
  std::string problem;  // why the bytes were refused; empty when accepted
};

// Accepts only a header with sane counts followed by exactly the table it
// announces.
SpectrumCacheParseResult parseSpectrumCache(const uint8_t* bytes, size_t size);

std::vector<uint8_t> writeSpectrumCache(const SpectrumCacheData& data);
