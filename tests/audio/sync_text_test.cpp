#include "audio/sync_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/test_support.h"

TEST(SyncText, ParsesTracksKeysSecondsAndComments) {
  const SyncTextResult result = parseSyncText(
      "# intro\n"
      "track 11\n"
      "  0   0.0  linear   # start\n"
      "\n"
      "2.5s  1.0  smooth\n"
      "64   -0.25 3\n"
      "track flash\n");
  ASSERT_TRUE(result.error.empty()) << result.error;
  ASSERT_EQ(result.tracks.size(), 2u);
  EXPECT_EQ(result.tracks[0].name, "11");
  ASSERT_EQ(result.tracks[0].keys.size(), 3u);
  EXPECT_EQ(result.tracks[0].keys[1].row, 40);
  EXPECT_EQ(result.tracks[0].keys[1].kind, kSyncSmooth);
  EXPECT_EQ(result.tracks[0].keys[2].value, -0.25f);
  EXPECT_EQ(result.tracks[0].keys[2].kind, kSyncRamp);
  EXPECT_EQ(result.tracks[1].name, "flash");
  EXPECT_TRUE(result.tracks[1].keys.empty());
}

TEST(SyncText, ErrorsNameTheLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0 1 linear\n", "line 1:"},                                 // key before a track
      {"track a\n0 1 linear\n0 2 linear\n", "line 3:"},           // rows not ascending
      {"track a\n5 1 linear\n\n# x\n4 2 step\n", "line 5:"},      // descending
      {"track a\n0.1s 1 linear\n", "line 2:"},                    // 1.6 rows
      {"track a\n0 abc linear\n", "line 2:"},                     // bad value
      {"track a\n0 1 bouncy\n", "line 2:"},                       // bad kind
      {"track a\n0 1 4\n", "line 2:"},                            // kind digit out of range
      {"track a\n0 1\n", "line 2:"},                              // missing kind
      {"track a\n1x 1 step\n", "line 2:"},                        // bad row
      {"track a\n99999999999 1 step\n", "line 2:"},               // row beyond int32
      {"track\n", "line 1:"},                                     // no name
      {"track a\n\ntrack a\n", "line 3:"},                        // duplicate
      {"track a/b\n", "line 1:"},                                 // path separator
  };
  for (const auto& [text, prefix] : cases) {
    const SyncTextResult result = parseSyncText(text);
    EXPECT_EQ(result.error.rfind(prefix, 0), 0u) << text << " -> '" << result.error << "'";
  }
}

TEST(SyncText, RoundTripsThroughTrackBytesExactly) {
  const std::vector<SyncKey> keys = {
      {-16, 0.1f, kSyncStep}, {0, 1.0f / 3.0f, kSyncLinear}, {7, 1e-30f, kSyncSmooth},
      {40, -123456.789f, kSyncRamp}, {41, 3.4028235e38f, kSyncLinear}};
  const std::vector<uint8_t> bytes = writeTrackBytes(keys);
  const TrackParseResult fromBytes = parseTrackBytes(bytes.data(), bytes.size());
  const std::string text = printSyncTrack("9", fromBytes.keys);
  const SyncTextResult reparsed = parseSyncText(text);
  ASSERT_TRUE(reparsed.error.empty()) << reparsed.error;
  ASSERT_EQ(reparsed.tracks.size(), 1u);
  EXPECT_EQ(reparsed.tracks[0].name, "9");
  EXPECT_EQ(writeTrackBytes(reparsed.tracks[0].keys), bytes);
  EXPECT_EQ(printSyncTrack("9", reparsed.tracks[0].keys), text);
}

// The tool itself, when this build has it (not in window-free test builds).
TEST(SyncTool, BuildsDumpsAndEvaluates) {
  const std::string tool = std::string(TARVO_BINARY_DIR) + "/synctool";
  if (!std::filesystem::exists(tool)) GTEST_SKIP() << "synctool not built in this tree";
  TempDir dir;
  writeFile("show.sync", "track 3\n0 0 linear\n1s 1 ramp\n32 0.5 step\ntrack 4\n");
  ASSERT_EQ(std::system((tool + " build show.sync out > build.txt").c_str()), 0);
  EXPECT_EQ(readBytes("out/_4.track").size(), 4u);
  ASSERT_EQ(std::system((tool + " dump out/_3.track > dump.txt").c_str()), 0);
  EXPECT_EQ(readFile("dump.txt"), "track 3\n0 0 linear\n16 1 ramp\n32 0.5 step\n");
  ASSERT_EQ(std::system((tool + " eval out/_3.track 8 8.5 0.5s 24 40 > eval.txt").c_str()), 0);
  EXPECT_EQ(readFile("eval.txt"), "0.5\n0.53125\n0.5\n0.875\n0.5\n");

  writeFile("bad.sync", "track 3\n0 0 linear\n\n0 1 step\n");
  EXPECT_NE(std::system((tool + " build bad.sync out 2> error.txt").c_str()), 0);
  EXPECT_NE(readFile("error.txt").find("line 4"), std::string::npos);
  EXPECT_NE(std::system((tool + " eval missing.track 1 2> /dev/null").c_str()), 0);
  EXPECT_NE(std::system((tool + " frobnicate 2> /dev/null").c_str()), 0);

  // Keys at rows 5, 5, 3, 9: the player keeps 5 and 9. eval and dump print
  // what it plays, name the rest on stderr and exit 1.
  const std::string dropped =
      std::string(TARVO_SOURCE_DIR) + "/fuzz/regressions/sync_track/repeated-and-descending-rows";
  EXPECT_EQ(std::system((tool + " eval " + dropped + " 5 7 9 > eval.txt 2> error.txt").c_str()), 1 << 8);
  EXPECT_EQ(readFile("eval.txt"), "1\n2.5\n4\n");
  const std::string errors = readFile("error.txt");
  EXPECT_NE(errors.find("key at row 5 dropped, its row is not after row 5"), std::string::npos) << errors;
  EXPECT_NE(errors.find("key at row 3 dropped, its row is not after row 5"), std::string::npos) << errors;
  EXPECT_EQ(std::system((tool + " dump " + dropped + " > dump.txt 2> /dev/null").c_str()), 1 << 8);
  EXPECT_NE(readFile("dump.txt").find("5 1 linear\n9 4 smooth\n"), std::string::npos);
}
