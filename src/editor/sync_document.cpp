#include "editor/sync_document.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include "audio/sync_text.h"

namespace {
constexpr const char* kBlanks = " \t\n\v\f\r";  // what the text parser splits words at
constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr int kDigitsForFloat = 9;  // enough for any float to read back the same
// Values written without an exponent, as the page shows them.
constexpr double kPlainNotationLow = 1e-6;
constexpr double kPlainNotationHigh = 1e21;
constexpr int kMostPlainDecimals = 15;

// Where each word starts and ends, up to a comment.
void findWords(const std::string& line, std::vector<std::pair<size_t, size_t>>& words) {
  words.clear();
  const size_t stop = std::min(line.find('#'), line.size());
  size_t at = 0;
  while (at < stop) {
    const size_t start = line.find_first_not_of(kBlanks, at);
    if (start == std::string::npos || start >= stop) break;
    size_t end = line.find_first_of(kBlanks, start);
    if (end == std::string::npos || end > stop) end = stop;
    words.push_back({start, end});
    at = end;
  }
}

bool isDigitKind(const std::string& word) { return word.size() == 1 && word[0] >= '0' && word[0] <= '3'; }

std::string kindWord(int kind, bool asDigit) {
  if (asDigit) return std::string(1, static_cast<char>('0' + kind));
  return syncKindName(kind);
}

// A name a "track NAME" line can hold and the track files can be named by.
bool isWritableTrackName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    if (c <= ' ' || c > '~' || c == '#' || c == '/' || c == '\\') return false;
  }
  return true;
}

std::string trackLabel(const std::vector<std::string>& block, const std::string& name) {
  // The block must open with "# NAME:" for this track alone.
  if (block.empty()) return name;
  const std::string& first = block.front();
  size_t at = first.find('#') + 1;
  at = first.find_first_not_of(" \t", at);
  if (at == std::string::npos || first.compare(at, name.size(), name) != 0) return name;
  at = first.find_first_not_of(" \t", at + name.size());
  if (at == std::string::npos || first[at] != ':') return name;
  for (const std::string& line : block) {
    for (size_t open = line.find('"'); open != std::string::npos; open = line.find('"', open + 1)) {
      const size_t close = line.find('"', open + 1);
      if (close == std::string::npos) break;
      const size_t before = open == 0 ? std::string::npos : line.find_last_not_of(" \t", open - 1);
      const bool placed = before != std::string::npos && (line[before] == ':' || line[before] == '(');
      const std::string word = line.substr(open + 1, close - open - 1);
      bool isWord = !word.empty();
      for (char c : word) isWord = isWord && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
      if (placed && isWord) return word;
      open = close;
    }
  }
  return name;
}

}  // namespace

// Whether the gaps between the key line's words are spaces only (a tab
// makes byte columns meaningless); `padded` is set when one is wider than
// one space.
bool SyncDocument::paddedWithSpaces(const Line& line, bool& padded) {
  for (int gap = 0; gap < 2; ++gap) {
    const size_t from = line.end[gap];
    const size_t to = line.start[gap + 1];
    if (line.text.find_first_not_of(' ', from) < to) return false;
    if (to - from > 1) padded = true;
  }
  return true;
}

namespace {
using KeyModel = std::map<std::string, std::map<int32_t, SyncKey>>;

bool sameKeys(const std::vector<SyncKey>& a, const std::map<int32_t, SyncKey>& b) {
  if (a.size() != b.size()) return false;
  auto expected = b.begin();
  for (const SyncKey& key : a) {
    const SyncKey& other = (expected++)->second;
    if (key.row != other.row || key.kind != other.kind || key.value != other.value) return false;
  }
  return true;
}
}  // namespace

