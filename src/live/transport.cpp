#include "live/transport.h"

#include <algorithm>
#include <cmath>

#include "base/keys.h"
#include "base/log.h"

Transport::Transport(MusicPlayer& music, bool holdAtEnd) : music_(music), holdAtEnd_(holdAtEnd) {
  if (holdAtEnd) music_.wrapAtEnd = false;
}

void Transport::setLoop(double from, double to) {
  looping_ = to > from;
  loopFrom_ = from;
  loopTo_ = to;
}

double Transport::now() const {
  return music_.stream->bytesToSeconds(music_.stream->position());
}

void Transport::pause() {
  if (paused_) return;
  music_.begin();
  music_.stream->pause();
  paused_ = true;
  Log("paused at %.3f s\n", now());
}

void Transport::resume() {
  if (!paused_) return;
  music_.begin();
  paused_ = false;
  music_.stream->play(false);
  Log("resumed at %.3f s\n", now());
}

void Transport::moveTo(double seconds) {
  music_.begin();
  const double length = static_cast<double>(music_.length);
  const double target = std::clamp(seconds, 0.0, std::max(0.0, length));
  music_.stream->setPosition(music_.stream->secondsToBytes(target));
}

void Transport::seek(double seconds) {
  moveTo(seconds);
  const double at = now();
  Log("seek to %.3f s (row %d)\n", at, static_cast<int>(std::floor(at * kRowsPerSecond)));
}

void Transport::handleKeys() {
  if (KeyPressed(vk::Space)) {
    if (paused_) {
      resume();
    } else {
      pause();
    }
  }
  if (KeyPressed(vk::Left)) seek(now() - kSeekStep);
  if (KeyPressed(vk::Right)) seek(now() + kSeekStep);
  if (KeyPressed(vk::PageUp)) seek(previousSectionStart(now()));
  if (KeyPressed(vk::PageDown)) seek(nextSectionStart(now()));
  if (KeyPressed(vk::Home)) seek(0.0);
}

void Transport::beforeFrame() {
  music_.begin();
  const double t = now();
  if (looping_ && t >= loopTo_) {
    moveTo(loopFrom_);
    Log("loop: back to %.3f s\n", now());
    return;
  }
  // The last frame stays on screen, paused, instead of the show ending.
  if (holdAtEnd_ && !paused_ && music_.length > 0.0f &&
      t > static_cast<double>(music_.length) - kEndOfMusicMargin) {
    pause();
  }
}

const std::string& Transport::sectionAt(double seconds) const {
  static const std::string none;
  for (const MusicSection& section : sections_) {
    if (seconds >= section.start && seconds < section.end) return section.name;
  }
  return none;
}

double Transport::previousSectionStart(double seconds) const {
  double best = 0.0;
  for (const MusicSection& section : sections_) {
    if (section.start < seconds - kSectionBackGrace) best = std::max(best, section.start);
  }
  return best;
}

double Transport::nextSectionStart(double seconds) const {
  double best = seconds;
  bool found = false;
  for (const MusicSection& section : sections_) {
    if (section.start > seconds + 1e-6 && (!found || section.start < best)) {
      best = section.start;
      found = true;
    }
  }
  return best;
}
