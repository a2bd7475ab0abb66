// Pause, seek and loop over the music while authoring. Works on the player's
// stream, so the next frame's time, sync values and spectrum follow, and the
// sound plays from the new place. Keys: Space pause/resume, Left/Right one
// second back/forward, PageUp/PageDown the previous/next section's start,
// Home the start. Knows nothing of the picture.
#pragma once

#include <string>
#include <vector>

#include "audio/music_player.h"
#include "audio/music_sections.h"

class Transport {
 public:
  static constexpr double kSeekStep = 1.0;
  // PageUp this soon after a section's start goes to the one before it.
  static constexpr double kSectionBackGrace = 0.5;

  // With holdAtEnd (live mode) the music pauses at its end instead of
  // wrapping to the start, and the show does not end.
  Transport(MusicPlayer& music, bool holdAtEnd);

  void setSections(std::vector<MusicSection> sections) { sections_ = std::move(sections); }
  const std::vector<MusicSection>& sections() const { return sections_; }
  // Playback wraps from `to` back to `from`.
  void setLoop(double from, double to);

  // The transport keys; call once per frame before the frame is drawn.
  void handleKeys();
  // Loop wrap and the hold at the end of the music; call once per frame
  // before the frame is drawn.
  void beforeFrame();

  void pause();
  void resume();
  // Moves playback to the time (clamped to the music), logging
  // "seek to %.3f s (row %d)"; paused stays paused.
  void seek(double seconds);
  // The same without a log line: where playback starts.
  void restartAt(double seconds) { moveTo(seconds); }

  bool paused() const { return paused_; }
  bool looping() const { return looping_; }
  // Seconds being heard (or held).
  double now() const;
  // Name of the section at the time; empty outside every section.
  const std::string& sectionAt(double seconds) const;
  // Start of the section before / after the time (0 / unchanged at the ends).
  double previousSectionStart(double seconds) const;
  double nextSectionStart(double seconds) const;

 private:
  void moveTo(double seconds);

  MusicPlayer& music_;
  std::vector<MusicSection> sections_;
  bool holdAtEnd_ = false;
  bool paused_ = false;
  bool looping_ = false;
  double loopFrom_ = 0.0;
  double loopTo_ = 0.0;
};
