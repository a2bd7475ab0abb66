#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

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

  nextMoment(now);
  watcher.unwatch("later.txt");
  writeFile("later.txt", "changed while not watched");
  EXPECT_TRUE(settleAll(watcher, now).empty());
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
