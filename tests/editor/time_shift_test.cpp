// Time inserted and removed across all tracks (the musician's new cut):
// the keys at or after the row move in their own notation, every other
// byte stays, aligned columns stay aligned, the opposite shift gives the
// text back byte for byte, and a removal that would delete keys is refused
// naming them. The section table moves the same way. Through the editor's
// guarded write as an edit request, and through synctool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "audio/music_sections.h"
#include "editor/edit_request.h"
#include "editor/sync_document.h"
#include "editor/sync_text_editor.h"
#include "support/test_support.h"

namespace {
// Rows and seconds (with and without decimals, padded to one decimal),
// aligned columns, a tab-separated line, a digit kind, a trailing comment,
// blank lines and comments, a CRLF line and no line end at the end.
const std::string kText =
    "# intro\n"
    "track 0\n"
    "0s      0       step\n"
    "2.0s    0.003   step   # first hit\n"
    "63.5s   0.004   linear\n"
    "64.0s   1       2\n"
    "\n"
    "track 5\n"
    "0 1 linear\n"
    "96\t2\tstep\r\n"
    "1000 3 step\n"
    "\n"
    "track 7\n"
    "16      0.5     smooth\n"
    "1008    0.25    ramp\n"
    "9999    1       step";

std::string shifted(const std::string& text, int32_t at, int32_t by, std::string* problem = nullptr) {
  SyncDocument document;
  std::string error;
  EXPECT_TRUE(document.parse(text, error)) << error;
  const std::string refusal = document.shift(at, by);
  if (problem != nullptr) *problem = refusal;
  EXPECT_TRUE(problem != nullptr || refusal.empty()) << refusal;
  return document.text();
}

std::string replaced(const std::string& text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.substr(0, at) + to + text.substr(at + from.size());
}

std::string errorOf(const std::string& body) {
  const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
  return json.is_object() && json.contains("error") ? json["error"].get<std::string>() : body;
}
}  // namespace

TEST(TimeShift, KeysAfterTheRowMoveInTheirNotationAndTheOppositeShiftRestoresTheText) {
  // One bar (32 rows) inserted at 2 s: every key line from there changes,
  // nothing else does.
  const std::string inserted = shifted(kText, 32, 32);
  EXPECT_EQ(inserted,
            "# intro\n"
            "track 0\n"
            "0s      0       step\n"
            "4.0s    0.003   step   # first hit\n"
            "65.5s   0.004   linear\n"
            "66.0s   1       2\n"
            "\n"
            "track 5\n"
            "0 1 linear\n"
            "128\t2\tstep\r\n"
            "1032 3 step\n"
            "\n"
            "track 7\n"
            "16      0.5     smooth\n"
            "1040    0.25    ramp\n"
            "10031   1       step");
  EXPECT_EQ(shifted(inserted, 64, -32), kText);

  // Shifts that are not whole seconds, and rows that outgrow their column
  // (the value moves right and comes back): every pair restores the text.
  // (Decimals padded with zeros, "2.0s", come back from a shift by a
  // fraction of a second only through the editor, which keeps the text.)
  const std::string plain = replaced(replaced(kText, "2.0s  ", "2s    "), "64.0s ", "64s   ");
  for (const auto& [at, by] : std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {17, 3}, {1008, 1}, {33, 90000000}}) {
    SCOPED_TRACE(std::to_string(at) + " " + std::to_string(by));
    const std::string there = shifted(plain, at, by);
    EXPECT_NE(there, plain);
    EXPECT_EQ(shifted(there, at + by, -by), plain);
  }
  const std::string fraction = shifted(kText, 0, 1);
  EXPECT_NE(fraction.find("\n2.0625s 0.003   step   # first hit\n"), std::string::npos) << fraction;
  EXPECT_NE(fraction.find("\n0.0625s 0       step\n"), std::string::npos) << fraction;
  EXPECT_NE(shifted(kText, 33, 90000000).find("\n90001008 0.25   ramp\n"), std::string::npos);
}