std::string formatSyncValue(float value) {
  char text[64];
  int digits = 1;
  for (; digits <= kDigitsForFloat; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  // Written out in full, as an author writes numbers (160, not 1.6e+02),
  // except where that would take many zeros.
  const double magnitude = std::fabs(static_cast<double>(value));
  if (std::strchr(text, 'e') != nullptr && magnitude >= kPlainNotationLow && magnitude < kPlainNotationHigh) {
    for (int decimals = 0; decimals <= kMostPlainDecimals; ++decimals) {
      std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
      if (std::strtof(text, nullptr) == value) break;
    }
  }
  return text;
}

std::string formatSyncRow(int32_t row, bool inSeconds) {
  if (!inSeconds) return std::to_string(row);
  // A row is a sixteenth of a second: at most four decimals, exactly.
  const int64_t magnitude = row < 0 ? -static_cast<int64_t>(row) : row;
  const int64_t sixteenths = magnitude % static_cast<int64_t>(kRowsPerSecond);
  std::string text = (row < 0 ? "-" : "") + std::to_string(magnitude / static_cast<int64_t>(kRowsPerSecond));
  if (sixteenths != 0) {
    char decimals[8];
    std::snprintf(decimals, sizeof decimals, "%04d", static_cast<int>(sixteenths * 625));
    std::string fraction = decimals;
    fraction.erase(fraction.find_last_not_of('0') + 1);
    text += "." + fraction;
  }
  return text + "s";
}

bool SyncDocument::parse(const std::string& text, std::string& error) {
  const SyncTextResult parsed = parseSyncText(text);
  if (!parsed.error.empty()) {
    error = parsed.error;
    return false;
  }
  byteOrderMark_.clear();
  lines_.clear();
  size_t at = 0;
  if (text.compare(0, 3, kByteOrderMark) == 0) {
    byteOrderMark_ = kByteOrderMark;
    at = 3;
  }
  while (at < text.size()) {
    Line line;
    const size_t newlineAt = text.find('\n', at);
    const size_t end = newlineAt == std::string::npos ? text.size() : newlineAt;
    line.text = text.substr(at, end - at);
    if (newlineAt != std::string::npos) {
      line.ending = "\n";
      if (!line.text.empty() && line.text.back() == '\r') {
        line.text.pop_back();
        line.ending = "\r\n";
      }
    }
    lines_.push_back(std::move(line));
    at = newlineAt == std::string::npos ? text.size() : newlineAt + 1;
  }

  // The parser read the same lines in the same order: its n-th track is the
  // n-th track line, its keys the key lines that follow.
  std::vector<std::pair<size_t, size_t>> words;
  int track = -1;
  size_t keyIndex = 0;
  for (Line& line : lines_) {
    findWords(line.text, words);
    if (words.empty()) continue;
    if (line.text.compare(words[0].first, words[0].second - words[0].first, "track") == 0 &&
        words[0].second - words[0].first == 5) {
      ++track;
      keyIndex = 0;
      line.kind = LineKind::kTrack;
      line.track = parsed.tracks[static_cast<size_t>(track)].name;
      continue;
    }
    const TextTrack& owner = parsed.tracks[static_cast<size_t>(track)];
    line.kind = LineKind::kKey;
    line.track = owner.name;
    line.key = owner.keys[keyIndex++];
    for (int i = 0; i < 3; ++i) {
      line.start[i] = words[static_cast<size_t>(i)].first;
      line.end[i] = words[static_cast<size_t>(i)].second;
    }
    line.rowInSeconds = line.text[line.end[0] - 1] == 's';
    line.kindAsDigit = isDigitKind(line.text.substr(line.start[2], line.end[2] - line.start[2]));
  }
  return true;
}

std::string SyncDocument::newline() const {
  for (const Line& line : lines_) {
    if (!line.ending.empty()) return line.ending;
  }
  return "\n";
}

std::string SyncDocument::text() const {
  std::string text = byteOrderMark_;
  for (const Line& line : lines_) text += line.text + line.ending;
  return text;
}

std::vector<DocumentTrack> SyncDocument::tracks() const {
  std::vector<DocumentTrack> tracks;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind == LineKind::kKey) {
      tracks.back().keys.push_back(line.key);
      continue;
    }
    if (line.kind != LineKind::kTrack) continue;
    std::vector<std::string> block;
    for (size_t above = i; above > 0; --above) {
      const std::string& text = lines_[above - 1].text;
      const size_t first = text.find_first_not_of(kBlanks);
      if (first == std::string::npos || text[first] != '#') break;
      block.insert(block.begin(), text);
    }
    tracks.push_back({line.track, trackLabel(block, line.track), {}});
  }
  return tracks;
}

