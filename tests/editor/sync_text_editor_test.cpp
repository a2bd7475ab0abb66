// The editor's write of sync.txt on a real file: a text editor's save made
// between the editor's read and its swap survives (merged when it touched
// another key, refusing the edit when it touched the same one), at both
// points where it can land; the file keeps its mode, its symbolic link and
// its hard links; a step applies all or none; a text that does not parse is
// named; undoing a lane's first key gives the file back byte for byte. And
// the track folder brought in line with a text: stale files rewritten, files
// of removed tracks gone, right ones untouched.
#include "editor/sync_text_editor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "audio/track_files.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {
const std::string kText =
    "# 7: \"glow\"\n"
    "track 7\n"
    "0      1     step\n"
    "224    150   linear\n"
    "\n"
    "track 9\n"
    "0      0.5   smooth\n";

SeenKey seen(float value, int kind) { return {true, value, kind}; }

EditRequest valueEdit(const std::string& track, int32_t row, float value, SeenKey was) {
  SyncEdit edit;
  edit.op = EditOp::kValue;
  edit.track = track;
  edit.row = row;
  edit.value = value;
  return {{edit}, {was}};
}

EditRequest& also(EditRequest& request, EditOp op, const std::string& track, int32_t row, SeenKey was,
                  float value = 0.0f, int kind = kSyncStep) {
  SyncEdit edit;
  edit.op = op;
  edit.track = track;
  edit.row = row;
  edit.value = value;
  edit.kind = kind;
  request.edits.push_back(edit);
  request.seen.push_back(was);
  return request;
}

std::string replaced(const std::string& text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.substr(0, at) + to + text.substr(at + from.size());
}

// A text editor's save: a new file renamed over the old one.
void saveByRename(const std::string& path, const std::string& text) {
  writeFile(path + ".swp", text);
  fs::rename(path + ".swp", path);
}

std::string errorOf(const SyncTextEditor::Result& result) {
  const Json body = Json::parse(result.body, nullptr, false);
  return body.is_object() && body.contains("error") ? body["error"].get<std::string>() : result.body;
}

mode_t modeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}
}  // namespace

TEST(SyncTextEditor, ASaveMadeBetweenTheReadAndTheSwapIsNeverLost) {
  TempDir dir(false);
  const std::string file = dir.path() + "/sync.txt";
  const std::string otherTrackSaved = replaced(kText, "0      0.5   smooth", "0      0.75  smooth");
  const std::string both = replaced(otherTrackSaved, "224    150   linear", "224    160   linear");

  // A save of another track, at each point where it can land: merged.
  for (int point = 0; point < 2; ++point) {
    SCOPED_TRACE(point == 0 ? "after the merge" : "after the last look, before the swap");
    writeFile(file, kText);
    bool saved = false;
    GuardedWriteHooks hooks;
    auto save = [&] {
      if (!saved) saveByRename(file, otherTrackSaved);
      saved = true;
    };
    (point == 0 ? hooks.afterMerge : hooks.beforeSwap) = save;
    SyncTextEditor editor(file, hooks);
    const SyncTextEditor::Result result = editor.apply(valueEdit("7", 224, 160, seen(150, kSyncLinear)), 3);
    EXPECT_EQ(result.status, 200) << result.body;
    EXPECT_EQ(result.merges, 2);
    EXPECT_EQ(readFile(file), both);
    EXPECT_EQ(result.text, both);
  }

  // A save of the same key: the edit is refused by name, the save stays.
  writeFile(file, kText);
  const std::string sameKeySaved = replaced(kText, "224    150   linear", "224    170   linear");
  GuardedWriteHooks hooks;
  hooks.beforeSwap = [&] { saveByRename(file, sameKeySaved); };
  SyncTextEditor editor(file, hooks);
  const SyncTextEditor::Result result = editor.apply(valueEdit("7", 224, 160, seen(150, kSyncLinear)), 3);
  EXPECT_EQ(result.status, 409);
  EXPECT_EQ(errorOf(result), "track 7, row 224 changed in sync.txt meanwhile: 150 \u2192 170");
  EXPECT_EQ(readFile(file), sameKeySaved);
  const Json conflict = Json::parse(result.body)["conflict"];
  EXPECT_EQ(conflict["key"]["value"], 170);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SyncTextEditor, KeepsModeLinksAndStepsWholeAndNamesAnUnreadableText) {
  TempDir dir(false);
  const std::string file = dir.path() + "/sync.txt";
  const std::string edited = replaced(kText, "224    150   linear", "224    160   linear");

  for (mode_t mode : {0640, 0444}) {
    writeFile(file, kText);
    ::chmod(file.c_str(), mode);
    SyncTextEditor editor(file);
    EXPECT_EQ(editor.apply(valueEdit("7", 224, 160, seen(150, kSyncLinear)), 1).status, 200);
    EXPECT_EQ(readFile(file), edited);
    EXPECT_EQ(modeOf(file), mode);
    ::chmod(file.c_str(), 0644);
  }

  // Through a symbolic link: the link stays, its target gets the edit.
  const std::string target = dir.path() + "/shared/sync-source.txt";
  fs::create_directories(dir.path() + "/shared");
  writeFile(target, kText);
  const std::string link = dir.path() + "/linked.txt";
  fs::create_symlink(target, link);
  {
    SyncTextEditor editor(link);
    EXPECT_EQ(editor.apply(valueEdit("7", 224, 160, seen(150, kSyncLinear)), 1).status, 200);
  }
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readFile(target), edited);

  // A hard link sees the edit too.
  const std::string second = dir.path() + "/second-name.txt";
  writeFile(file, kText);
  fs::create_hard_link(file, second);
  {
    SyncTextEditor editor(file);
    EXPECT_EQ(editor.apply(valueEdit("7", 224, 160, seen(150, kSyncLinear)), 1).status, 200);
  }
  EXPECT_EQ(readFile(second), edited);
  EXPECT_EQ(fs::hard_link_count(file), 2u);
  fs::remove(second);

  // All or none: the second edit's key changed, so the first is not made.
  writeFile(file, kText);
  SyncTextEditor editor(file);
  EditRequest step = valueEdit("9", 0, 2, seen(0.5f, kSyncSmooth));
  also(step, EditOp::kDelete, "7", 224, seen(151, kSyncLinear));
  SyncTextEditor::Result result = editor.apply(step, 1);
  EXPECT_EQ(result.status, 409);
  EXPECT_EQ(errorOf(result), "track 7, row 224 changed in sync.txt meanwhile: 151 \u2192 150");
  EXPECT_EQ(readFile(file), kText);

  // A move onto a key is refused by name.
  EditRequest move;
  also(move, EditOp::kMove, "7", 224, seen(150, kSyncLinear));
  move.edits.back().toRow = 0;
  result = editor.apply(move, 1);
  EXPECT_EQ(result.status, 409);
  EXPECT_EQ(errorOf(result), "row 0 of track 7 holds a key");
  EXPECT_EQ(readFile(file), kText);

  // A text that does not parse is named with its line, whatever is edited.
  writeFile(file, kText + "12 oops\n");
  result = editor.apply(valueEdit("9", 0, 2, seen(0.5f, kSyncSmooth)), 1);
  EXPECT_EQ(result.status, 409);
  EXPECT_EQ(errorOf(result).rfind("sync.txt does not parse (line 8: ", 0), 0u) << errorOf(result);
  EXPECT_NE(errorOf(result).find("): fix it in your editor first"), std::string::npos);
  EXPECT_EQ(readFile(file), kText + "12 oops\n");
}

