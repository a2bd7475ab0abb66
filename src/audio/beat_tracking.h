// Beats by dynamic programming (after Ellis, "Beat Tracking by Dynamic
// Programming", 2007), with the beat period following the tempo track: the
// chain of beats that lands on strong onsets while keeping each interval
// close to the local period. Then bars: four beats each, starting on the
// beats where the low (kick and bass) onsets are strongest. Pure
// computation.
#pragma once

#include <vector>

#include "audio/onset_envelope.h"
#include "audio/tempo_tracking.h"

struct TrackedBeat {
  double time = 0.0;  // seconds
  bool bar = false;   // the first beat of a bar
};

constexpr int kBeatsPerBar = 4;

std::vector<TrackedBeat> trackBeats(const OnsetEnvelope& envelope, const std::vector<float>& beatEnvelope,
                                    const TempoTrack& tempo);
