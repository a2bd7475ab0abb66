#include "audio/sync_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {
SyncTrack trackOf(std::vector<SyncKey> keys) {
  SyncTrack track("t");
  track.keys = std::move(keys);
  return track;
}

// Keys (row 0, 0.0, kind) and (row 16, 1.0, linear).
SyncTrack rampTrack(int firstKind) { return trackOf({{0, 0.0f, firstKind}, {16, 1.0f, kSyncLinear}}); }
}  // namespace

TEST(SyncTrack, EvaluatesEachKindBetweenTwoKeys) {
  EXPECT_DOUBLE_EQ(rampTrack(kSyncLinear).valueAt(8.0), 0.5);
  EXPECT_DOUBLE_EQ(rampTrack(kSyncLinear).valueAt(8.5), 0.53125);  // fraction counts
  EXPECT_DOUBLE_EQ(rampTrack(kSyncLinear).valueAt(0.0), 0.0);      // on a key: t = 0
  EXPECT_DOUBLE_EQ(rampTrack(kSyncSmooth).valueAt(8.0), 0.5);
  EXPECT_DOUBLE_EQ(rampTrack(kSyncSmooth).valueAt(4.0), 0.15625);
  EXPECT_DOUBLE_EQ(rampTrack(kSyncRamp).valueAt(4.0), 0.0625);
  for (double row : {0.0, 1.0, 8.0, 15.99}) EXPECT_DOUBLE_EQ(rampTrack(kSyncStep).valueAt(row), 0.0);
  EXPECT_DOUBLE_EQ(rampTrack(kSyncStep).valueAt(16.0), 1.0);
  // Kinds outside 0..3, including file bytes 128..255 read as negative.
  for (int kind : {4, 127, -128, -1}) EXPECT_DOUBLE_EQ(rampTrack(kind).valueAt(8.0), 0.0);
}

TEST(SyncTrack, HoldsOutsideTheKeysAndForOneKey) {
  const SyncTrack empty = trackOf({});
  EXPECT_DOUBLE_EQ(empty.valueAt(5.0), 0.0);
  EXPECT_EQ(empty.findKey(0), -1);

  const SyncTrack one = trackOf({{10, 3.5f, kSyncLinear}});
  for (double row : {-100.0, 0.0, 10.0, 10.5, 1e6}) EXPECT_DOUBLE_EQ(one.valueAt(row), 3.5);

  const SyncTrack two = trackOf({{10, 2.0f, kSyncLinear}, {20, 4.0f, kSyncLinear}});
  EXPECT_DOUBLE_EQ(two.valueAt(9.99), 2.0);
  EXPECT_DOUBLE_EQ(two.valueAt(20.0), 4.0);
  EXPECT_DOUBLE_EQ(two.valueAt(1e12), 4.0);    // beyond the int range
  EXPECT_DOUBLE_EQ(two.valueAt(-1e12), 2.0);
}

TEST(SyncTrack, FindKeyReturnsExactOrPreviousKey) {
  const SyncTrack track = trackOf({{0, 0, 0}, {4, 0, 0}, {9, 0, 0}, {20, 0, 0}});
  const std::vector<std::pair<int, int>> cases = {
      {-1, -1}, {0, 0}, {3, 0}, {4, 1}, {8, 1}, {9, 2}, {19, 2}, {20, 3}, {1000, 3}};
  for (const auto& [row, index] : cases) EXPECT_EQ(track.findKey(row), index) << "row " << row;
}

TEST(SyncTrackFile, ParsesAndWritesKeys) {
  const std::vector<SyncKey> keys = {{-3, 1.25f, kSyncStep}, {7, -2.0f, kSyncRamp}, {9, 0.1f, -56}};
  const std::vector<uint8_t> bytes = writeTrackBytes(keys);
  ASSERT_EQ(bytes.size(), 4u + 9u * 3u);
  const TrackParseResult parsed = parseTrackBytes(bytes.data(), bytes.size());
  EXPECT_TRUE(parsed.problem.empty());
  ASSERT_EQ(parsed.keys.size(), 3u);
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(parsed.keys[i].row, keys[i].row);
    EXPECT_EQ(parsed.keys[i].value, keys[i].value);
    EXPECT_EQ(parsed.keys[i].kind, keys[i].kind);
  }
  // Byte 200 is sign-extended.
  std::vector<uint8_t> high = writeTrackBytes({{0, 1.0f, 0}});
  high[12] = 200;
  EXPECT_EQ(parseTrackBytes(high.data(), high.size()).keys[0].kind, -56);

  const std::vector<uint8_t> none = writeTrackBytes({});
  const TrackParseResult empty = parseTrackBytes(none.data(), none.size());
  EXPECT_TRUE(empty.keys.empty());
  EXPECT_TRUE(empty.problem.empty());
}

