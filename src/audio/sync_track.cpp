#include "audio/sync_track.h"

#include <cmath>
#include <cstring>

#include "base/log.h"
#include "resources/file_utils.h"
#include "resources/little_endian.h"


TrackParseResult parseTrackBytes(const uint8_t* data, size_t size) {
  TrackParseResult result;
  if (data == nullptr || size < kTrackHeaderBytes) {
    result.problem = "shorter than its key count";
    return result;
  }
  const int32_t count = readInt32LE(data);
  if (count < 0) {
    result.problem = "negative key count";
    return result;
  }
  const size_t present = (size - kTrackHeaderBytes) / kTrackKeyBytes;
  size_t usable = static_cast<size_t>(count);
  if (usable > present) {
    usable = present;
    result.problem = "holds fewer keys than its count";
  }
  result.keys.reserve(usable);
  for (size_t k = 0; k < usable; ++k) {
    const uint8_t* p = data + kTrackHeaderBytes + k * kTrackKeyBytes;
    SyncKey key;
    key.row = readInt32LE(p);
    key.value = readFloatLE(p + 4);
    key.kind = static_cast<int8_t>(p[8]);
    if (!result.keys.empty() && key.row <= result.keys.back().row) {
      result.dropped.push_back({key.row, "its row is not after row " + std::to_string(result.keys.back().row)});
    } else if (!std::isfinite(key.value)) {
      result.dropped.push_back({key.row, "its value is not a finite number"});
    } else {
      result.keys.push_back(key);
    }
  }
  return result;
}

std::vector<uint8_t> writeTrackBytes(const std::vector<SyncKey>& keys) {
  std::vector<uint8_t> out;
  out.reserve(kTrackHeaderBytes + keys.size() * kTrackKeyBytes);
  appendInt32LE(out, static_cast<int32_t>(keys.size()));
  for (const SyncKey& key : keys) {
    appendInt32LE(out, key.row);
    appendFloatLE(out, key.value);
    out.push_back(static_cast<uint8_t>(static_cast<int8_t>(key.kind)));
  }
  return out;
}

int SyncTrack::load(const SyncDevice& device) {
  std::vector<uint8_t> bytes;
  const std::string path = device.trackPath(name);
  if (!device.reader(osPath(path), bytes)) return -1;
  TrackParseResult parsed = parseTrackBytes(bytes.data(), bytes.size());
  if (!parsed.problem.empty()) {
    Log("\tsync track %s: %s; %d keys used\n", path.c_str(), parsed.problem.c_str(),
        static_cast<int>(parsed.keys.size()));
  }
  // A few lines say what happened; a file of random bytes must not flood the log.
  constexpr size_t kDropsNamed = 8;
  for (size_t i = 0; i < parsed.dropped.size() && i < kDropsNamed; ++i) {
    const DroppedKey& key = parsed.dropped[i];
    Log("\tsync track %s: key at row %d dropped, %s\n", path.c_str(), key.row, key.reason.c_str());
  }
  if (parsed.dropped.size() > kDropsNamed) {
    Log("\tsync track %s: %d more keys dropped\n", path.c_str(), static_cast<int>(parsed.dropped.size() - kDropsNamed));
  }
  if (parsed.keys.empty() && !parsed.problem.empty()) return -1;
  keys = std::move(parsed.keys);
  return 0;
}

int SyncTrack::findKey(int32_t row) const {
  int lo = 0;
  int hi = static_cast<int>(keys.size());
  if (hi <= 0) return -1;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (keys[mid].row < row) {
      lo = mid + 1;
    } else if (keys[mid].row > row) {
      hi = mid;
    } else {
      return mid;
    }
  }
  return lo - 1;
}

double SyncTrack::valueAt(double row) const {
  if (keys.empty()) return 0.0;
  const double floored = std::floor(row);
  // Rows beyond the int32 range (and NaN) lie before the first or after the
  // last key, even a key at the range's very end: the value is held.
  if (!(floored >= -2147483648.0)) return keys.front().value;
  if (floored > 2147483647.0) return keys.back().value;
  const int32_t irow = static_cast<int32_t>(floored);
  const int idx = findKey(irow);
  const int count = static_cast<int>(keys.size());
  if (idx < 0) return keys.front().value;
  if (idx > count - 2) return keys.back().value;

  const SyncKey& k0 = keys[idx];
  const SyncKey& k1 = keys[idx + 1];
  const int64_t rowSpan = int64_t(k1.row) - int64_t(k0.row);
  const double t = (row - k0.row) / static_cast<double>(rowSpan);
  // The difference is taken in single precision like the values themselves;
  // only where that overflows (keys near the float range's ends) in double.
  const float floatDelta = k1.value - k0.value;
  const double delta = std::isfinite(floatDelta) ? static_cast<double>(floatDelta)
                                                 : static_cast<double>(k1.value) - static_cast<double>(k0.value);
  switch (k0.kind) {
    case kSyncStep:
      return k0.value;
    case kSyncLinear:
      return k0.value + t * delta;
    case kSyncSmooth:
      return k0.value + t * t * (3.0 - 2.0 * t) * delta;
    case kSyncRamp:
      return k0.value + std::pow(t, 2.0) * delta;
    default:
      return 0.0;
  }
}

SyncDevice::SyncDevice(std::string basePath, FileReader fileReader)
    : base(std::move(basePath)), reader(std::move(fileReader)) {}

int SyncDevice::findTrack(const std::string& trackName) const {
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (tracks[i]->name == trackName) return static_cast<int>(i);
  }
  return -1;
}

SyncTrack& SyncDevice::getTrack(const std::string& trackName) {
  const int index = findTrack(trackName);
  if (index >= 0) return *tracks[index];
  tracks.push_back(std::make_unique<SyncTrack>(trackName));
  SyncTrack& track = *tracks.back();
  track.load(*this);  // a missing file leaves the track empty, as intended
  return track;
}

std::string SyncDevice::trackPath(const std::string& trackName) const { return base + trackFileName(trackName); }

namespace {
const std::string kTrackPrefix = "_";
const std::string kTrackExtension = ".track";
}  // namespace

std::string trackFileName(const std::string& trackName) { return kTrackPrefix + trackName + kTrackExtension; }

std::string trackNameOfFile(const std::string& fileName) {
  std::string name = fileName;
  if (name.size() > kTrackExtension.size() &&
      name.compare(name.size() - kTrackExtension.size(), kTrackExtension.size(), kTrackExtension) == 0) {
    name.erase(name.size() - kTrackExtension.size());
  }
  if (name.size() > kTrackPrefix.size() && name.compare(0, kTrackPrefix.size(), kTrackPrefix) == 0) {
    name.erase(0, kTrackPrefix.size());
  }
  return name;
}

bool SyncDevice::readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  return readFileBytes(path, bytes);
}
