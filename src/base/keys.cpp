#include "base/keys.h"

namespace {
InputSource* currentSource = nullptr;

uint16_t asyncKeyState(int virtualKey) {
  return currentSource ? currentSource->asyncKeyState(virtualKey) : 0;
}

bool hasFocus() { return currentSource && currentSource->hasFocus(); }
}  // namespace

uint16_t keyScratch = 0;

void setInputSource(InputSource* source) { currentSource = source; }
InputSource* inputSource() { return currentSource; }

bool KeyPressed(int virtualKey) {
  if (!hasFocus()) return false;
  keyScratch = asyncKeyState(virtualKey);
  if (asyncKeyState(virtualKey) == 0) return false;
  const uint16_t current = asyncKeyState(virtualKey);
  return current != keyScratch;
}

int CycleIndex(int value, int max) {
  if (max < 0) return 0;
  if (KeyPressed(vk::Up)) value += 1;
  if (KeyPressed(vk::Down)) value -= 1;
  const int r = value % (max + 1);
  return r < 0 ? max : r;
}

bool EscapeRequested() { return hasFocus() && asyncKeyState(vk::Escape) != 0; }

void KeyStateTable::keyDown(int virtualKey) {
  if (virtualKey < 0 || virtualKey >= kKeyCount) return;
  if (!down_[virtualKey]) pressed_[virtualKey] = true;
  down_[virtualKey] = true;
  releasePending_[virtualKey] = false;
}

void KeyStateTable::keyUp(int virtualKey) {
  if (virtualKey < 0 || virtualKey >= kKeyCount) return;
  if (pressed_[virtualKey]) {
    releasePending_[virtualKey] = true;  // not seen by a poll yet
  } else {
    down_[virtualKey] = false;
  }
}

void KeyStateTable::applyPendingReleases() {
  for (int k = 0; k < kKeyCount; ++k) {
    if (releasePending_[k]) {
      down_[k] = false;
      releasePending_[k] = false;
    }
  }
}

uint16_t KeyStateTable::asyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey >= kKeyCount) return 0;
  uint16_t state = 0;
  if (down_[virtualKey]) state |= kKeyDownBit;
  if (pressed_[virtualKey]) state |= kKeyPressedBit;
  pressed_[virtualKey] = false;
  return state;
}
