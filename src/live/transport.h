// The one owner of the play position while the player runs with options:
// where playback is, and every decision that moves it (pause, seek, the
// loop, the end of the music, the I key's restart, a reloaded soundtrack).
// Everything else asks it. Works on the player's stream, so the next frame's
// time, sync values and spectrum follow, and the sound plays from the new
// place. Keys in live mode: Space pause/resume, Left/Right one second
// back/forward, PageUp/PageDown the previous/next section's start, Home the
// start. Knows nothing of the picture.
#pragma once

#include <string>
#include <vector>

#include "audio/music_player.h"
#include "audio/music_sections.h"
#include "resources/reload_result.h"

class Transport {
 public:
  static constexpr double kSeekStep = 1.0;
  // PageUp this soon after a section's start goes to the one before it.
  static constexpr double kSectionBackGrace = 0.5;

  // Takes the position over from the music player. With holdAtEnd (live
  // mode) the music pauses at its end instead of wrapping to the start, and
  // the show does not end.
  Transport(MusicPlayer& music, bool holdAtEnd);

  void setSections(std::vector<MusicSection> sections) { sections_ = std::move(sections); }
  const std::vector<MusicSection>& sections() const { return sections_; }
  // Playback wraps from `to` back to `from`; at the music's end when `to`
  // lies past it.
  void setLoop(double from, double to);

  // The transport keys; call once per frame before the frame is drawn.
  void handleKeys();
  // The I key's restart, the loop's wrap and the end of the music; call once
  // per frame before the frame is drawn.
  void beforeFrame();

  void pause();
  // Held at the music's end, playback resumes from the start.
  void resume();
  // Moves playback to the time (clamped to the music), logging
  // "seek to %.3f s (row %d)"; paused stays paused.
  void seek(double seconds);
  // The same without a log line: where playback starts.
  void restartAt(double seconds) { moveTo(seconds); }

  // Decodes the soundtrack again and plays on from the same time, paused or
  // playing as before (at the new end when the music got shorter). A loop
  // the new music no longer reaches is reported as a failure of its own,
  // under loopReloadKey(), until a later reload brings it back in reach.
  ReloadResults reloadMusic(const std::string& musicPath);
  static const std::string& loopReloadKey();
  // The section table (program path) in place of the one used now.
  ReloadResults reloadSections(const std::string& path);

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
  bool atEnd() const;
  // Where the loop wraps: its end, or the music's end when that comes first.
  double loopWrapTime() const;
  bool loopInReach() const;

  MusicPlayer& music_;
  std::vector<MusicSection> sections_;
  bool holdAtEnd_ = false;
  bool paused_ = false;
  bool looping_ = false;
  double loopFrom_ = 0.0;
  double loopTo_ = 0.0;
};
