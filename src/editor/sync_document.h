// The sync text (sync.txt) as the editor changes it: line by line, so that
// every line an edit does not touch stays byte for byte (comments, blank
// lines, the order of tracks), a key keeps the author's notation (a row in
// seconds stays in seconds, a kind written as a digit stays a digit), and a
// new or changed key line takes the column starts of its neighbours where
// they are aligned. Also reads each track's label from the comment above it.
// Pure text in and out: no files, no HTTP, no show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/sync_track.h"

enum class EditOp { kSet, kDelete, kMove, kKind, kValue };

// One change to one key. Rows are sync rows (16 per second).
struct SyncEdit {
  EditOp op = EditOp::kSet;
  std::string track;
  int32_t row = 0;
  int32_t toRow = 0;     // move: where the key goes
  float value = 0.0f;    // set, value
  int kind = kSyncStep;  // set, kind
};

// A track as the editor shows it.
struct DocumentTrack {
  std::string name;
  // The quoted word the author put after "# NAME:" (or in parentheses) in
  // the comment block right above the track line, for that track alone:
  //   # 0: "drumMultiplier" - how much the kick drum brightens ...
  //   # 13: wire mesh opacity ("wireAmplitude") - ...
  // Otherwise the track's name.
  std::string label;
  std::vector<SyncKey> keys;
};

class SyncDocument {
 public:
  // The document of a text parseSyncText accepts; false with its error
  // ("line N: reason") for one it refuses.
  bool parse(const std::string& text, std::string& error);

  // Applies the edits in order, each to the result of the one before, all or
  // none: on the first that cannot be applied (a key that is not there, a
  // move onto another key, a track name the text cannot hold) the document
  // stays as it was and the reason comes back. Empty when all applied.
  std::string apply(const std::vector<SyncEdit>& edits);

  // Inserts (by > 0) or removes (by < 0) time: every key of every track at
  // or after row `at` moves by `by` rows, in its own notation (seconds stay
  // seconds, rows stay rows). A line laid out in the columns of its track
  // keeps them; any other line keeps its own spacing. Only the moved key
  // lines change, so a shift undone by its opposite (at + by, -by) gives
  // the text back byte for byte while each row fits its column. Refused,
  // with the document unchanged, when a removal would delete keys (the
  // message names them) or a row would leave the 32-bit range.
  std::string shift(int32_t at, int32_t by);

  std::string text() const;
  // In the order of their track lines.
  std::vector<DocumentTrack> tracks() const;
  bool hasTrack(const std::string& name) const { return headerOf(name) >= 0; }
  // The track's key at the row; false when there is none.
  bool keyAt(const std::string& track, int32_t row, SyncKey& key) const;
  size_t keyCount(const std::string& track) const { return keyLinesOf(track).size(); }

 private:
  enum class LineKind { kOther, kTrack, kKey };
  struct Line {
    std::string text;    // without its line ending
    std::string ending;  // "\n", "\r\n", or "" for a last line without one
    LineKind kind = LineKind::kOther;
    std::string track;  // of a track or key line
    SyncKey key;
    bool rowInSeconds = false;
    bool kindAsDigit = false;
    size_t start[3] = {};  // the key line's three words
    size_t end[3] = {};
  };
  // A key line's words and what surrounds them, before it is laid out.
  struct KeyWords {
    std::string words[3];
    std::string prefix;             // blanks before the row
    std::string separators[2];      // between the words, when the line keeps its own
    bool ownSeparators = false;
    // The column starts of the line's own words when it was laid out in
    // padded columns: kept when no aligned neighbour says otherwise.
    bool ownColumns = false;
    size_t columns[3] = {};
    std::string suffix;             // after the kind: blanks and a comment
  };

  static bool paddedWithSpaces(const Line& line, bool& padded);
  // The key line's text with its row word replaced, laid out in `columns`
  // (word starts; 0 where a column is not known) when it followed them.
  static std::string shiftedLine(const Line& line, const std::string& row, const size_t columns[3]);
  std::string applyOne(const SyncEdit& edit);
  int headerOf(const std::string& track) const;
  std::vector<size_t> keyLinesOf(const std::string& track) const;
  int keyLineAt(const std::string& track, int32_t row) const;
  // The key line nearest before `index`, else after it; never `except`.
  const Line* nearestKeyLine(size_t index, size_t except = static_cast<size_t>(-1)) const;
  KeyWords wordsOf(const Line& line) const;
  // Lays the words out as a key line beside its neighbours (either may be
  // null) and stores it at `line`.
  void layOut(Line& line, const KeyWords& words, const Line* before, const Line* after) const;
  void neighbours(const std::string& track, size_t index, const Line*& before, const Line*& after) const;
  // Inserts a key line in its track (made at the end of the file when
  // missing) in row order; the words' row is rewritten for `row`.
  void insertKey(const std::string& track, const SyncKey& key, KeyWords words, bool rowInSeconds,
                 bool kindAsDigit);
  size_t appendTrack(const std::string& track);
  std::string newline() const;

  std::string byteOrderMark_;
  std::vector<Line> lines_;
};

// Shortest text that reads back as the same float ("0.5", "0.003", "200").
std::string formatSyncValue(float value);
// A row in the notation the author used: "48", or "3s" / "0.0625s", with as
// few decimals as exact.
std::string formatSyncRow(int32_t row, bool inSeconds);