TEST(TimeShift, ARemovalThatWouldDeleteKeysIsRefusedNamingThem) {
  std::string problem;
  EXPECT_EQ(shifted(kText, 1024, -32, &problem), kText);
  EXPECT_EQ(problem, "removing rows 992 to 1023 would delete keys: track 0 row 1016, track 5 row 1000, track 7 row 1008");
  EXPECT_EQ(shifted(kText, 200, -4, &problem), shifted(kText, 200, -4));
  EXPECT_TRUE(problem.empty());
  EXPECT_EQ(shifted(kText, 0, 2147483647, &problem), kText);
  EXPECT_NE(problem.find("leaves the row range"), std::string::npos) << problem;
}

TEST(TimeShift, SectionBoundariesMoveInSecondsAndRows) {
  const std::string table =
      "# section            start s   end s  start row  end row\n"
      "intro                   0.0    16.0          0      256\n"
      "drop                   16.0    64.0        256     1024\n"
      "outro                  64.0    80.0       1024     1280\n";
  SectionTableShift shift = shiftSectionTable(table, 256, 32);
  ASSERT_TRUE(shift.problem.empty()) << shift.problem;
  EXPECT_EQ(shift.movedBoundaries, 5);
  EXPECT_EQ(shift.text,
            "# section            start s   end s  start row  end row\n"
            "intro                   0.0    18.0          0      288\n"
            "drop                   18.0    66.0        288     1056\n"
            "outro                  66.0    82.0       1056     1312\n");
  EXPECT_EQ(shiftSectionTable(shift.text, 288, -32).text, table);
  // A sixteenth of a second takes four decimals; back, the table's one.
  shift = shiftSectionTable(table, 300, 1);
  EXPECT_NE(shift.text.find("drop                   16.0 64.0625        256     1025\n"), std::string::npos)
      << shift.text;
  EXPECT_EQ(shiftSectionTable(shift.text, 301, -1).text, table);
  // Removed time takes a boundary inside it along; a section inside it is refused.
  EXPECT_NE(shiftSectionTable(table, 272, -32).text.find("drop                   15.0    62.0        240      992\n"),
            std::string::npos);
  shift = shiftSectionTable(table, 1280, -320);
  EXPECT_EQ(shift.problem, "removing rows 960 to 1279 would leave section 'outro' empty");
  EXPECT_TRUE(shift.text.empty());
}