TEST(SyncTextEditor, UndoingTheFirstKeyOfAnEmptyLaneGivesTheFileBackByteForByte) {
  TempDir dir(false);
  const std::string file = dir.path() + "/sync.txt";
  // With and without a line ending at the end, and with a blank last line.
  for (const std::string& text : {kText, kText.substr(0, kText.size() - 1), kText + "\n"}) {
    writeFile(file, text);
    SyncTextEditor editor(file);
    EditRequest first;
    also(first, EditOp::kSet, "40", 32, SeenKey{}, 0.25f, kSyncLinear);
    ASSERT_EQ(editor.apply(first, 1).status, 200);
    EXPECT_NE(readFile(file).find("track 40\n"), std::string::npos);
    EditRequest undo;
    also(undo, EditOp::kDelete, "40", 32, seen(0.25f, kSyncLinear));
    ASSERT_EQ(editor.apply(undo, 2).status, 200);
    EXPECT_EQ(readFile(file), text);
  }
}

TEST(TrackFolder, StaleFilesAreRewrittenRemovedTracksLoseTheirFilesAndRightOnesStay) {
  TempDir dir(false);
  const std::string folder = dir.path() + "/sync";
  const std::vector<TextTrack> tracks = {{"7", {{0, 1.0f, kSyncStep}}}, {"9", {{0, 0.5f, kSyncSmooth}}}};
  TrackFolderChanges changes;
  TrackWriteFailure failure;
  ASSERT_TRUE(syncTrackFolder(tracks, folder, changes, failure));
  EXPECT_EQ(changes.written, (std::vector<std::string>{"7", "9"}));

  struct stat right {};
  ::stat((folder + "/_9.track").c_str(), &right);
  writeFile(folder + "/_7.track", "stale");
  writeFile(folder + "/_40.track", "a track the text no longer has");
  writeFile(folder + "/notes.txt", "not a track file");
  ASSERT_TRUE(syncTrackFolder(tracks, folder, changes, failure));
  EXPECT_EQ(changes.written, std::vector<std::string>{"7"});
  EXPECT_EQ(changes.removed, std::vector<std::string>{"40"});
  EXPECT_EQ(readBytes(folder + "/_7.track"), writeTrackBytes(tracks[0].keys));
  EXPECT_FALSE(fs::exists(folder + "/_40.track"));
  EXPECT_TRUE(fs::exists(folder + "/notes.txt"));
  struct stat after {};
  ::stat((folder + "/_9.track").c_str(), &after);
  EXPECT_EQ(after.st_ino, right.st_ino);  // untouched
  EXPECT_EQ(listTrackNames({"3", "7", "12"}), "3, 7 and 12");
}
