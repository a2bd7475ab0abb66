// fft-summary: the spectrum cache of a soundtrack summarised per section of
// its section table, to check that the sections differ where the terrain can
// show it (the mean of bands 1-10, the low end, and of bands 40-127).
//   fft-summary CACHE_FILE SECTIONS_FILE
#include <cstdio>
#include <string>
#include <vector>

#include "audio/music_sections.h"
#include "audio/spectrum_cache_format.h"
#include "band_summary.h"
#include "resources/file_utils.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fft-summary CACHE_FILE SECTIONS_FILE\n");
    return 2;
  }
  std::vector<uint8_t> bytes;
  if (!readFileBytes(argv[1], bytes)) {
    std::fprintf(stderr, "fft-summary: cannot read %s (the player or tarvo-render writes it on its first run)\n",
                 argv[1]);
    return 1;
  }
  const SpectrumCacheParseResult cache = parseSpectrumCache(bytes.data(), bytes.size());
  if (!cache.problem.empty()) {
    std::fprintf(stderr, "fft-summary: %s is not a usable cache: %s\n", argv[1], cache.problem.c_str());
    return 1;
  }
  std::vector<uint8_t> sectionBytes;
  if (!readFileBytes(argv[2], sectionBytes)) {
    std::fprintf(stderr, "fft-summary: cannot read %s\n", argv[2]);
    return 1;
  }
  const SectionTableParse table = parseSectionTable(std::string(sectionBytes.begin(), sectionBytes.end()));
  if (!table.problem.empty() || table.sections.empty()) {
    std::fprintf(stderr, "fft-summary: %s: %s\n", argv[2],
                 table.problem.empty() ? "no sections" : table.problem.c_str());
    return 1;
  }

  SpectrumView view;
  view.values = cache.data.bandValues.data();
  view.frameCount = cache.data.frameCount;
  view.bandCount = cache.data.bandCount;
  view.framesPerSecond = cache.data.framesPerSecond;
  std::printf("%-18s %7s %7s %12s %12s\n", "section", "from s", "to s", "bands 1-10", "bands 40-127");
  for (const MusicSection& section : table.sections) {
    std::printf("%-18s %7.1f %7.1f %12.4f %12.4f\n", section.name.c_str(), section.start, section.end,
                meanBandLevel(view, section.start, section.end, 1, 10),
                meanBandLevel(view, section.start, section.end, 40, 127));
  }
  return 0;
}
