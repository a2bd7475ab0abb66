#include "audio/music_sections.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "audio/sync_track.h"
#include "resources/file_utils.h"

namespace {
constexpr const char* kBlanks = " \t\r";
constexpr int kMostSecondsDecimals = 4;  // a row is a sixteenth of a second

struct Word {
  size_t start;
  size_t end;
};

std::vector<Word> wordsOf(const std::string& line) {
  std::vector<Word> words;
  size_t at = 0;
  while ((at = line.find_first_not_of(kBlanks, at)) != std::string::npos) {
    const size_t end = std::min(line.find_first_of(kBlanks, at), line.size());
    words.push_back({at, end});
    at = end;
  }
  return words;
}

size_t decimalsOf(const std::string& number) {
  const size_t dot = number.find('.');
  return dot == std::string::npos ? 0 : number.size() - dot - 1;
}

// The word replaced by `text` with its right edge kept where there is room
// (one blank at least before it); where there is none the rest of the line
// moves right.
void replaceWord(std::string& line, size_t index, const std::string& text) {
  const std::vector<Word> words = wordsOf(line);
  const Word word = words[index];
  const size_t floor = index == 0 ? 0 : words[index - 1].end + 1;
  const size_t start = word.end >= floor + text.size() ? word.end - text.size() : floor;
  line = line.substr(0, floor) + std::string(start - floor, ' ') + text + line.substr(word.end);
}
}  // namespace

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

SectionTableShift shiftSectionTable(const std::string& text, int32_t at, int32_t by) {
  SectionTableShift shift;
  const SectionTableParse parsed = parseSectionTable(text);
  if (!parsed.problem.empty()) {
    shift.problem = parsed.problem;
    return shift;
  }
  const int64_t cut = static_cast<int64_t>(at) + by;
  // The lines, their endings kept; which are sections; where each boundary goes.
  std::vector<std::string> lines;
  std::vector<std::string> endings;
  for (size_t from = 0; from < text.size();) {
    const size_t newline = text.find('\n', from);
    const size_t end = newline == std::string::npos ? text.size() : newline + 1;
    std::string line = text.substr(from, end - from);
    std::string ending;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
      ending.insert(ending.begin(), line.back());
      line.pop_back();
    }
    lines.push_back(line);
    endings.push_back(ending);
    from = end;
  }
  struct Boundary {
    size_t line;
    size_t secondsWord;
    size_t rowWord;
    int64_t row;
    int64_t moved;
  };
  std::vector<Boundary> boundaries;
  // How many decimals the seconds are written with: as by the boundaries
  // that stay (the same ones when the shift is undone), else by all.
  std::map<size_t, int> decimalVotes;
  std::map<size_t, int> allDecimals;
  for (size_t i = 0; i < lines.size(); ++i) {
    // A byte order mark before the first line is not part of it (the parser
    // drops it too).
    const size_t skip = i == 0 && lines[i].rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    const size_t first = lines[i].find_first_not_of(kBlanks, skip);
    if (first == std::string::npos || lines[i][first] == '#') continue;
    const std::vector<Word> words = wordsOf(lines[i]);
    const size_t n = words.size();
    if (n < 5) {  // blanks the parser splits on and these words do not
      shift.problem = "line " + std::to_string(i + 1) + " is not a section line: a name and four numbers";
      return shift;
    }
    for (size_t end = 0; end < 2; ++end) {
      Boundary b{i, n - 4 + end, n - 2 + end, 0, 0};
      const std::string secondsText = lines[i].substr(words[b.secondsWord].start, words[b.secondsWord].end - words[b.secondsWord].start);
      const std::string rowText = lines[i].substr(words[b.rowWord].start, words[b.rowWord].end - words[b.rowWord].start);
      char* stop = nullptr;
      const double fromRows = std::strtod(rowText.c_str(), &stop);
      const double rows = stop != nullptr && *stop == '\0' && !rowText.empty()
                              ? fromRows
                              : std::strtod(secondsText.c_str(), nullptr) * kRowsPerSecond;
      if (!std::isfinite(rows) || std::fabs(rows) > INT32_MAX) {
        shift.problem = "line " + std::to_string(i + 1) + " has a boundary beyond the rows a sync text can hold";
        return shift;
      }
      b.row = std::llround(rows);
      b.moved = b.row >= at ? b.row + by : (b.row >= cut ? cut : b.row);
      if (b.moved == b.row) ++decimalVotes[decimalsOf(secondsText)];
      ++allDecimals[decimalsOf(secondsText)];
      boundaries.push_back(b);
    }
  }
  for (size_t k = 0; k + 1 < boundaries.size(); k += 2) {
    if (boundaries[k + 1].moved <= boundaries[k].moved) {
      const std::vector<Word> words = wordsOf(lines[boundaries[k].line]);
      std::string name;
      for (size_t w = 0; w + 4 < words.size(); ++w) {
        name += (w ? " " : "") + lines[boundaries[k].line].substr(words[w].start, words[w].end - words[w].start);
      }
      shift.problem = "removing rows " + std::to_string(cut) + " to " + std::to_string(int64_t(at) - 1) +
                      " would leave section '" + name + "' empty";
      return shift;
    }
  }
  for (const Boundary& b : boundaries) {
    if (b.moved == b.row) continue;
    ++shift.movedBoundaries;
    int least = 0;
    int votes = 0;
    for (const auto& [decimals, count] : decimalVotes.empty() ? allDecimals : decimalVotes) {
      if (count > votes) {
        least = static_cast<int>(decimals);
        votes = count;
      }
    }
    const double seconds = static_cast<double>(b.moved) / kRowsPerSecond;
    int decimals = 0;
    char number[64];
    for (;; ++decimals) {
      std::snprintf(number, sizeof number, "%.*f", decimals, seconds);
      if (std::strtod(number, nullptr) == seconds || decimals >= kMostSecondsDecimals) break;
    }
    std::snprintf(number, sizeof number, "%.*f", std::max(decimals, least), seconds);
    replaceWord(lines[b.line], b.secondsWord, number);
    replaceWord(lines[b.line], b.rowWord, std::to_string(b.moved));
  }
  for (size_t i = 0; i < lines.size(); ++i) shift.text += lines[i] + endings[i];
  const SectionTableParse again = parseSectionTable(shift.text);
  if (!again.problem.empty()) {
    shift.problem = "the shifted table would not read back: " + again.problem;
    shift.text.clear();
  }
  return shift;
}
