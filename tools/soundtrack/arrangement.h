// The compositions: the production's full piece (about two and a half minutes
// in D minor at 120 BPM, in sections) and the five-second clip of the test
// production. Deterministic: the same score every time.
#pragma once

#include <string>
#include <vector>

#include "score.h"

namespace soundtrack {

constexpr double kBeatsPerMinute = 120.0;
constexpr double kSecondsPerBar = 4 * 60.0 / kBeatsPerMinute;  // 2.0
constexpr double kSecondsPerStep = kSecondsPerBar / 16.0;       // a sixteenth
constexpr int kSyncRowsPerSecond = 16;

// One section of the full piece: bars [firstBar, firstBar + bars). The last
// section also holds the ring-out after its final bar.
struct Section {
  const char* name;
  int firstBar;
  int bars;
};

// The full piece's sections in order, contiguous from bar 0.
const std::vector<Section>& fullPieceSections();

Score composeFullPiece();
Score composeTestClip();

// The sections as a small text table for the show's author: one line per
// section with its start and end in seconds and in sync rows; the last one
// ends at the end of the audio.
std::string describeSections(const std::vector<Section>& sections, double pieceLength);

}  // namespace soundtrack