int SyncDocument::headerOf(const std::string& track) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::kTrack && lines_[i].track == track) return static_cast<int>(i);
  }
  return -1;
}

std::vector<size_t> SyncDocument::keyLinesOf(const std::string& track) const {
  std::vector<size_t> found;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::kKey && lines_[i].track == track) found.push_back(i);
  }
  return found;
}

bool SyncDocument::keyAt(const std::string& track, int32_t row, SyncKey& key) const {
  const int line = keyLineAt(track, row);
  if (line < 0) return false;
  key = lines_[static_cast<size_t>(line)].key;
  return true;
}

int SyncDocument::keyLineAt(const std::string& track, int32_t row) const {
  for (size_t i : keyLinesOf(track)) {
    if (lines_[i].key.row == row) return static_cast<int>(i);
  }
  return -1;
}

void SyncDocument::neighbours(const std::string& track, size_t index, const Line*& before,
                              const Line*& after) const {
  before = nullptr;
  after = nullptr;
  for (size_t i : keyLinesOf(track)) {
    if (i < index) before = &lines_[i];
    if (i > index && after == nullptr) after = &lines_[i];
  }
}

const SyncDocument::Line* SyncDocument::nearestKeyLine(size_t index, size_t except) const {
  for (size_t i = std::min(index, lines_.size()); i > 0; --i) {
    if (lines_[i - 1].kind == LineKind::kKey && i - 1 != except) return &lines_[i - 1];
  }
  for (size_t i = index; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::kKey && i != except) return &lines_[i];
  }
  return nullptr;
}

SyncDocument::KeyWords SyncDocument::wordsOf(const Line& line) const {
  KeyWords words;
  for (int i = 0; i < 3; ++i) words.words[i] = line.text.substr(line.start[i], line.end[i] - line.start[i]);
  words.prefix = line.text.substr(0, line.start[0]);
  words.separators[0] = line.text.substr(line.end[0], line.start[1] - line.end[0]);
  words.separators[1] = line.text.substr(line.end[1], line.start[2] - line.end[1]);
  words.ownSeparators = true;
  words.suffix = line.text.substr(line.end[2]);
  bool padded = false;
  words.ownColumns = paddedWithSpaces(line, padded) && padded;
  for (int i = 0; i < 3; ++i) words.columns[i] = line.start[i];
  return words;
}

void SyncDocument::layOut(Line& line, const KeyWords& words, const Line* before, const Line* after) const {
  // Aligned neighbours: the ones there are share their column starts, and
  // at least one of them is padded with spaces (single spaces everywhere
  // are no alignment to keep). Without them a line keeps its own columns.
  std::optional<std::vector<size_t>> columns;
  bool padded = false;
  bool agree = true;
  for (const Line* neighbour : {before, after}) {
    if (neighbour == nullptr) continue;
    const std::vector<size_t> starts = {neighbour->start[0], neighbour->start[1], neighbour->start[2]};
    if (columns && *columns != starts) agree = false;
    columns = starts;
    agree = agree && paddedWithSpaces(*neighbour, padded);
  }
  if (!agree || !padded) columns.reset();
  if (!columns && words.ownColumns) columns = {words.columns[0], words.columns[1], words.columns[2]};
  const Line* model = before != nullptr ? before : after;

  std::string text = words.prefix;
  line.start[0] = text.size();
  text += words.words[0];
  line.end[0] = text.size();
  for (int i = 1; i < 3; ++i) {
    if (columns) {
      const size_t column = (*columns)[static_cast<size_t>(i)];
      text.append(column > text.size() ? column - text.size() : 1, ' ');
    } else if (words.ownSeparators) {
      text += words.separators[i - 1];
    } else if (model != nullptr) {
      text += model->text.substr(model->end[i - 1], model->start[i] - model->end[i - 1]);
    } else {
      text += ' ';
    }
    line.start[i] = text.size();
    text += words.words[i];
    line.end[i] = text.size();
  }
  // A trailing comment stays in its column when there is room.
  const size_t comment = words.suffix.find_first_not_of(kBlanks);
  if (comment != std::string::npos && words.ownSeparators) {
    const size_t oldColumn = line.text.size() >= words.suffix.size() ? line.text.size() - words.suffix.size() + comment
                                                                     : text.size() + comment;
    text.append(oldColumn > text.size() ? oldColumn - text.size() : 1, ' ');
    text += words.suffix.substr(comment);
  } else {
    text += words.suffix;
  }
  line.text = std::move(text);
}

