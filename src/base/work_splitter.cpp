#include "base/work_splitter.h"

WorkSplitter& WorkSplitter::shared() {
  static WorkSplitter splitter;
  return splitter;
}

WorkSplitter::~WorkSplitter() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (helper_.joinable()) helper_.join();
}

void WorkSplitter::run(int count, RangeFunction function, void* context) {
  if (count <= 0) return;
  static const bool severalCores = std::thread::hardware_concurrency() > 1;
  std::unique_lock<std::mutex> busy(busy_, std::try_to_lock);
  if (!severalCores || count < kMinimumSplit || !busy.owns_lock()) {
    function(context, 0, count);
    return;
  }
  if (!started_) {
    helper_ = std::thread(&WorkSplitter::helperLoop, this);
    started_ = true;
  }

  const int middle = count / 2;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    function_ = function;
    context_ = context;
    begin_ = middle;
    end_ = count;
    hasWork_ = true;
  }
  wake_.notify_one();
  function(context, 0, middle);

  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return !hasWork_; });
}

void WorkSplitter::helperLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return hasWork_ || stopping_; });
    if (stopping_) return;
    const RangeFunction function = function_;
    void* const context = context_;
    const int begin = begin_;
    const int end = end_;
    lock.unlock();
    function(context, begin, end);
    lock.lock();
    hasWork_ = false;
    done_.notify_one();
  }
}
