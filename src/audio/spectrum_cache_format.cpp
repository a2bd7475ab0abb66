#include "audio/spectrum_cache_format.h"

#include <cstring>

#include "resources/little_endian.h"


SpectrumCacheParseResult parseSpectrumCache(const uint8_t* bytes, size_t size) {
  SpectrumCacheParseResult result;
  if (bytes == nullptr || size < kSpectrumCacheHeaderBytes) {
    result.problem = "shorter than its header (" + std::to_string(size) + " bytes)";
    return result;
  }
  SpectrumCacheData& data = result.data;
  data.frameCount = readInt32LE(bytes);
  data.bandCount = readInt32LE(bytes + 4);
  data.framesPerSecond = readInt32LE(bytes + 8);
  data.fftFlags = readInt32LE(bytes + 12);
  if (data.frameCount < 0) {
    result.problem = "negative frame count " + std::to_string(data.frameCount);
  } else if (data.bandCount < 1 || data.bandCount > kMaxCacheBandCount) {
    result.problem = "band count " + std::to_string(data.bandCount) + " out of range";
  } else if (data.framesPerSecond < 1 || data.framesPerSecond > kMaxCacheFramesPerSecond) {
    result.problem = "frames per second " + std::to_string(data.framesPerSecond) + " out of range";
  }
  if (!result.problem.empty()) {
    result.data = SpectrumCacheData{};
    return result;
  }
  // Both counts are bounded, so this cannot overflow 64 bits.
  const uint64_t valueCount = uint64_t(data.frameCount) * uint64_t(data.bandCount);
  const uint64_t expected = kSpectrumCacheHeaderBytes + valueCount * sizeof(float);
  if (uint64_t(size) != expected) {
    result.problem = std::to_string(size) + " bytes where the header announces " + std::to_string(expected);
    result.data = SpectrumCacheData{};
    return result;
  }
  data.bandValues.resize(static_cast<size_t>(valueCount));
  const uint8_t* p = bytes + kSpectrumCacheHeaderBytes;
  for (size_t i = 0; i < data.bandValues.size(); ++i, p += 4) {
    data.bandValues[i] = readFloatLE(p);
  }
  return result;
}

std::vector<uint8_t> writeSpectrumCache(const SpectrumCacheData& data) {
  std::vector<uint8_t> out;
  out.reserve(kSpectrumCacheHeaderBytes + data.bandValues.size() * sizeof(float));
  appendInt32LE(out, data.frameCount);
  appendInt32LE(out, data.bandCount);
  appendInt32LE(out, data.framesPerSecond);
  appendInt32LE(out, data.fftFlags);
  for (float value : data.bandValues) appendFloatLE(out, value);
  return out;
}
