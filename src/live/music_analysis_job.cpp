#include "live/music_analysis_job.h"

#include <utility>

MusicAnalysisJob::MusicAnalysisJob(std::string musicPath)
    : thread_([this, path = std::move(musicPath)] {
        outcome_ = loadOrAnalyseMusic(path, &cancel_);
        done_.store(true, std::memory_order_release);
      }) {}

MusicAnalysisJob::~MusicAnalysisJob() {
  cancel_ = true;
  thread_.join();
}

bool MusicAnalysisJob::take(MusicAnalysisOutcome& outcome) {
  if (taken_ || !done_.load(std::memory_order_acquire)) return false;
  taken_ = true;
  outcome = std::move(outcome_);
  return true;
}
