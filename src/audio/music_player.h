// The soundtrack as the production's master clock: opens the music, its
// sync tracks and its spectrum cache, starts playback on the first update,
// and each frame turns the playback position into the music time and the 64
// sync values at 16 rows per second. Carries the K (mute) and I (restart)
// keys. Sound output itself is behind the AudioStream interface.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/audio_stream.h"
#include "audio/frame_values.h"
#include "audio/spectrum_cache.h"
#include "audio/sync_text.h"
#include "audio/track_files.h"
#include "audio/sync_track.h"
#include "resources/reload_result.h"

constexpr float kInitialVolume = 100.0f;
// The music jumps back to the start this close to its end.
constexpr double kEndOfMusicMargin = 0.05;
// Whether `time` has come within kEndOfMusicMargin of the end of music
// `length` seconds long (compared in double precision).
inline bool nearEndOfMusic(float time, float length) {
  return static_cast<double>(time) > static_cast<double>(length) - kEndOfMusicMargin;
}

class MusicPlayer {
 public:
  // Plays through the given stream: the sound device's for the player, a
  // driven clock for offline rendering, fakes in tests.
  explicit MusicPlayer(std::unique_ptr<AudioStream> audioStream);
  ~MusicPlayer();
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  // Paths are program paths (backslashes). projectPath is accepted and not
  // used. Every failure is logged and set-up goes on.
  void open(std::string musicPath, std::string projectPath, std::string syncBase);
  // Starts playback on the first call; returns this frame's music time.
  double update();
  // Starts output and playback from the beginning, once; update does it on
  // its first call, a seek before the first frame does it first.
  void begin();
  // The time, row and values the last update computed.
  FrameValues frameValues() const;

  // Live authoring. Decodes the music file again and rebuilds its spectrum
  // cache; where playback goes on is the position owner's to decide. A file
  // that does not decode keeps the music that plays; the reason goes to
  // `error`.
  bool reloadMusic(const std::string& musicPath, std::string& error);
  // Every numbered track takes the keys of the text's track of that name; a
  // track the text lacks becomes empty.
  void replaceSyncKeys(const std::vector<TextTrack>& textTracks);
  // Live authoring. Parses the sync text read from `textPath` (a program
  // path, for messages), plays its keys from the next frame, then brings the
  // sync folder's track files in line with it (syncTrackFolder), so a start
  // without live mode plays the same. A text that does not parse changes
  // nothing; a failed write names the track file and the system's reason
  // (the new keys play on). `trackCount` receives the number of tracks the
  // text holds, `changes` what happened to the files.
  ReloadResult applySyncText(const std::string& textPath, const std::string& text, int& trackCount,
                             TrackFolderChanges& changes);
  // Takes the keys of one track file (program path) when there is no sync
  // text to write them from.
  ReloadResult reloadTrackFile(const std::string& trackPath);

  // Set when another object owns the play position (the player's transport,
  // with options): update() then leaves the I key's restart and the jump
  // back at the end of the music to it.
  bool positionOwnedElsewhere = false;

  // May be replaced before open(); a stream touches no device until open().
  std::unique_ptr<AudioStream> stream;
  float sampleRate = 0.0f;
  float volume = kInitialVolume;
  float time = 0.0f;
  double row = 0.0;  // sync row of time, 16 per second
  float length = 0.0f;
  bool started = false;
  float values[kSyncTrackCount] = {};
  SyncTrack* tracks[kSyncTrackCount] = {};  // owned by syncDevice; null without one
  std::unique_ptr<SyncDevice> syncDevice;
  SpectrumCache spectrum;

 private:
  double readSeconds();
};
