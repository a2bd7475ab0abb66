// SyncDocument::shift: time inserted into or removed from the sync text.
#include <algorithm>
#include <array>
#include <cstdint>
#include <map>

#include "audio/sync_text.h"
#include "editor/sync_document.h"

namespace {
// A refusal names this many keys, then counts the rest.
constexpr size_t kMostNamedKeys = 20;

size_t decimalsOf(const std::string& secondsWord) {
  const size_t dot = secondsWord.find('.');
  if (dot == std::string::npos || secondsWord.size() < dot + 2) return 0;
  return secondsWord.size() - dot - 2;  // less the dot and the "s"
}

// The row word for `row` in the notation of `old`: seconds written with
// padded decimals ("2.0s", "2.50s") keep them where they suffice, rows
// written with leading zeros keep their width.
std::string rowWord(const std::string& old, int32_t row, bool inSeconds) {
  std::string text = formatSyncRow(row, inSeconds);
  if (inSeconds) {
    const size_t decimals = decimalsOf(text);
    const size_t own = decimalsOf(old);
    const bool padded = own > 0 && old[old.size() - 2] == '0';
    if (padded && decimals < own) {
      text.pop_back();
      if (decimals == 0) text += '.';
      text.append(own - decimals, '0');
      text += 's';
    }
  } else if (row >= 0 && old.size() > 1 && old[0] == '0' && text.size() < old.size()) {
    text.insert(0, old.size() - text.size(), '0');
  }
  return text;
}

// Of equally common values, the smallest.
size_t mostCommon(const std::map<size_t, int>& votes) {
  size_t best = 0;
  int count = 0;
  for (const auto& [value, n] : votes) {
    if (n > count) {
      best = value;
      count = n;
    }
  }
  return best;
}
}  // namespace

std::string SyncDocument::shiftedLine(const Line& line, const std::string& row, const size_t columns[3]) {
  const std::string& text = line.text;
  bool padded = false;
  bool follows = paddedWithSpaces(line, padded) && (columns[1] != 0 || columns[2] != 0);
  for (int i = 1; i < 3 && follows; ++i) {
    if (columns[i] != 0) follows = line.start[i] == std::max(columns[i], line.end[i - 1] + 1);
  }
  std::string out = text.substr(0, line.start[0]) + row;
  for (int i = 1; i < 3; ++i) {
    const std::string gap = text.substr(line.end[i - 1], line.start[i] - line.end[i - 1]);
    if (follows && columns[i] != 0) {
      out.append(std::max(columns[i], out.size() + 1) - out.size(), ' ');
    } else {
      out += gap;
    }
    out += text.substr(line.start[i], line.end[i] - line.start[i]);
  }
  // A trailing comment keeps its distance from the kind.
  return out + text.substr(line.end[2]);
}

