// Keyboard and mouse state as the program polls it: per-key "down now"
// (0x8000) and "pressed since the last query" (0x0001) bits, keyboard focus,
// cursor position and the left button. The window layer feeds the real state;
// tests install a fake InputSource.
#pragma once

#include <cstdint>

// Virtual key codes: letters and digits are their upper-case ASCII codes.
namespace vk {
constexpr int LeftButton = 0x01;
constexpr int Escape = 0x1B;
constexpr int Space = 0x20;
constexpr int PageUp = 0x21;
constexpr int PageDown = 0x22;
constexpr int Home = 0x24;
constexpr int Left = 0x25;
constexpr int Up = 0x26;
constexpr int Right = 0x27;
constexpr int Down = 0x28;
constexpr int Delete = 0x2E;
constexpr int LeftBracket = 0xDB;   // [ on a US layout
constexpr int RightBracket = 0xDD;  // ]
}  // namespace vk

constexpr uint16_t kKeyDownBit = 0x8000;
constexpr uint16_t kKeyPressedBit = 0x0001;

class InputSource {
 public:
  virtual ~InputSource() = default;
  virtual bool hasFocus() = 0;
  // Returns the two bits for the key and clears its pressed-since-query bit.
  virtual uint16_t asyncKeyState(int virtualKey) = 0;
  virtual void cursorPosition(int& x, int& y) = 0;
  virtual bool leftButtonDown() = 0;
};

// The source every poll goes through; null means no input at all.
void setInputSource(InputSource* source);
InputSource* inputSource();

// Shared by all KeyPressed tests; each test overwrites it before use.
extern uint16_t keyScratch;

// True once per press of the key, and only while the window has focus.
bool KeyPressed(int virtualKey);

// Steps value by Up (+1) and Down (-1) and wraps it into 0..max.
int CycleIndex(int value, int max);

// Escape is not edge-tested: held or pressed since the last query counts.
bool EscapeRequested();

// Key table fed by window events. A key pressed and released before any poll
// saw it stays down until the next event drain, so quick taps are not lost.
class KeyStateTable : public InputSource {
 public:
  void keyDown(int virtualKey);
  void keyUp(int virtualKey);
  // Called before each event drain: applies releases that were held back.
  void applyPendingReleases();
  void setFocus(bool focus) { focus_ = focus; }
  void setCursor(int x, int y, bool leftDown) {
    cursorX_ = x;
    cursorY_ = y;
    leftDown_ = leftDown;
  }

  bool hasFocus() override { return focus_; }
  uint16_t asyncKeyState(int virtualKey) override;
  void cursorPosition(int& x, int& y) override {
    x = cursorX_;
    y = cursorY_;
  }
  bool leftButtonDown() override { return leftDown_; }

 private:
  static constexpr int kKeyCount = 256;
  bool down_[kKeyCount] = {};
  bool pressed_[kKeyCount] = {};
  bool releasePending_[kKeyCount] = {};
  bool focus_ = false;
  int cursorX_ = 0;
  int cursorY_ = 0;
  bool leftDown_ = false;
};
