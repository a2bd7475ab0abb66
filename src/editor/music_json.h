// The music's analysis as the editor page reads it (GET /api/music):
//   {"ready": true, "tempo": 120.0, "pulse": true,
//    "beats": [{"time": 0.512, "row": 8, "bar": true}, ...],
//    "onsets": [{"time": 0.51, "row": 8}, ...]}
// Times in seconds to the millisecond, rows the nearest sync row. Without
// a pulse: "pulse" false, tempo 0, no beats. Pure.
#pragma once

#include <string>

#include "audio/music_analysis.h"

std::string musicJson(const MusicAnalysis& analysis);

// Why there is no analysis: {"ready": false, ..., "error": "..."}.
std::string musicErrorJson(const std::string& error);
