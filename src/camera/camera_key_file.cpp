#include "camera/camera_key_file.h"

#include <cmath>
#include <cstring>

#include "resources/little_endian.h"

namespace {
constexpr int kFloatsPerRecord = 14;

}  // namespace

ParsedCameraKeys parseCameraKeys(const uint8_t* data, size_t size) {
  ParsedCameraKeys result;
  if (data == nullptr) size = 0;
  const size_t count = size / kCameraKeyRecordSize;
  result.trailingBytes = size % kCameraKeyRecordSize;
  result.keys.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    float f[kFloatsPerRecord];
    bool finite = true;
    for (int j = 0; j < kFloatsPerRecord; ++j) {
      f[j] = readFloatLE(data + i * kCameraKeyRecordSize + 4 * j);
      // The timestamp (the last float) is never used, so it may be anything.
      if (j < kFloatsPerRecord - 1 && !std::isfinite(f[j])) finite = false;
    }
    if (!finite) {
      result.nonFiniteRecords.push_back(i);
      continue;
    }
    CameraKey key;
    key.eyePos = {f[0], f[1], f[2]};
    key.lookAt = {f[3], f[4], f[5]};
    key.upVector = {f[6], f[7], f[8]};
    key.fov = f[9];
    key.near = f[10];
    key.far = f[11];
    key.ratio = f[12];
    // f[13] is the timestamp, which nothing uses.
    result.keys.push_back(key);
  }
  return result;
}

void writeCameraKeyRecord(const CameraKey& key, uint8_t* out) {
  const float f[kFloatsPerRecord] = {
      key.eyePos.x,   key.eyePos.y,   key.eyePos.z, key.lookAt.x, key.lookAt.y,
      key.lookAt.z,   key.upVector.x, key.upVector.y, key.upVector.z, key.fov,
      key.near,       key.far,        key.ratio,    0.0f};
  for (int j = 0; j < kFloatsPerRecord; ++j) writeFloatLE(f[j], out + 4 * j);
}

std::vector<uint8_t> serializeCameraKeys(const std::vector<CameraKey>& keys) {
  std::vector<uint8_t> bytes(keys.size() * kCameraKeyRecordSize);
  for (size_t i = 0; i < keys.size(); ++i)
    writeCameraKeyRecord(keys[i], bytes.data() + i * kCameraKeyRecordSize);
  return bytes;
}
