#include "editor/music_json.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "audio/sync_track.h"

using Json = nlohmann::json;

namespace {
double toMilliseconds(double seconds) { return std::round(seconds * 1000.0) / 1000.0; }
double toHundredths(double value) { return std::round(value * 100.0) / 100.0; }
long nearestRow(double seconds) { return std::lround(seconds * kRowsPerSecond); }
}  // namespace

std::string musicJson(const MusicAnalysis& analysis) {
  Json beats = Json::array();
  for (const TrackedBeat& beat : analysis.beats) {
    beats.push_back({{"time", toMilliseconds(beat.time)}, {"row", nearestRow(beat.time)}, {"bar", beat.bar}});
  }
  Json onsets = Json::array();
  for (double onset : analysis.onsets) onsets.push_back({{"time", toMilliseconds(onset)}, {"row", nearestRow(onset)}});
  const Json json = {{"ready", true},
                     {"tempo", analysis.pulse ? toHundredths(analysis.tempo) : 0.0},
                     {"pulse", analysis.pulse},
                     {"beats", std::move(beats)},
                     {"onsets", std::move(onsets)}};
  return json.dump();
}

std::string musicErrorJson(const std::string& error) {
  const Json json = {{"ready", false}, {"tempo", 0.0},          {"pulse", false},
                     {"beats", Json::array()}, {"onsets", Json::array()}, {"error", error}};
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}
