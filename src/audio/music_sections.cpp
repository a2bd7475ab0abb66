#include "audio/music_sections.h"

#include <sstream>

#include "resources/file_utils.h"

SectionTableParse parseSectionTable(const std::string& text) {
  SectionTableParse result;
  std::istringstream lines(withoutByteOrderMark(text));
  std::string line;
  int lineNumber = 0;
  while (std::getline(lines, line)) {
    ++lineNumber;
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    // The four numbers are the last four words; everything before is the name.
    std::vector<std::string> words;
    std::istringstream wordStream(line);
    for (std::string word; wordStream >> word;) words.push_back(word);
    bool ok = words.size() >= 5;
    MusicSection section;
    if (ok) {
      const size_t n = words.size();
      for (size_t i = 0; i + 4 < n; ++i) section.name += (i ? " " : "") + words[i];
      try {
        size_t used = 0;
        section.start = std::stod(words[n - 4], &used);
        ok = used == words[n - 4].size();
        section.end = std::stod(words[n - 3], &used);
        ok = ok && used == words[n - 3].size() && section.end > section.start;
      } catch (const std::exception&) {
        ok = false;
      }
    }
    if (!ok) {
      result.problemLine = lineNumber;
      result.problemReason = "not \"NAME START END ROW ROW\": " + line;
      result.problem = "line " + std::to_string(lineNumber) + " is " + result.problemReason;
      result.sections.clear();
      return result;
    }
    result.sections.push_back(section);
  }
  return result;
}

SectionTableFile readSectionTable(const std::string& programPath) {
  SectionTableFile file;
  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath(programPath), bytes)) return file;
  file.found = true;
  file.table = parseSectionTable(std::string(bytes.begin(), bytes.end()));
  return file;
}
