#include "live/transport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/keys.h"
#include "base/log.h"

Transport::Transport(MusicPlayer& music, bool holdAtEnd) : music_(music), holdAtEnd_(holdAtEnd) {
  music_.positionOwnedElsewhere = true;
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

bool Transport::atEnd() const {
  return music_.length > 0.0f && now() > static_cast<double>(music_.length) - kEndOfMusicMargin;
}

void Transport::resume() {
  if (!paused_) return;
  music_.begin();
  // Held at the end, play means from the start: resumed there, the end
  // would pause it again before a frame was shown.
  if (atEnd()) moveTo(0.0);
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

double Transport::loopWrapTime() const {
  return std::min(loopTo_, static_cast<double>(music_.length) - kEndOfMusicMargin);
}

bool Transport::loopInReach() const { return !looping_ || loopFrom_ < loopWrapTime(); }

void Transport::beforeFrame() {
  music_.begin();
  // The music player leaves its restart key to the owner of the position.
  if (KeyPressed('I')) moveTo(0.0);
  const double t = now();
  if (looping_ && loopInReach() && t >= loopWrapTime()) {
    moveTo(loopFrom_);
    Log("loop: back to %.3f s\n", now());
    return;
  }
  if (!atEnd()) return;
  if (holdAtEnd_) {
    // The last frame stays on screen, paused, instead of the show ending.
    if (!paused_) pause();
  } else if (looping_) {
    // A loop the music does not reach plays the whole music over.
    moveTo(0.0);
  }
  // Otherwise the frame sees the end and the show ends.
}

const std::string& Transport::loopReloadKey() {
  static const std::string key = "--loop";
  return key;
}

ReloadResults Transport::reloadMusic(const std::string& musicPath) {
  const double at = now();
  std::string error;
  if (!music_.reloadMusic(musicPath, error)) {
    return {ReloadResult::failed(musicPath, {musicPath, 0, error + "; the music that plays stays"})};
  }
  moveTo(at);
  if (!paused_) music_.stream->play(false);
  ReloadResults results = {ReloadResult::done(musicPath)};
  if (!looping_) return results;
  if (loopInReach()) {
    results.push_back(ReloadResult::done(loopReloadKey()));
    return results;
  }
  char reason[160];
  std::snprintf(reason, sizeof reason,
                "the loop from %.3f s to %.3f s is out of reach: the music is now %.3f s long", loopFrom_, loopTo_,
                static_cast<double>(music_.length));
  results.push_back(ReloadResult::failed(loopReloadKey(), {musicPath, 0, reason}));
  return results;
}

ReloadResults Transport::reloadSections(const std::string& path) {
  SectionTableFile file = readSectionTable(path);
  if (!file.found) return {};
  if (!file.table.problem.empty()) {
    return {ReloadResult::failed(path, {path, file.table.problemLine, file.table.problemReason})};
  }
  setSections(std::move(file.table.sections));
  return {ReloadResult::done(path)};
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
