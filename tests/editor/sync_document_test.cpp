// The editor's rewrite of sync.txt: each kind of edit changes only its own
// lines, keeps the author's notation and the columns of aligned neighbours,
// a new track goes at the end, a step that cannot be applied whole changes
// nothing; and the labels the state shows come from the comments.
#include "editor/sync_document.h"

#include <gtest/gtest.h>

#include "audio/sync_text.h"

namespace {
const std::string kText =
    "# norde - sync tracks\n"
    "\n"
    "# 0: \"drumMultiplier\" - how much the kick drum brightens the landscape.\n"
    "track 0\n"
    "0s      0       step\n"
    "16s     0.003   step   # first hit\n"
    "32s     0.004   step\n"
    "\n"
    "track 5\n"
    "0 1 linear\n"
    "64 2 2\n"
    "128 3 step\n"
    "\n"
    "# 13: wire mesh opacity (\"wireAmplitude\") - the wires come first; the\n"
    "# overlay shows \"II\" here\n"
    "track 13\n"
    "0s    0.5   step\n";

// kText with one span of it replaced.
std::string replaced(const std::string& from, const std::string& to, const std::string& text = kText) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.substr(0, at) + to + text.substr(at + from.size());
}

SyncEdit edit(EditOp op, const std::string& track, int32_t row) {
  SyncEdit e;
  e.op = op;
  e.track = track;
  e.row = row;
  return e;
}
SyncEdit set(const std::string& track, int32_t row, float value, int kind) {
  SyncEdit e = edit(EditOp::kSet, track, row);
  e.value = value;
  e.kind = kind;
  return e;
}
SyncEdit move(const std::string& track, int32_t row, int32_t toRow) {
  SyncEdit e = edit(EditOp::kMove, track, row);
  e.toRow = toRow;
  return e;
}
SyncEdit kind(const std::string& track, int32_t row, int k) {
  SyncEdit e = edit(EditOp::kKind, track, row);
  e.kind = k;
  return e;
}
SyncEdit value(const std::string& track, int32_t row, float v) {
  SyncEdit e = edit(EditOp::kValue, track, row);
  e.value = v;
  return e;
}
}  // namespace

TEST(SyncDocument, EditsChangeOnlyTheirLinesKeepTheNotationAndTheColumns) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<SyncEdit> edits;
    std::string expected;  // empty: refused, the text stays
    std::string problem;   // part of the refusal
  };
  const std::vector<Case> cases = {
      {"a new key between aligned keys in seconds", kText, {set("0", 384, 0.5f, kSyncLinear)},
       replaced("0.003   step   # first hit\n", "0.003   step   # first hit\n24s     0.5     linear\n"), ""},
      {"a new key off the whole second", kText, {set("0", 1, 2.0f, kSyncStep)},
       replaced("0s      0       step\n", "0s      0       step\n0.0625s 2       step\n"), ""},
      {"set on a key: value and kind, the comment keeps its column", kText, {set("0", 256, 1.25f, kSyncSmooth)},
       replaced("16s     0.003   step   # first hit", "16s     1.25    smooth # first hit"), ""},
      {"delete", kText, {edit(EditOp::kDelete, "0", 512)}, replaced("32s     0.004   step\n", ""), ""},
      {"move between its neighbours: a row stays a row, single spaces stay", kText, {move("5", 64, 100)},
       replaced("64 2 2\n", "100 2 2\n"), ""},
      {"move past a neighbour: the line goes with it, in seconds", kText, {move("0", 0, 640)},
       replaced("32s     0.004   step\n", "32s     0.004   step\n40s     0       step\n",
                replaced("0s      0       step\n", "")), ""},
      {"kind written as a digit stays a digit", kText, {kind("5", 64, kSyncRamp)}, replaced("64 2 2\n", "64 2 3\n"), ""},
      {"value of a lone key: its own columns stay", kText, {value("13", 0, 0.25f)},
       replaced("0s    0.5   step", "0s    0.25  step"), ""},
      {"the same value keeps its text", replaced("0.5   step", "0.50  step"), {value("13", 0, 0.5f)},
       replaced("0.5   step", "0.50  step"), ""},
      {"a track without lines is added at the end", kText, {set("20", 32, 1.0f, kSyncLinear)},
       kText + "\ntrack 20\n2s    1     linear\n", ""},
      {"several edits are one step", kText,
       {set("5", 200, 4.0f, kSyncStep), edit(EditOp::kDelete, "5", 0), move("5", 128, 300)},
       replaced("0 1 linear\n64 2 2\n128 3 step\n", "64 2 2\n200 4 step\n300 3 step\n"), ""},
      {"a byte-order mark, CRLF and no last line end are kept", "\xEF\xBB\xBFtrack 1\r\n0 1 step",
       {set("1", 16, 2.0f, kSyncStep)}, "\xEF\xBB\xBFtrack 1\r\n0 1 step\r\n16 2 step", ""},
      {"all or none: a later edit of a missing key undoes the first", kText,
       {set("5", 200, 4.0f, kSyncStep), edit(EditOp::kDelete, "5", 999)}, "", "no key at row 999"},
      {"a move onto another key", kText, {move("5", 0, 64)}, "", "already has a key at row 64"},
      {"a value edit of a missing key", kText, {value("13", 16, 1.0f)}, "", "no key at row 16"},
      {"a track name the text cannot hold", kText, {set("a b", 0, 1.0f, kSyncStep)}, "", "cannot be a track name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SyncDocument document;
    std::string error;
    ASSERT_TRUE(document.parse(c.text, error)) << error;
    const std::string problem = document.apply(c.edits);
    if (c.expected.empty()) {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
      EXPECT_EQ(document.text(), c.text);
      continue;
    }
    EXPECT_EQ(problem, "");
    EXPECT_EQ(document.text(), c.expected);
    EXPECT_TRUE(parseSyncText(document.text()).error.empty());
  }

  SyncDocument document;
  std::string error;
  ASSERT_TRUE(document.parse(kText, error));
  const std::vector<DocumentTrack> tracks = document.tracks();
  ASSERT_EQ(tracks.size(), 3u);
  EXPECT_EQ(tracks[0].label, "drumMultiplier");
  EXPECT_EQ(tracks[1].label, "5");              // no comment above it
  EXPECT_EQ(tracks[2].label, "wireAmplitude");  // in parentheses; "II" is not placed as a label
  ASSERT_EQ(tracks[0].keys.size(), 3u);
  EXPECT_EQ(tracks[0].keys[1].row, 256);  // 16 s
  EXPECT_FALSE(document.parse("track 1\n0 1 bouncy\n", error));
  EXPECT_EQ(error, "line 2: bad kind 'bouncy' (step, linear, smooth, ramp or 0 to 3)");
}

TEST(SyncDocument, ValuesAreWrittenShortAndPlainAndReadBackTheSame) {
  const std::vector<std::pair<float, const char*>> cases = {
      {160.0f, "160"}, {0.003f, "0.003"}, {-2.5f, "-2.5"}, {1e-7f, "1e-07"}, {123456792.0f, "123456792"},
      {3e38f, "3e+38"}, {0.1f, "0.1"}};
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(formatSyncValue(value), text);
    EXPECT_EQ(std::strtof(formatSyncValue(value).c_str(), nullptr), value);
  }
}
