// Camera: reading and writing the key file and the key-editing operations.
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "base/log.h"
#include "camera/camera.h"
#include "camera/camera_key_file.h"
#include "resources/file_utils.h"

namespace {
// Writes the key records to a new file, logging each, and forces them to
// disk; false on any failure.
bool writeWholeFile(const std::string& osName, const std::vector<CameraKey>& keys) {
  FILE* file = std::fopen(osName.c_str(), "wb");
  if (!file) return false;
  bool ok = true;
  uint8_t record[kCameraKeyRecordSize];
  for (size_t i = 0; i < keys.size(); ++i) {
    Log("Writing Camera Pos: %d\n", static_cast<int>(i));
    writeCameraKeyRecord(keys[i], record);
    if (ok) ok = std::fwrite(record, 1, sizeof record, file) == sizeof record;
  }
  if (std::fflush(file) != 0) ok = false;
  if (ok && fsync(fileno(file)) != 0) ok = false;
  if (std::fclose(file) != 0) ok = false;
  return ok;
}
}  // namespace

bool Camera::load(std::string path) {
  keyFilePath = path;
  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath(path), bytes)) {
    Log("CameraKeys file isn't good, recheck: %s\n", path.c_str());
    return false;
  }
  Log("Reading Camera Keys From: %s  fileEnd at %db\n", path.c_str(),
      static_cast<int>(bytes.size()));
  const ParsedCameraKeys parsed = parseCameraKeys(bytes.data(), bytes.size());
  for (const CameraKey& key : parsed.keys) {
    currentKey += 1;
    keys.push_back(key);
  }
  for (size_t record : parsed.nonFiniteRecords)
    Log("\tDropped camera key record %d of %s: it holds a value that is not a finite number\n",
        static_cast<int>(record), path.c_str());
  if (parsed.trailingBytes != 0)
    Log("\tDropped a partial camera key record of %d bytes at the end of %s\n",
        static_cast<int>(parsed.trailingBytes), path.c_str());
  Log("Read %d positions\n", currentKey);
  logRebuild();
  return true;
}

ReloadResults Camera::reloadKeys(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath(path), bytes)) return {};
  bytes.resize(bytes.size() - bytes.size() % kCameraKeyRecordSize);
  if (bytes == serializeCameraKeys(keys)) return {};
  keys.clear();
  currentKey = 0;
  load(path);
  return {ReloadResult::done(path)};
}

void Camera::saveKeys() {
  const std::string target = osPath(keyFilePath);
  if (keys.empty()) {
    std::remove(target.c_str());
    return;
  }
  if (keyFilePath.empty()) {
    Log("camera::problem writing to file");
    return;
  }
  // Written beside the old file and renamed over it, so a failed write never
  // costs the keys already saved.
  const std::string temporary = target + ".tmp";
  if (!writeWholeFile(temporary, keys) || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::remove(temporary.c_str());
    Log("camera::problem writing to file");
    return;
  }
  Log("Camera keys written successfully\n");
}

void Camera::printView() {
  Log("\tEyepos: %f %f %f\n", eyePos.x, eyePos.y, eyePos.z);
  Log("\tLookAt: %f %f %f\n", lookAt.x, lookAt.y, lookAt.z);
  Log("\tUpvector: %f %f %f\n", upVector.x, upVector.y, upVector.z);
  Log("\tNear/Far: %f %f\n", near, far);
  Log("\tFOV/RATIO: %f\n", fov);
  Log("\timestamp: %f\n", 0.0);
}

void Camera::saveCameraPos(int index) {
  // The storage address is a diagnostic only; it is printed truncated.
  Log("saveCameraPos(), index=%d, cameraBegin() = %d\n", index,
      static_cast<int>(reinterpret_cast<uintptr_t>(keys.data())));
  keys.push_back(currentView());
  Log("Inserted Pos at %d\n", static_cast<int>(keys.size()) - 1);
  currentKey += 1;
  Log("\tNumber of keys in stack: %d\n", static_cast<int>(keys.size()));
}

void Camera::copyKey(int index) {
  if (!validKey(index)) return;
  setCurrentView(keys[static_cast<size_t>(index)]);
  keys.insert(keys.begin() + index + 1, currentView());
  Log("\tNumber of keys in stack: %d (copy)\n", static_cast<int>(keys.size()));
  currentKey += 1;
}

void Camera::updateKey(int index) {
  if (!validKey(index)) return;
  Log("Updated Camera Index: %d\n", index);
  keys[static_cast<size_t>(index)] = currentView();
}

void Camera::deleteKey(int index) {
  if (!validKey(index)) return;
  keys.erase(keys.begin() + index);
  Log("Deleting Index: %d\n", index);
  currentKey -= 1;
}

void Camera::selectKey(int index) {
  if (validKey(index)) setCurrentView(keys[static_cast<size_t>(index)]);
}
