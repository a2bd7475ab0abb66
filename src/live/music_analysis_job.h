// The music's analysis (beats and onsets, from the cache beside the music
// or made now) on a thread of its own, so the show starts without waiting
// for it. The main thread takes the outcome once it is there; destroying
// the job stops the work at its next step and waits for the thread.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "audio/music_analysis_cache.h"

class MusicAnalysisJob {
 public:
  // `musicPath` is a program path.
  explicit MusicAnalysisJob(std::string musicPath);
  ~MusicAnalysisJob();
  MusicAnalysisJob(const MusicAnalysisJob&) = delete;
  MusicAnalysisJob& operator=(const MusicAnalysisJob&) = delete;

  // True once, with the outcome, when the work is done.
  bool take(MusicAnalysisOutcome& outcome);

 private:
  std::atomic<bool> cancel_{false};
  std::atomic<bool> done_{false};
  bool taken_ = false;
  MusicAnalysisOutcome outcome_;
  std::thread thread_;
};
