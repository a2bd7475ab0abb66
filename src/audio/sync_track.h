// Keyframed sync tracks: the track file parser and writer, key search and
// evaluation at fractional rows, and the device that finds or loads tracks by
// name under one base path. Knows nothing about the music clock; MusicPlayer
// turns music time into rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Interpolation from a key to the next one.
enum SyncKind : int { kSyncStep = 0, kSyncLinear = 1, kSyncSmooth = 2, kSyncRamp = 3 };

constexpr double kRowsPerSecond = 16.0;
// On disk: int32 row, float value, int8 kind, packed.
constexpr size_t kTrackKeyBytes = 9;
constexpr size_t kTrackHeaderBytes = 4;

struct SyncKey {
  int32_t row = 0;
  float value = 0.0f;
  int kind = kSyncStep;  // sign-extended from the file's byte
};

// A key read from a file but not used.
struct DroppedKey {
  int32_t row = 0;
  std::string reason;
};

// A track's file name, "_<name>.track", and the name back from a file name
// (a name without that form loses only a ".track" ending).
std::string trackFileName(const std::string& trackName);
std::string trackNameOfFile(const std::string& fileName);

// Result of parsing a track file: the keys wholly present in the bytes, and,
// when something was wrong, why (keys may still be non-empty for a file cut
// short).
struct TrackParseResult {
  std::vector<SyncKey> keys;
  std::string problem;  // empty when the file was exactly as announced
  // Keys whose row is not after the previous key's (evaluation divides by
  // the distance between rows) or whose value is NaN or infinite.
  std::vector<DroppedKey> dropped;
};

// Never reads past size and never allocates more keys than the bytes hold.
// A negative count gives no keys. The keys kept have strictly ascending rows
// and finite values.
TrackParseResult parseTrackBytes(const uint8_t* data, size_t size);

// The inverse of parseTrackBytes; the kind is stored in one byte.
std::vector<uint8_t> writeTrackBytes(const std::vector<SyncKey>& keys);

class SyncDevice;

class SyncTrack {
 public:
  explicit SyncTrack(std::string trackName) : name(std::move(trackName)) {}

  // Reads base + "_" + name + ".track" through the device's reader.
  // 0 on success, -1 when the file can't be read or holds a negative count.
  // A damaged file and each dropped key get a log line naming the file.
  int load(const SyncDevice& device);

  // Index of the key at exactly row, else of the last key before it;
  // -1 before the first key and for an empty track.
  int findKey(int32_t row) const;

  // Value at a fractional row; 0.0 for an empty track.
  double valueAt(double row) const;

  std::string name;
  std::vector<SyncKey> keys;
};

class SyncDevice {
 public:
  // Reads a whole file given its operating-system path; false when it can't.
  using FileReader = std::function<bool(const std::string& osPath, std::vector<uint8_t>& bytes)>;

  // base is a program path (backslashes), e.g. "demosrc\\norde\\data\\sync\\".
  explicit SyncDevice(std::string basePath, FileReader fileReader = readWholeFile);

  // Index in creation order of the track with exactly this name, or -1.
  int findTrack(const std::string& trackName) const;

  // The named track; created and loaded from its file on the first request.
  SyncTrack& getTrack(const std::string& trackName);

  // Program path of a track's file.
  std::string trackPath(const std::string& trackName) const;

  static bool readWholeFile(const std::string& osPath, std::vector<uint8_t>& bytes);

  const std::string base;
  std::vector<std::unique_ptr<SyncTrack>> tracks;
  const FileReader reader;
};