TEST(TimeShift, ThroughTheEditorsWriteAndUndoneByItsOpposite) {
  EditRequestParse parsed = parseEditRequest(R"({"shift": {"at": 32, "by": 32}})", 4000);
  ASSERT_TRUE(parsed.error.empty()) << parsed.error;
  ASSERT_TRUE(parsed.request.hasShift);
  EXPECT_EQ(parsed.request.shift.at, 32);
  EXPECT_EQ(parsed.request.shift.by, 32);
  for (const char* bad : {R"({"shift": {"at": 32}})", R"({"shift": {"at": 32, "by": 0}})",
                          R"({"shift": {"at": 32, "by": -33}})", R"({"shift": {"at": 32.5, "by": 1}})",
                          R"({"shift": {"at": 4001, "by": 1}})", R"({"shift": [32, 1]})",
                          R"({"shift": {"at": 32, "by": 1}, "edits": []})"}) {
    EXPECT_FALSE(parseEditRequest(bad, 4000).error.empty()) << bad;
  }

  TempDir dir(false);
  const std::string file = dir.path() + "/sync.txt";
  writeFile(file, kText);
  SyncTextEditor editor(file);
  SyncTextEditor::Result result = editor.apply(parsed.request, 1);
  ASSERT_EQ(result.status, 200) << result.body;
  EXPECT_EQ(readFile(file), shifted(kText, 32, 32));
  EXPECT_EQ(result.text, readFile(file));
  result = editor.apply(parseEditRequest(R"({"shift": {"at": 64, "by": -32}})", 4000).request, 2);
  ASSERT_EQ(result.status, 200) << result.body;
  EXPECT_EQ(readFile(file), kText);

  // Two inserts by fractions of a second ("2.0s" becomes "2.0625s", rows
  // outgrow their columns), undone newest first, then redone: each step
  // gives back exactly the text it had, padded decimals and all.
  const auto shiftBy = [&](int32_t at, int32_t by) {
    const std::string body = "{\"shift\": {\"at\": " + std::to_string(at) + ", \"by\": " + std::to_string(by) + "}}";
    const SyncTextEditor::Result step = editor.apply(parseEditRequest(body, 4000).request, 3);
    EXPECT_EQ(step.status, 200) << step.body;
    return readFile(file);
  };
  const std::string once = shiftBy(0, 1);
  EXPECT_NE(once.find("\n2.0625s "), std::string::npos);
  const std::string twice = shiftBy(30, 3);
  EXPECT_EQ(shiftBy(33, -3), once);
  EXPECT_EQ(shiftBy(1, -1), kText);
  EXPECT_EQ(shiftBy(0, 1), once);
  EXPECT_EQ(shiftBy(30, 3), twice);
  EXPECT_EQ(shiftBy(33, -3), once);
  EXPECT_EQ(shiftBy(1, -1), kText);

  result = editor.apply(parseEditRequest(R"({"shift": {"at": 1024, "by": -32}})", 4000).request, 5);
  EXPECT_EQ(result.status, 409);
  EXPECT_EQ(errorOf(result.body).rfind("removing rows 992 to 1023 would delete keys: track 0 row 1016", 0), 0u)
      << result.body;
  EXPECT_EQ(readFile(file), kText);
}

// The tool itself, when this build has it.
TEST(TimeShift, SynctoolShiftsTheTextAndTheSectionsOrNeither) {
  const std::string tool = std::string(TARVO_BINARY_DIR) + "/synctool";
  if (!std::filesystem::exists(tool)) GTEST_SKIP() << "synctool not built in this tree";
  TempDir dir;
  const std::string table = "intro 0.0 16.0 0 256\ndrop 16.0 64.0 256 1024\n";
  writeFile("sync.txt", kText);
  writeFile("sections.txt", table);
  ASSERT_EQ(std::system((tool + " shift sync.txt 2s +2s --sections sections.txt > out.txt").c_str()), 0);
  EXPECT_EQ(readFile("sync.txt"), shifted(kText, 32, 32));
  EXPECT_EQ(readFile("sections.txt"), "intro 0.0 18.0 0 288\ndrop 18.0 66.0 288 1056\n");
  EXPECT_NE(readFile("out.txt").find("sync.txt: 7 keys at or after row 32 moved by 32 rows"), std::string::npos)
      << readFile("out.txt");
  ASSERT_EQ(std::system((tool + " shift sync.txt 64 -32 --sections sections.txt > out.txt").c_str()), 0);
  EXPECT_EQ(readFile("sync.txt"), kText);
  EXPECT_EQ(readFile("sections.txt"), table);

  // Refused: exit 1, the keys named, neither file touched.
  EXPECT_EQ(std::system((tool + " shift sync.txt 1024 -32 --sections sections.txt 2> error.txt").c_str()), 1 << 8);
  EXPECT_NE(readFile("error.txt").find("would delete keys: track 0 row 1016, track 5 row 1000, track 7 row 1008"),
            std::string::npos)
      << readFile("error.txt");
  writeFile("bad.txt", "intro 0 16\n");
  EXPECT_EQ(std::system((tool + " shift sync.txt 0 16 --sections bad.txt 2> error.txt").c_str()), 1 << 8);
  EXPECT_EQ(readFile("sync.txt"), kText);
  EXPECT_EQ(std::system((tool + " shift sync.txt 1.03s 16 2> error.txt").c_str()), 1 << 8);
  EXPECT_NE(readFile("error.txt").find("AT: time '1.03s' is not on a whole row"), std::string::npos);
}
