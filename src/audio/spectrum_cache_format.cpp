#include "audio/spectrum_cache_format.h"

#include <cstring>

namespace {
int32_t readInt32(const uint8_t* p) {
  const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  int32_t result;
  std::memcpy(&result, &v, sizeof result);
  return result;
}

void appendUint32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void appendInt32(std::vector<uint8_t>& out, int32_t value) {
  uint32_t v;
  std::memcpy(&v, &value, sizeof v);
  appendUint32(out, v);
}
}  // namespace

SpectrumCacheParseResult parseSpectrumCache(const uint8_t* bytes, size_t size) {
  SpectrumCacheParseResult result;
  if (bytes == nullptr || size < kSpectrumCacheHeaderBytes) {
    result.problem = "shorter than its header (" + std::to_string(size) + " bytes)";
    return result;
  }
  SpectrumCacheData& data = result.data;
  data.frameCount = readInt32(bytes);
  data.bandCount = readInt32(bytes + 4);
  data.framesPerSecond = readInt32(bytes + 8);
  data.fftFlags = readInt32(bytes + 12);
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
    const int32_t bits = readInt32(p);
    std::memcpy(&data.bandValues[i], &bits, sizeof(float));
  }
  return result;
}

std::vector<uint8_t> writeSpectrumCache(const SpectrumCacheData& data) {
  std::vector<uint8_t> out;
  out.reserve(kSpectrumCacheHeaderBytes + data.bandValues.size() * sizeof(float));
  appendInt32(out, data.frameCount);
  appendInt32(out, data.bandCount);
  appendInt32(out, data.framesPerSecond);
  appendInt32(out, data.fftFlags);
  for (float value : data.bandValues) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendUint32(out, bits);
  }
  return out;
}
