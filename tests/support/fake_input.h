// A scripted InputSource for tests: keys are pressed and released by hand,
// focus and the mouse are set directly. Installs itself for its lifetime.
#pragma once

#include "base/keys.h"

class FakeInput : public KeyStateTable {
 public:
  FakeInput() {
    setFocus(true);
    setInputSource(this);
  }
  ~FakeInput() override { setInputSource(nullptr); }

  // A full press and release, as one tap between two polls.
  void tap(int virtualKey) {
    keyDown(virtualKey);
    keyUp(virtualKey);
  }
  // The start of the next frame: releases held back by tap() take effect.
  void nextFrame() { applyPendingReleases(); }
};
