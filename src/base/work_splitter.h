// Shares a range of independent work items (terrain rows, grid triangles,
// quads) between the calling thread and one persistent helper thread, so the
// per-frame preparation uses both cores without creating threads or
// allocating per frame. Owns the helper thread; knows nothing of the work.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

class WorkSplitter {
 public:
  // Called with a half-open range [begin, end) of the items.
  using RangeFunction = void (*)(void* context, int begin, int end);

  // The process-wide splitter; its helper starts on the first split.
  static WorkSplitter& shared();

  WorkSplitter() = default;
  ~WorkSplitter();
  WorkSplitter(const WorkSplitter&) = delete;
  WorkSplitter& operator=(const WorkSplitter&) = delete;

  // Runs function over [0, count): the helper takes the upper part, the
  // caller the lower part, and the call returns when both are done. Small
  // ranges, machines with one core, and calls made while another split is
  // running (from another thread) run on the caller alone. Items must be
  // independent, so the result does not depend on the split.
  void run(int count, RangeFunction function, void* context);

  // Convenience for a callable `f(begin, end)` that outlives the call.
  template <class Function>
  void run(int count, Function& function) {
    run(
        count, [](void* context, int begin, int end) { (*static_cast<Function*>(context))(begin, end); },
        &function);
  }

  // Below this many items the split is not worth the hand-over.
  static constexpr int kMinimumSplit = 64;

 private:
  void helperLoop();

  std::mutex busy_;  // held by the caller for the whole of a split
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::thread helper_;
  bool started_ = false;
  bool stopping_ = false;
  bool hasWork_ = false;
  RangeFunction function_ = nullptr;
  void* context_ = nullptr;
  int begin_ = 0;
  int end_ = 0;
};
