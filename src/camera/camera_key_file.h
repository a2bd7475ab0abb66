// The camera key file: a headerless sequence of 56-byte records, one per key,
// each 14 little-endian 32-bit floats (eye position, look-at point, up vector,
// fov, near, far, ratio, timestamp). Parsing and writing work on bytes only;
// opening, logging and replacing files is the Camera's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "camera/camera_key.h"

constexpr size_t kCameraKeyRecordSize = 56;

struct ParsedCameraKeys {
  std::vector<CameraKey> keys;
  // Bytes after the last whole record; they are not read as a key.
  size_t trailingBytes = 0;
  // Indices of whole records left out because a value in them is not a
  // finite number (a damaged file): one such key would make every view
  // blended from it undefined.
  std::vector<size_t> nonFiniteRecords;
};

// Reads every whole record; the timestamp is read and dropped. Never fails:
// an empty buffer is an empty list, a partial record at the end is reported
// in trailingBytes, a record holding NaN or infinity in nonFiniteRecords.
ParsedCameraKeys parseCameraKeys(const uint8_t* data, size_t size);

// Writes one record (timestamp 0.0) into out[0..55].
void writeCameraKeyRecord(const CameraKey& key, uint8_t* out);

// The whole file's bytes for a key list.
std::vector<uint8_t> serializeCameraKeys(const std::vector<CameraKey>& keys);
