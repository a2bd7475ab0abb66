#include "editor/editor_state.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "audio/frame_values.h"
#include "audio/sync_text.h"

using Json = nlohmann::json;

namespace {
// A band is never scaled by more than its loudest moment against this
// share of the loudest band's, so a silent band stays dark.
constexpr float kQuietestBandShare = 1e-3f;
constexpr double kSpectrumStep = 1000.0;  // three decimals are plenty for a picture

// The float as the decimal the text would hold, so 0.003f reads 0.003.
double shortestDouble(float value) { return std::strtod(formatSyncValue(value).c_str(), nullptr); }
}  // namespace

int32_t editableRowLimit(double musicLength) {
  const double rows = std::ceil(std::max(0.0, musicLength) * kRowsPerSecond) + kRowsPastTheMusic;
  return rows >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(rows);
}

std::vector<DocumentTrack> withShowTracks(std::vector<DocumentTrack> tracks) {
  for (int i = 0; i < kSyncTrackCount; ++i) {
    const std::string name = std::to_string(i);
    const bool listed =
        std::any_of(tracks.begin(), tracks.end(), [&](const DocumentTrack& track) { return track.name == name; });
    if (!listed) tracks.push_back({name, name, {}});
  }
  return tracks;
}

std::string stateJson(int64_t version, double musicLength, const std::vector<DocumentTrack>& tracks,
                      const std::vector<MusicSection>& sections, const std::string& error) {
  Json trackList = Json::array();
  for (const DocumentTrack& track : tracks) {
    Json keys = Json::array();
    for (const SyncKey& key : track.keys) {
      const char* kind = syncKindName(key.kind);
      keys.push_back({{"row", key.row}, {"value", shortestDouble(key.value)}, {"kind", kind ? kind : "step"}});
    }
    trackList.push_back({{"name", track.name}, {"label", track.label}, {"keys", std::move(keys)}});
  }
  Json sectionList = Json::array();
  for (const MusicSection& section : sections) sectionList.push_back({{"name", section.name}, {"start", section.start}});
  const Json state = {{"version", version},          {"rowsPerSecond", static_cast<int>(kRowsPerSecond)},
                      {"musicLength", musicLength},  {"rowsPerBar", kRowsPerBar},
                      {"maxRow", editableRowLimit(musicLength)},
                      {"tracks", std::move(trackList)}, {"sections", std::move(sectionList)},
                      {"error", error}};
  return state.dump(-1, ' ', false, Json::error_handler_t::replace);
}

SpectrumColumns reduceSpectrum(const SpectrumView& view, double musicLength) {
  SpectrumColumns reduced;
  if (view.values == nullptr || view.frameCount <= 0 || view.bandCount <= 0 || view.framesPerSecond <= 0 ||
      !(musicLength > 0.0)) {
    return reduced;
  }
  reduced.columns = static_cast<int>(std::ceil(musicLength * kEditorColumnsPerSecond));
  reduced.values.assign(static_cast<size_t>(reduced.columns) * kEditorSpectrumBands, 0.0f);
  const double framesPerColumn = static_cast<double>(view.framesPerSecond) / kEditorColumnsPerSecond;
  for (int column = 0; column < reduced.columns; ++column) {
    // The frames of the column's sixteenth of a second, at least one.
    const int first = std::min(view.frameCount - 1, static_cast<int>(std::floor(column * framesPerColumn)));
    const int last = std::clamp(static_cast<int>(std::ceil((column + 1) * framesPerColumn)), first + 1,
                                view.frameCount);
    for (int band = 0; band < kEditorSpectrumBands; ++band) {
      const int low = band * view.bandCount / kEditorSpectrumBands;
      const int high = std::max(low + 1, (band + 1) * view.bandCount / kEditorSpectrumBands);
      double sum = 0.0;
      for (int frame = first; frame < last; ++frame) {
        for (int b = low; b < high && b < view.bandCount; ++b) {
          sum += view.values[static_cast<size_t>(frame) * view.bandCount + b];
        }
      }
      reduced.values[static_cast<size_t>(column) * kEditorSpectrumBands + band] =
          static_cast<float>(sum / ((last - first) * (high - low)));
    }
  }
  std::vector<float> loudest(kEditorSpectrumBands, 0.0f);
  for (size_t i = 0; i < reduced.values.size(); ++i) {
    float& top = loudest[i % kEditorSpectrumBands];
    if (std::isfinite(reduced.values[i])) top = std::max(top, reduced.values[i]);
  }
  const float floor = *std::max_element(loudest.begin(), loudest.end()) * kQuietestBandShare;
  for (size_t i = 0; i < reduced.values.size(); ++i) {
    const float top = std::max(loudest[i % kEditorSpectrumBands], floor);
    const float value = std::isfinite(reduced.values[i]) && top > 0.0f ? reduced.values[i] / top : 0.0f;
    reduced.values[i] = std::clamp(value, 0.0f, 1.0f);
  }
  return reduced;
}

std::string spectrumJson(const SpectrumColumns& spectrum) {
  Json values = Json::array();
  values.get_ref<Json::array_t&>().reserve(spectrum.values.size());
  for (float value : spectrum.values) values.push_back(std::round(value * kSpectrumStep) / kSpectrumStep);
  const Json json = {{"bands", kEditorSpectrumBands},
                     {"columnsPerSecond", kEditorColumnsPerSecond},
                     {"columns", spectrum.columns},
                     {"values", std::move(values)}};
  return json.dump();
}