TEST(SyncTrackFile, BadCountsNeverReadPastTheBytes) {
  std::vector<uint8_t> bytes = writeTrackBytes({{0, 1.0f, 1}, {16, 2.0f, 1}, {32, 3.0f, 1}});
  // Count says a billion keys; only the whole keys present are kept.
  bytes[0] = 0x00;
  bytes[1] = 0xCA;
  bytes[2] = 0x9A;
  bytes[3] = 0x3B;
  bytes.resize(bytes.size() - 4);  // third key cut short
  TrackParseResult parsed = parseTrackBytes(bytes.data(), bytes.size());
  EXPECT_FALSE(parsed.problem.empty());
  ASSERT_EQ(parsed.keys.size(), 2u);
  EXPECT_EQ(parsed.keys[1].value, 2.0f);

  // Negative count.
  bytes[0] = bytes[1] = bytes[2] = bytes[3] = 0xFF;
  parsed = parseTrackBytes(bytes.data(), bytes.size());
  EXPECT_TRUE(parsed.keys.empty());
  EXPECT_FALSE(parsed.problem.empty());

  // Fewer bytes than the count itself, and nothing at all.
  EXPECT_TRUE(parseTrackBytes(bytes.data(), 3).keys.empty());
  EXPECT_TRUE(parseTrackBytes(nullptr, 0).keys.empty());
}

TEST(SyncDevice, FindsLoadsOnceAndComposesLongPaths) {
  std::vector<std::string> reads;
  const std::string longBase = std::string(400, 'd') + "\\sync\\";
  SyncDevice device(longBase, [&](const std::string& path, std::vector<uint8_t>& bytes) {
    reads.push_back(path);
    if (path.find("_missing") != std::string::npos) return false;
    if (path.find("_negative") != std::string::npos) {
      bytes = {0xFF, 0xFF, 0xFF, 0xFF};
      return true;
    }
    bytes = writeTrackBytes({{0, 0.0f, kSyncLinear}, {16, 1.0f, kSyncLinear}});
    return true;
  });
  EXPECT_EQ(device.findTrack("7"), -1);
  SyncTrack& first = device.getTrack("7");
  SyncTrack& again = device.getTrack("7");
  EXPECT_EQ(&first, &again);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0], std::string(400, 'd') + "/sync/_7.track");  // program path turned into an OS path
  EXPECT_DOUBLE_EQ(first.valueAt(8.0), 0.5);

  SyncTrack& missing = device.getTrack("missing");
  SyncTrack& negative = device.getTrack("negative");
  EXPECT_TRUE(missing.keys.empty());
  EXPECT_TRUE(negative.keys.empty());
  EXPECT_EQ(negative.load(device), -1);
  EXPECT_DOUBLE_EQ(missing.valueAt(3.0), 0.0);
  EXPECT_EQ(device.findTrack("7"), 0);
  EXPECT_EQ(device.findTrack("negative"), 2);
  EXPECT_EQ(device.findTrack("Negative"), -1);  // case-sensitive
}

TEST(SyncDevice, KeysOutOfOrderOrNotANumberAreDroppedWithALineAndEveryRowHasAValue) {
  const float notANumber = std::numeric_limits<float>::quiet_NaN();
  SyncDevice device("d\\sync\\", [&](const std::string&, std::vector<uint8_t>& bytes) {
    bytes = writeTrackBytes({{0, 0.0f, kSyncLinear},
                             {8, 1.0f, kSyncLinear},
                             {8, 5.0f, kSyncSmooth},  // the same row again
                             {4, 2.0f, kSyncLinear},  // before the row it follows
                             {16, 3.0f, kSyncRamp},
                             {24, notANumber, kSyncLinear},
                             {32, 1.0f, kSyncLinear}});
    return true;
  });
  SyncTrack* track = nullptr;
  const std::string log = captureStdout([&] { track = &device.getTrack("7"); });
  for (const char* line : {"sync track d\\sync\\_7.track: key at row 8 dropped, its row is not after row 8\n",
                           "sync track d\\sync\\_7.track: key at row 4 dropped, its row is not after row 8\n",
                           "sync track d\\sync\\_7.track: key at row 24 dropped, its value is not a finite number\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\nnot in\n" << log;
  }
  std::vector<int32_t> rows;
  for (const SyncKey& key : track->keys) rows.push_back(key.row);
  EXPECT_EQ(rows, (std::vector<int32_t>{0, 8, 16, 32}));
  for (double row = -2.0; row <= 40.0; row += 0.25) {
    EXPECT_TRUE(std::isfinite(track->valueAt(row))) << "row " << row;
  }
  EXPECT_DOUBLE_EQ(track->valueAt(12.0), 2.0);  // halfway from (8, 1) to (16, 3)
}
