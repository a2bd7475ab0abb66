// What the editor page reads about the show, as JSON: the state (tracks with
// their keys and labels, sections, music length, the tracks' version and the
// reload error) and the spectrum reduced to the page's grid. Built on the
// main thread from plain data; no show, no HTTP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/music_sections.h"
#include "audio/spectrum_view.h"
#include "editor/sync_document.h"

// The production's tempo: 120 BPM, one bar = 2 s = 32 rows.
constexpr int kRowsPerBar = 32;
constexpr int kEditorSpectrumBands = 64;
constexpr int kEditorColumnsPerSecond = 16;
// Keys may be placed this far past the end of the music.
constexpr int32_t kRowsPastTheMusic = 16 * kRowsPerBar;

// The largest row an edit may name.
int32_t editableRowLimit(double musicLength);

// The text's tracks in its order, then the show's numbered tracks (0 to 63)
// the text lacks, without keys.
std::vector<DocumentTrack> withShowTracks(std::vector<DocumentTrack> tracks);

// "maxRow" in it is editableRowLimit(musicLength).
std::string stateJson(int64_t version, double musicLength, const std::vector<DocumentTrack>& tracks,
                      const std::vector<MusicSection>& sections, const std::string& error);

// kEditorSpectrumBands bands by kEditorColumnsPerSecond columns a second,
// column-major; each band scaled by its loudest moment in the music so that
// quiet bands show too.
struct SpectrumColumns {
  int columns = 0;
  std::vector<float> values;  // columns x kEditorSpectrumBands, 0..1
};
SpectrumColumns reduceSpectrum(const SpectrumView& view, double musicLength);
std::string spectrumJson(const SpectrumColumns& spectrum);
