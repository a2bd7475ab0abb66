// Little-endian 32-bit integers and IEEE 754 floats in byte buffers: the one
// encoding of every binary file of the system (.track, .cache, .rg, .ig,
// .cam); 64-bit integers and doubles for the music analysis cache. Callers
// check the bytes are present before reading.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

inline uint32_t readUint32LE(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

inline int32_t readInt32LE(const uint8_t* bytes) {
  const uint32_t bits = readUint32LE(bytes);
  int32_t value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline float readFloatLE(const uint8_t* bytes) {
  const uint32_t bits = readUint32LE(bytes);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void writeUint32LE(uint32_t value, uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void writeInt32LE(int32_t value, uint8_t* bytes) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  writeUint32LE(bits, bytes);
}

inline void writeFloatLE(float value, uint8_t* bytes) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  writeUint32LE(bits, bytes);
}

inline void appendInt32LE(std::vector<uint8_t>& out, int32_t value) {
  uint8_t bytes[4];
  writeInt32LE(value, bytes);
  out.insert(out.end(), bytes, bytes + 4);
}

inline void appendFloatLE(std::vector<uint8_t>& out, float value) {
  uint8_t bytes[4];
  writeFloatLE(value, bytes);
  out.insert(out.end(), bytes, bytes + 4);
}

inline uint64_t readUint64LE(const uint8_t* bytes) {
  return static_cast<uint64_t>(readUint32LE(bytes)) | static_cast<uint64_t>(readUint32LE(bytes + 4)) << 32;
}

inline double readDoubleLE(const uint8_t* bytes) {
  const uint64_t bits = readUint64LE(bytes);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void appendUint64LE(std::vector<uint8_t>& out, uint64_t value) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void appendDoubleLE(std::vector<uint8_t>& out, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  appendUint64LE(out, bits);
}
