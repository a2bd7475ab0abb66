#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "base/file_watcher.h"
#include "support/test_support.h"

namespace {
using std::chrono::milliseconds;
using Clock = FileWatcher::Clock;

enum class WatchMode { kInotify, kPolling };
enum class Kind { kContent, kAppeared, kRemoved };

// Polls in 30 ms steps over more than two polling moments, so anything seen
// has settled and been reported in either mode.
std::vector<FileChange> settleAll(FileWatcher& watcher, Clock::time_point& now) {
  std::vector<FileChange> all;
  for (int i = 0; i < 20; ++i) {
    now += milliseconds(30);
    for (FileChange& change : watcher.poll(now)) all.push_back(std::move(change));
  }
  return all;
}

// Past the next polling moment: the next poll looks at the files in both modes.
void nextMoment(Clock::time_point& now) { now += std::chrono::seconds(1); }

void expectOnly(const std::vector<FileChange>& changes, const std::string& path, Kind kind, const char* step,
                std::optional<Clock::time_point> firstEvent = std::nullopt) {
  ASSERT_EQ(changes.size(), 1u) << step;
  EXPECT_EQ(changes[0].firstEvent, firstEvent.value_or(changes[0].firstEvent)) << step;
  EXPECT_EQ(changes[0].path, path) << step;
  EXPECT_EQ(changes[0].appeared, kind == Kind::kAppeared) << step;
  EXPECT_EQ(changes[0].removed, kind == Kind::kRemoved) << step;
}

using Lines = std::vector<std::string>;

// "path", "path appeared" or "path removed" for each change, sorted.
Lines described(const std::vector<FileChange>& changes) {
  Lines lines;
  for (const FileChange& change : changes) {
    lines.push_back(change.path + (change.appeared ? " appeared" : "") + (change.removed ? " removed" : ""));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

void replaceByRename(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp";
  writeFile(temporary, content);
  ASSERT_EQ(std::rename(temporary.c_str(), path.c_str()), 0);
}

void setModificationTime(const std::string& path, time_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class FileWatcherModes : public testing::TestWithParam<WatchMode> {
 protected:
  FileWatcher start() {
    const bool polling = GetParam() == WatchMode::kPolling;
    if (polling) setenv("TARVO_WATCH_POLL", "1", 1);
    std::optional<FileWatcher> watcher;
    const std::string printed = captureStdout([&] { watcher.emplace(); });
    unsetenv("TARVO_WATCH_POLL");
    EXPECT_EQ(printed, polling ? "watch: inotify unavailable (TARVO_WATCH_POLL=1), polling every 250 ms\n" : "");
    EXPECT_EQ(watcher->usingInotify(), !polling);
    return std::move(*watcher);
  }

  TempDir dir_;
};

TEST_P(FileWatcherModes, EachKindOfSaveIsOneChangeAndSameBytesAreNone) {
  std::filesystem::create_directory("shaders");
  writeFile("shaders/a.glsl", "first");
  writeFile("shaders/b.glsl", "not watched");
  FileWatcher watcher = start();
  watcher.watch("shaders/a.glsl");
  watcher.watch("shaders/a.glsl");
  watcher.watchFolder("shaders");
  Clock::time_point now{};

  // In place: seen at once, reported only once quiet for the settle time.
  nextMoment(now);
  const Clock::time_point savedAt = now;
  writeFile("shaders/a.glsl", "second version");
  writeFile("shaders/b.glsl", "not watched, changed");
  EXPECT_TRUE(watcher.poll(now).empty());
  EXPECT_TRUE(watcher.poll(now + FileWatcher::kSettle - milliseconds(1)).empty());
  expectOnly(settleAll(watcher, now), "shaders/a.glsl", Kind::kContent, "in place", savedAt);

  // Renamed over, as most editors save; the temporary is not a new file.
  nextMoment(now);
  replaceByRename("shaders/a.glsl", "third, renamed over");
  expectOnly(settleAll(watcher, now), "shaders/a.glsl", Kind::kContent, "rename-over");

  // Deleted, seen missing, recreated within the settle time.
  nextMoment(now);
  ASSERT_EQ(std::remove("shaders/a.glsl"), 0);
  EXPECT_TRUE(watcher.poll(now).empty());
  writeFile("shaders/a.glsl", "fourth, recreated");
  EXPECT_TRUE(watcher.poll(now + milliseconds(10)).empty());
  expectOnly(settleAll(watcher, now), "shaders/a.glsl", Kind::kContent, "delete and recreate");

  // The same bytes: a touch, a rewrite, a rename-over.
  nextMoment(now);
  setModificationTime("shaders/a.glsl", 1000000000);
  EXPECT_TRUE(settleAll(watcher, now).empty()) << "touch";
  nextMoment(now);
  writeFile("shaders/a.glsl", "fourth, recreated");
  EXPECT_TRUE(settleAll(watcher, now).empty()) << "rewrite";
  nextMoment(now);
  replaceByRename("shaders/a.glsl", "fourth, recreated");
  EXPECT_TRUE(settleAll(watcher, now).empty()) << "rename-over";

  // Unless asked for: once, for a reload to retry.
  watcher.reportNextEvent("shaders/a.glsl");
  nextMoment(now);
  writeFile("shaders/a.glsl", "fourth, recreated");
  expectOnly(settleAll(watcher, now), "shaders/a.glsl", Kind::kContent, "asked for");
  nextMoment(now);
  writeFile("shaders/a.glsl", "fourth, recreated");
  EXPECT_TRUE(settleAll(watcher, now).empty()) << "asked for once";

  // Five writes polled between: one change, recording the last content.
  nextMoment(now);
  const Clock::time_point burstStart = now;
  for (int i = 1; i <= 5; ++i) {
    writeFile("shaders/a.glsl", "burst " + std::string(i, '!'));
    EXPECT_TRUE(watcher.poll(now).empty()) << "write " << i;
    now += milliseconds(10);
  }
  expectOnly(settleAll(watcher, now), "shaders/a.glsl", Kind::kContent, "burst", burstStart);
  writeFile("shaders/a.glsl", "burst !!!!!");
  EXPECT_TRUE(settleAll(watcher, now).empty()) << "after the burst";

  // A new file appears once; an editor's hidden file and later writes to
  // the new file do not.
  nextMoment(now);
  writeFile("shaders/c.glsl", "new");
  writeFile("shaders/.c.glsl.swp", "editor");
  expectOnly(settleAll(watcher, now), "shaders/c.glsl", Kind::kAppeared, "new file");
  nextMoment(now);
  writeFile("shaders/c.glsl", "new, edited");
  EXPECT_TRUE(settleAll(watcher, now).empty()) << "new file edited";
}

TEST_P(FileWatcherModes, RemovalIsReportedOnceAndMissingFilesMayAppear) {
  writeFile("gone.txt", "here");
  FileWatcher watcher = start();
  watcher.watch("gone.txt");  // no folder in the path: the working directory
  watcher.watch("later.txt");
  const std::string printed = captureStdout([&] {
    watcher.watch("missing/x.txt");
    watcher.watch("missing/y.txt");
  });
  EXPECT_EQ(printed, "watch: folder missing does not exist, not watched\n");
  Clock::time_point now{};

  nextMoment(now);
  ASSERT_EQ(std::remove("gone.txt"), 0);
  expectOnly(settleAll(watcher, now), "gone.txt", Kind::kRemoved, "deleted");
  nextMoment(now);
  EXPECT_TRUE(settleAll(watcher, now).empty()) << "still gone";

  nextMoment(now);
  writeFile("later.txt", "arrived");
  expectOnly(settleAll(watcher, now), "later.txt", Kind::kContent, "created");

  // Back with its old bytes: still a change after it was reported gone.
  nextMoment(now);
  writeFile("gone.txt", "here");
  expectOnly(settleAll(watcher, now), "gone.txt", Kind::kContent, "back");

  // Replaced by a folder: reported once, so the reader can say why it cannot
  // read it; a file again, with the same bytes, it is reported again.
  nextMoment(now);
  ASSERT_EQ(std::remove("gone.txt"), 0);
  std::filesystem::create_directory("gone.txt");
  expectOnly(settleAll(watcher, now), "gone.txt", Kind::kContent, "made a folder");
  nextMoment(now);
  std::filesystem::create_directory("gone.txt/inside");
  EXPECT_TRUE(settleAll(watcher, now).empty()) << "still a folder";
  nextMoment(now);
  std::filesystem::remove_all("gone.txt");
  writeFile("gone.txt", "here");
  expectOnly(settleAll(watcher, now), "gone.txt", Kind::kContent, "a file again");

  nextMoment(now);
  watcher.unwatch("later.txt");
  writeFile("later.txt", "changed while not watched");
  EXPECT_TRUE(settleAll(watcher, now).empty());
}

// A script's "rm -rf data && cp -a backup data", rsync --delete, a checkout:
// the folders are new, what they hold is compared with what was recorded.
TEST_P(FileWatcherModes, ReplacedFolderIsComparedAndWatchedAgain) {
  namespace fs = std::filesystem;
  fs::create_directories("data/sub");
  writeFile("data/same.glsl", "same");
  writeFile("data/edited.glsl", "before");
  writeFile("data/sub/deep.glsl", "deep");
  FileWatcher watcher = start();
  for (const char* path : {"data/same.glsl", "data/edited.glsl", "data/sub/deep.glsl"}) watcher.watch(path);
  watcher.watchFolder("data");
  fs::copy("data", "backup", fs::copy_options::recursive);
  writeFile("backup/edited.glsl", "after");
  writeFile("backup/new.glsl", "new");
  Clock::time_point now{};

  nextMoment(now);
  fs::remove_all("data");
  fs::copy("backup", "data", fs::copy_options::recursive);
  std::vector<FileChange> changes;
  const std::string printed = captureStdout([&] { changes = settleAll(watcher, now); });
  EXPECT_EQ(described(changes), (Lines{"data/edited.glsl", "data/new.glsl appeared"}));
  // Polling sees the new folder only where the file system gave it a new
  // inode number.
  if (GetParam() == WatchMode::kInotify) {
    EXPECT_EQ(printed,
              "watch: folder data/sub went away; watching for it to come back\n"
              "watch: folder data went away; watching for it to come back\n"
              "watch: folder data is back, watched again\n"
              "watch: folder data/sub is back, watched again\n");
  }

  // Gone for a while: the files are removed, then back as changes.
  nextMoment(now);
  fs::remove_all("data");
  EXPECT_EQ(described(settleAll(watcher, now)),
            (Lines{"data/edited.glsl removed", "data/same.glsl removed", "data/sub/deep.glsl removed"}));
  nextMoment(now);
  fs::copy("backup", "data", fs::copy_options::recursive);
  EXPECT_EQ(described(settleAll(watcher, now)),
            (Lines{"data/edited.glsl", "data/new.glsl appeared", "data/same.glsl", "data/sub/deep.glsl"}));

  nextMoment(now);
  writeFile("data/sub/deep.glsl", "saved later");
  writeFile("data/later.glsl", "new later");
  EXPECT_EQ(described(settleAll(watcher, now)), (Lines{"data/later.glsl appeared", "data/sub/deep.glsl"}));
}

// An author's shader kept elsewhere and linked in: saving the target, in
// place or by rename, is a change of the link's path, also after the link is
// pointed elsewhere (here through a second link).
TEST_P(FileWatcherModes, SavingALinkedTargetIsAChangeOfTheLink) {
  namespace fs = std::filesystem;
  for (const char* folder : {"data", "mine", "other"}) fs::create_directory(folder);
  writeFile("mine/bg.glsl", "first");
  fs::create_symlink("../mine/bg.glsl", "data/bg.glsl");
  FileWatcher watcher = start();
  const std::string printed = captureStdout([&] { watcher.watch("data/bg.glsl"); });
  EXPECT_EQ(printed, "");
  Clock::time_point now{};

  nextMoment(now);
  writeFile("mine/bg.glsl", "saved in place");
  expectOnly(settleAll(watcher, now), "data/bg.glsl", Kind::kContent, "in place");
  nextMoment(now);
  replaceByRename("mine/bg.glsl", "renamed over");
  expectOnly(settleAll(watcher, now), "data/bg.glsl", Kind::kContent, "rename-over");

  writeFile("other/bg.glsl", "other");
  fs::create_symlink("bg.glsl", "other/alias.glsl");
  fs::create_symlink("../other/alias.glsl", "data/bg.glsl.tmp");
  nextMoment(now);
  fs::rename("data/bg.glsl.tmp", "data/bg.glsl");
  expectOnly(settleAll(watcher, now), "data/bg.glsl", Kind::kContent, "pointed elsewhere");
  nextMoment(now);
  writeFile("mine/bg.glsl", "the old target, no longer linked");
  EXPECT_TRUE(settleAll(watcher, now).empty()) << "old target";
  nextMoment(now);
  writeFile("other/bg.glsl", "the new target saved");
  expectOnly(settleAll(watcher, now), "data/bg.glsl", Kind::kContent, "new target");
}

INSTANTIATE_TEST_SUITE_P(Modes, FileWatcherModes, testing::Values(WatchMode::kInotify, WatchMode::kPolling),
                         [](const testing::TestParamInfo<WatchMode>& info) {
                           return info.param == WatchMode::kInotify ? "Inotify" : "Polling";
                         });

TEST(FileWatcher, QueueOverflowRehashesEveryWatchedFile) {
  TempDir dir;
  writeFile("saved.txt", "before");
  writeFile("filler1", "");
  writeFile("filler2", "");
  unsetenv("TARVO_WATCH_POLL");
  FileWatcher watcher;
  if (!watcher.usingInotify()) GTEST_SKIP() << "inotify unavailable";
  watcher.watch("saved.txt");
  int queueLimit = 16384;
  std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queueLimit;
  if (queueLimit > (1 << 20)) GTEST_SKIP() << "inotify queue too long to fill";

  // Alternating names so the kernel cannot merge the events; the save after
  // the overflow has no event of its own.
  for (int i = 0; i <= queueLimit; ++i) setModificationTime(i % 2 ? "filler1" : "filler2", 1000 + i);
  writeFile("saved.txt", "saved after the overflow");
  Clock::time_point now{};
  expectOnly(settleAll(watcher, now), "saved.txt", Kind::kContent, "after the overflow");
}
}  // namespace
