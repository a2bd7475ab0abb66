// The compositions: the production's full piece (about two minutes in D
// minor at 120 BPM, in sections) and the five-second clip of the test
// production. Deterministic: the same score every time.
#pragma once

#include "score.h"

namespace soundtrack {

constexpr double kBeatsPerMinute = 120.0;
constexpr double kSecondsPerBar = 4 * 60.0 / kBeatsPerMinute;  // 2.0
constexpr double kSecondsPerStep = kSecondsPerBar / 16.0;       // a sixteenth

Score composeFullPiece();
Score composeTestClip();

}  // namespace soundtrack
