// The live authoring mode's once-per-frame question, "did the author save
// anything?", with 40 watched files in 3 watched folders and nothing
// changing: the inotify watcher, the polling fallback between its polling
// moments, and one polling moment for comparison. Each call must stay well
// under 0.05 ms to be invisible in a frame.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/file_watcher.h"
#include "base/log.h"

namespace {
constexpr int kFolderCount = 3;
constexpr int kFileCount = 40;
constexpr size_t kFileBytes = 4096;

// Small shader-sized files in a fresh folder under /tmp, removed afterwards;
// the log file goes there too.
class WatchedTree {
 public:
  WatchedTree() : savedLogFileName_(logFileName) {
    char name[] = "/tmp/tarvo-watch-bench-XXXXXX";
    root_ = ::mkdtemp(name);
    logFileName = root_ + "/output2.txt";
    for (int f = 0; f < kFolderCount; ++f) {
      folders_.push_back(root_ + "/folder" + std::to_string(f));
      std::filesystem::create_directory(folders_.back());
    }
    for (int i = 0; i < kFileCount; ++i) {
      files_.push_back(folders_[i % kFolderCount] + "/file" + std::to_string(i) + ".glsl");
      std::ofstream(files_.back(), std::ios::binary) << std::string(kFileBytes, static_cast<char>('a' + i % 26));
    }
  }
  ~WatchedTree() {
    logFileName = savedLogFileName_;
    std::error_code error;
    std::filesystem::remove_all(root_, error);
  }

  void watchAll(FileWatcher& watcher) const {
    for (const std::string& folder : folders_) watcher.watchFolder(folder);
    for (const std::string& file : files_) watcher.watch(file);
  }

 private:
  std::string savedLogFileName_;
  std::string root_;
  std::vector<std::string> folders_;
  std::vector<std::string> files_;
};

FileWatcher makeWatcher(bool polling) {
  if (polling) {
    setenv("TARVO_WATCH_POLL", "1", 1);
  } else {
    unsetenv("TARVO_WATCH_POLL");
  }
  FileWatcher watcher;
  unsetenv("TARVO_WATCH_POLL");
  return watcher;
}

void BM_PollNothingChanged(benchmark::State& state) {
  WatchedTree tree;
  FileWatcher watcher = makeWatcher(false);
  if (!watcher.usingInotify()) {
    state.SkipWithError("inotify unavailable");
    return;
  }
  tree.watchAll(watcher);
  for (auto _ : state) {
    std::vector<FileChange> changes = watcher.poll();
    benchmark::DoNotOptimize(changes.data());
  }
}
BENCHMARK(BM_PollNothingChanged)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PollNothingChangedPolling(benchmark::State& state) {
  WatchedTree tree;
  FileWatcher watcher = makeWatcher(true);
  tree.watchAll(watcher);
  const FileWatcher::Clock::time_point start = FileWatcher::Clock::now();
  watcher.poll(start);  // the polling moment
  const FileWatcher::Clock::time_point between = start + FileWatcher::kPollInterval / 2;
  for (auto _ : state) {
    std::vector<FileChange> changes = watcher.poll(between);
    benchmark::DoNotOptimize(changes.data());
  }
}
BENCHMARK(BM_PollNothingChangedPolling)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Every call a polling moment: 40 stats and 3 folder listings.
void BM_PollingMoment(benchmark::State& state) {
  WatchedTree tree;
  FileWatcher watcher = makeWatcher(true);
  tree.watchAll(watcher);
  FileWatcher::Clock::time_point now = FileWatcher::Clock::now();
  for (auto _ : state) {
    now += FileWatcher::kPollInterval;
    std::vector<FileChange> changes = watcher.poll(now);
    benchmark::DoNotOptimize(changes.data());
  }
}
BENCHMARK(BM_PollingMoment)->Unit(benchmark::kMicrosecond)->UseRealTime();
}  // namespace

BENCHMARK_MAIN();
