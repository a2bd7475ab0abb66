#include "audio/manual_clock_stream.h"

void ManualClockStream::play(bool restart) {
  playing_ = true;
  if (restart && !driven_) positionBytes_ = 0;
}

void ManualClockStream::setPosition(int64_t bytes) {
  if (!driven_) moveTo(bytes);
}

void ManualClockStream::moveTo(int64_t bytes) { positionBytes_ = clampedFrame(bytes) * kBytesPerFrame; }