size_t SyncDocument::appendTrack(const std::string& track) {
  const std::string ending = newline();
  if (!lines_.empty()) {
    if (lines_.back().ending.empty()) lines_.back().ending = ending;
    if (lines_.back().text.find_first_not_of(kBlanks) != std::string::npos) {
      Line blank;
      blank.ending = ending;
      lines_.push_back(std::move(blank));
    }
  }
  Line header;
  header.text = "track " + track;
  header.ending = ending;
  header.kind = LineKind::kTrack;
  header.track = track;
  lines_.push_back(std::move(header));
  return lines_.size() - 1;
}

void SyncDocument::insertKey(const std::string& track, const SyncKey& key, KeyWords words, bool rowInSeconds,
                             bool kindAsDigit) {
  int header = headerOf(track);
  if (header < 0) header = static_cast<int>(appendTrack(track));
  size_t at = static_cast<size_t>(header) + 1;
  for (size_t i : keyLinesOf(track)) {
    if (lines_[i].key.row < key.row) at = i + 1;
  }
  Line line;
  line.kind = LineKind::kKey;
  line.track = track;
  line.key = key;
  line.rowInSeconds = rowInSeconds;
  line.kindAsDigit = kindAsDigit;
  line.ending = newline();
  if (lines_[at - 1].ending.empty()) {
    // Inserted after a last line without an ending: that line gets one and
    // the new last line goes without.
    lines_[at - 1].ending = line.ending;
    line.ending.clear();
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
  words.words[0] = formatSyncRow(key.row, rowInSeconds);
  const Line* before = nullptr;
  const Line* after = nullptr;
  neighbours(track, at, before, after);
  // The first key of a track is laid out like the nearest key in the file.
  if (before == nullptr && after == nullptr) before = nearestKeyLine(at, at);
  if (!words.ownSeparators) {
    const Line* model = before != nullptr ? before : after;
    if (model != nullptr) words.prefix = model->text.substr(0, model->start[0]);
  }
  layOut(lines_[at], words, before, after);
}

std::string SyncDocument::applyOne(const SyncEdit& edit) {
  const std::string where = "track " + edit.track + " has no key at row " + std::to_string(edit.row);
  if (!hasTrack(edit.track) && !isWritableTrackName(edit.track)) return "'" + edit.track + "' cannot be a track name";
  if ((edit.op == EditOp::kSet || edit.op == EditOp::kKind) && syncKindName(edit.kind) == nullptr) {
    return "kind " + std::to_string(edit.kind) + " is not one of step, linear, smooth, ramp";
  }
  const int found = keyLineAt(edit.track, edit.row);
  if (edit.op == EditOp::kSet && found < 0) {
    // A new key follows the notation of the key lines nearest to it.
    const int header = headerOf(edit.track);
    const Line* near = nullptr;
    const std::vector<size_t> own = keyLinesOf(edit.track);
    for (size_t i : own) {
      if (near == nullptr || lines_[i].key.row < edit.row) near = &lines_[i];
    }
    if (near == nullptr) near = nearestKeyLine(header < 0 ? lines_.size() : static_cast<size_t>(header));
    KeyWords words;
    words.words[1] = formatSyncValue(edit.value);
    words.words[2] = kindWord(edit.kind, near != nullptr && near->kindAsDigit);
    SyncKey key;
    key.row = edit.row;
    key.value = edit.value;
    key.kind = edit.kind;
    insertKey(edit.track, key, words, near != nullptr && near->rowInSeconds, near != nullptr && near->kindAsDigit);
    return "";
  }
  if (found < 0) return where;
  const size_t index = static_cast<size_t>(found);
  Line& line = lines_[index];
  KeyWords words = wordsOf(line);
  switch (edit.op) {
    case EditOp::kSet:
    case EditOp::kValue:
      if (edit.value != line.key.value) {
        words.words[1] = formatSyncValue(edit.value);
        line.key.value = edit.value;
      }
      if (edit.op == EditOp::kValue) break;
      [[fallthrough]];
    case EditOp::kKind:
      if (edit.kind != line.key.kind) {
        words.words[2] = kindWord(edit.kind, line.kindAsDigit);
        line.key.kind = edit.kind;
      }
      break;
    case EditOp::kDelete:
      lines_.erase(lines_.begin() + found);
      return "";
    case EditOp::kMove: {
      if (edit.toRow == edit.row) return "";
      if (keyLineAt(edit.track, edit.toRow) >= 0) {
        return "track " + edit.track + " already has a key at row " + std::to_string(edit.toRow);
      }
      const Line* before = nullptr;
      const Line* after = nullptr;
      neighbours(edit.track, index, before, after);
      const bool staysInPlace =
          (before == nullptr || before->key.row < edit.toRow) && (after == nullptr || edit.toRow < after->key.row);
      line.key.row = edit.toRow;
      words.words[0] = formatSyncRow(edit.toRow, line.rowInSeconds);
      if (staysInPlace) break;
      const Line moved = line;
      lines_.erase(lines_.begin() + found);
      insertKey(edit.track, moved.key, words, moved.rowInSeconds, moved.kindAsDigit);
      return "";
    }
  }
  const Line* before = nullptr;
  const Line* after = nullptr;
  neighbours(edit.track, index, before, after);
  layOut(line, words, before, after);
  return "";
}

std::string SyncDocument::apply(const std::vector<SyncEdit>& edits) {
  const std::vector<Line> kept = lines_;
  KeyModel expected;
  for (const DocumentTrack& track : tracks()) {
    for (const SyncKey& key : track.keys) expected[track.name][key.row] = key;
  }
  for (const SyncEdit& edit : edits) {
    const std::string problem = applyOne(edit);
    if (!problem.empty()) {
      lines_ = kept;
      return problem;
    }
    std::map<int32_t, SyncKey>& keys = expected[edit.track];
    switch (edit.op) {
      case EditOp::kSet:
        keys[edit.row] = SyncKey{edit.row, edit.value, edit.kind};
        break;
      case EditOp::kDelete:
        keys.erase(edit.row);
        break;
      case EditOp::kMove: {
        SyncKey key = keys[edit.row];
        keys.erase(edit.row);
        key.row = edit.toRow;
        keys[edit.toRow] = key;
        break;
      }
      case EditOp::kKind:
        keys[edit.row].kind = edit.kind;
        break;
      case EditOp::kValue:
        keys[edit.row].value = edit.value;
        break;
    }
  }
  // The text stays the truth: what was written must read back as the keys
  // the edits asked for, or nothing is changed.
  const SyncTextResult again = parseSyncText(text());
  bool same = again.error.empty();
  size_t tracksWithKeys = 0;
  for (const auto& [name, keys] : expected) tracksWithKeys += keys.empty() ? 0 : 1;
  for (const TextTrack& track : again.tracks) {
    const auto model = expected.find(track.name);
    same = same && (model == expected.end() ? track.keys.empty() : sameKeys(track.keys, model->second));
    tracksWithKeys -= track.keys.empty() ? 0 : 1;
  }
  same = same && tracksWithKeys == 0;
  if (!same) {
    lines_ = kept;
    return "the edited text would not read back as the edited keys";
  }
  return "";
}
