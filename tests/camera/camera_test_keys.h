// Key values and raw key-file records shared by the camera tests.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "camera/camera_key.h"

// A key whose 13 fields all differ and are exact in binary (steps of 0.25).
inline CameraKey testKey(int n) {
  const float b = static_cast<float>(n) * 4.0f;
  CameraKey key;
  key.upVector = {0.0f, 1.0f, 0.25f * static_cast<float>(n)};
  key.eyePos = {b + 1.0f, b + 2.0f, b + 3.0f};
  key.lookAt = {b - 1.0f, b - 2.0f, b - 3.0f};
  key.fov = 40.0f + b;
  key.far = 1000.0f + b;
  key.near = 0.5f + static_cast<float>(n);
  key.ratio = n % 2 == 0 ? -1.0f : 1.5f;
  return key;
}

inline bool sameKey(const CameraKey& a, const CameraKey& b) {
  return std::memcmp(&a, &b, sizeof(CameraKey)) == 0;
}

// One record laid out by hand: eye, look-at, up, fov, near, far, ratio, time.
inline void appendRecord(std::vector<unsigned char>& bytes, const CameraKey& k,
                         float timestamp = 0.0f) {
  const std::array<float, 14> f = {k.eyePos.x,   k.eyePos.y,   k.eyePos.z,   k.lookAt.x,
                                   k.lookAt.y,   k.lookAt.z,   k.upVector.x, k.upVector.y,
                                   k.upVector.z, k.fov,        k.near,       k.far,
                                   k.ratio,      timestamp};
  for (float v : f) {
    unsigned char le[4];
    std::memcpy(le, &v, 4);  // the test machines are little-endian
    bytes.insert(bytes.end(), le, le + 4);
  }
}

inline float floatAt(const std::vector<unsigned char>& bytes, size_t offset) {
  float v;
  std::memcpy(&v, bytes.data() + offset, 4);
  return v;
}
