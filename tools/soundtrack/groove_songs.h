// Short drum-and-bass-line songs at any tempo, for measuring beat and onset
// detection: each groove's score together with the truth it was written
// from (every beat, every bar's first beat, every hit). Deterministic: the
// same song every time. Rendering is the score's business (render.h).
#pragma once

#include <string>
#include <vector>

#include "score.h"

namespace soundtrack {

enum class Groove {
  kFourToTheFloor,  // kick on every beat, offbeat hats and bass
  kBrokenBeat,      // syncopated kicks, ghost snares
  kDrumAndBass,     // two-step: kick on 1 and the "and" of 3, snare on 2 and 4
  kSwung,           // eighths played long-short
  kBackbeat,        // kick on 1 and 3, snare on 2 and 4, straight eighth hats
};

// From `bar` on, the song plays at `beatsPerMinute` (four beats a bar).
struct TempoChange {
  int bar = 0;
  double beatsPerMinute = 120.0;
};

struct GrooveSongPlan {
  std::string name;
  Groove groove = Groove::kFourToTheFloor;
  std::vector<TempoChange> tempos;  // the first one at bar 0
  int bars = 16;
  // Where the offbeat eighth falls within its beat: 0.5 straight, 2/3 a
  // triplet swing.
  double swing = 0.5;
};

struct GrooveSong {
  std::string name;
  Score score;
  std::vector<double> beats;      // seconds, every beat of every bar
  std::vector<double> downbeats;  // the first beat of each bar
  // Every note's start; starts closer than kOnsetMergeSeconds are one onset.
  std::vector<double> onsets;
};

// Hits this close together are heard as one onset.
constexpr double kOnsetMergeSeconds = 0.03;
// Silence before the first beat.
constexpr double kLeadInSeconds = 0.25;

GrooveSong composeGrooveSong(const GrooveSongPlan& plan);

// The songs detection is measured on: steady four-to-the-floor (128 BPM),
// broken beat (93), drum and bass (174), swung (100), and a backbeat that
// moves from 120 to 150 BPM halfway.
const std::vector<GrooveSongPlan>& measuredGrooveSongs();

}  // namespace soundtrack
