// What the music's rhythm is: its onsets, and when it has a steady pulse,
// its main tempo and its beats with the bars' first beats marked. Built from
// the onset envelope, the tempo track and the beat tracker. Pure
// computation on decoded samples; the cache file is music_analysis_cache's.
#pragma once

#include <vector>

#include "audio/beat_tracking.h"
#include "audio/mp3_decoder.h"

struct MusicAnalysis {
  bool pulse = false;
  double tempo = 0.0;  // beats per minute; 0 without a pulse
  std::vector<TrackedBeat> beats;  // empty without a pulse
  std::vector<double> onsets;      // seconds, ascending

  bool operator==(const MusicAnalysis& other) const;
};

MusicAnalysis analyseMusic(const DecodedAudio& audio);