std::string SyncDocument::shift(int32_t at, int32_t by) {
  if (by == 0) return "";
  const int64_t removedFrom = static_cast<int64_t>(at) + by;
  std::vector<std::string> deleted;
  for (const Line& line : lines_) {
    if (line.kind != LineKind::kKey) continue;
    const int64_t row = line.key.row;
    if (by < 0 && row >= removedFrom && row < at) {
      deleted.push_back("track " + line.track + " row " + std::to_string(row));
    }
    if (row >= at && (row + by < INT32_MIN || row + by > INT32_MAX)) {
      return "moving row " + std::to_string(row) + " by " + std::to_string(by) + " rows leaves the row range";
    }
  }
  if (!deleted.empty()) {
    std::string message = "removing rows " + std::to_string(removedFrom) + " to " + std::to_string(int64_t(at) - 1) +
                          " would delete keys: ";
    for (size_t i = 0; i < deleted.size() && i < kMostNamedKeys; ++i) message += (i ? ", " : "") + deleted[i];
    if (deleted.size() > kMostNamedKeys) message += ", and " + std::to_string(deleted.size() - kMostNamedKeys) + " more";
    return message;
  }

  // The columns to keep are the most common word starts of the key lines
  // the shift leaves where they are (of the track, else of the text): the
  // same lines when the shift is undone, so both directions lay the moved
  // lines out alike. Only where no line stays are the moved lines asked.
  const auto stays = [at](const Line& line) { return line.key.row < at; };
  const auto reference = [&](const std::string& track) {
    std::vector<const Line*> found[4];  // staying of the track, staying, of the track, all
    for (const Line& line : lines_) {
      if (line.kind != LineKind::kKey) continue;
      const bool own = line.track == track;
      if (stays(line) && own) found[0].push_back(&line);
      if (stays(line)) found[1].push_back(&line);
      if (own) found[2].push_back(&line);
      found[3].push_back(&line);
    }
    for (auto& lines : found) {
      if (!lines.empty()) return lines;
    }
    return std::vector<const Line*>{};
  };
  std::map<std::string, std::array<size_t, 3>> columnsOf;
  for (const Line& line : lines_) {
    if (line.kind != LineKind::kKey || stays(line) || columnsOf.count(line.track)) continue;
    std::array<size_t, 3> columns = {0, 0, 0};
    for (int i = 1; i < 3; ++i) {
      // A word after a wider gap than one space shows where its column is;
      // one right after a single space may have been pushed there, so it
      // only tells that the column is not further right.
      std::map<size_t, int> votes;
      size_t leftmost = 0;
      for (const Line* other : reference(line.track)) {
        bool padded = false;
        if (!paddedWithSpaces(*other, padded)) continue;
        if (other->start[i] > other->end[i - 1] + 1) {
          ++votes[other->start[i]];
        } else if (leftmost == 0 || other->start[i] < leftmost) {
          leftmost = other->start[i];
        }
      }
      columns[size_t(i)] = votes.empty() ? leftmost : mostCommon(votes);
    }
    columnsOf[line.track] = columns;
  }

  // A line spaced by single blanks may be one pushed out of its columns
  // or one written that way: it counts as laid out in columns when the last
  // key line of its track that stays is (the same line either way of the
  // shift), or, where none stays, when a neighbouring key line is.
  const auto aligned = [](const Line& line) {
    bool padded = false;
    return paddedWithSpaces(line, padded) && padded;
  };
  const auto inColumns = [&](size_t index) {
    const Line& line = lines_[index];
    if (aligned(line)) return true;
    const Line* lastStaying = nullptr;
    for (const Line& other : lines_) {
      if (other.kind == LineKind::kKey && other.track == line.track && stays(other)) lastStaying = &other;
    }
    if (lastStaying != nullptr) return aligned(*lastStaying);
    const Line* before = nullptr;
    const Line* after = nullptr;
    neighbours(line.track, index, before, after);
    return (before != nullptr && aligned(*before)) || (after != nullptr && aligned(*after));
  };
  std::vector<std::pair<size_t, std::string>> rewritten;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind != LineKind::kKey || stays(line)) continue;
    const std::string old = line.text.substr(line.start[0], line.end[0] - line.start[0]);
    const std::string row = rowWord(old, line.key.row + by, line.rowInSeconds);
    static const size_t kNoColumns[3] = {0, 0, 0};
    rewritten.push_back({i, shiftedLine(line, row, inColumns(i) ? columnsOf[line.track].data() : kNoColumns)});
  }
  const std::vector<Line> kept = lines_;
  std::vector<DocumentTrack> expected = tracks();
  for (DocumentTrack& track : expected) {
    for (SyncKey& key : track.keys) key.row += key.row >= at ? by : 0;
  }
  for (const auto& [index, text] : rewritten) {
    Line& line = lines_[index];
    line.key.row += by;
    line.text = text;
    const size_t stop = std::min(line.text.find('#'), line.text.size());
    size_t from = 0;
    for (int w = 0; w < 3; ++w) {
      line.start[w] = std::min(line.text.find_first_not_of(" \t\n\v\f\r", from), stop);
      line.end[w] = std::min(line.text.find_first_of(" \t\n\v\f\r", line.start[w]), stop);
      from = line.end[w];
    }
  }
  // The text stays the truth: it must read back as the moved keys.
  const SyncTextResult again = parseSyncText(text());
  bool same = again.error.empty() && again.tracks.size() == expected.size();
  for (size_t t = 0; same && t < expected.size(); ++t) {
    const std::vector<SyncKey>& keys = again.tracks[t].keys;
    same = keys.size() == expected[t].keys.size();
    for (size_t k = 0; same && k < keys.size(); ++k) {
      same = keys[k].row == expected[t].keys[k].row && keys[k].value == expected[t].keys[k].value &&
             keys[k].kind == expected[t].keys[k].kind;
    }
  }
  if (!same) {
    lines_ = kept;
    return "the shifted text would not read back as the shifted keys";
  }
  return "";
}
