#include "audio/manual_clock_stream.h"

void ManualClockStream::play(bool restart) {
  playing_ = true;
  if (restart) positionBytes_ = 0;
}

void ManualClockStream::setPosition(int64_t bytes) {
  positionBytes_ = clampedFrame(bytes) * kBytesPerFrame;
}
