// The music's section table (written by soundtrack-gen beside the sync
// source, read by fft-summary and the production's data checks): one line per section, "NAME START_S END_S START_ROW END_ROW",
// where the name may hold blanks; "#" starts a comment line. Also the
// table's text with time inserted or removed (synctool shift --sections).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MusicSection {
  std::string name;
  double start = 0.0;  // seconds
  double end = 0.0;
};

struct SectionTableParse {
  std::vector<MusicSection> sections;
  std::string problem;  // first malformed line, with its number; empty when all parsed
  int problemLine = 0;  // that line's number and what is wrong with it
  std::string problemReason;
};

SectionTableParse parseSectionTable(const std::string& text);

// The table in a file (program path). A missing file is no table and no
// problem; an unreadable one is found=false too.
struct SectionTableFile {
  bool found = false;
  SectionTableParse table;
};
SectionTableFile readSectionTable(const std::string& programPath);

// The table with time inserted (by > 0) or removed (by < 0) at sync row
// `at`: every boundary at or after it moves by `by` rows, in its seconds
// and its row column; a boundary inside removed time moves to where the
// removal starts. The numbers keep their right edges and the decimals the
// unmoved ones are written with; nothing else changes. Refused, with the
// reason, when a section would be left empty or the table does not parse.
struct SectionTableShift {
  std::string text;
  int movedBoundaries = 0;
  std::string problem;
};
SectionTableShift shiftSectionTable(const std::string& text, int32_t at, int32_t by);
