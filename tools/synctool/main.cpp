// synctool: compiles the readable sync text into .track files, prints a
// track file back as text, evaluates a track at given rows exactly as the
// player does, prints the music's beats and onsets, and inserts or removes
// time across all tracks of the sync text.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/music_analysis_cache.h"
#include "audio/music_sections.h"
#include "audio/sync_text.h"
#include "audio/sync_track.h"
#include "audio/track_files.h"
#include "editor/sync_document.h"
#include "resources/file_utils.h"

namespace fs = std::filesystem;

namespace {
const char* const kUsage =
    "usage:\n"
    "  synctool build SOURCE FOLDER   compile the sync text SOURCE into FOLDER/_<name>.track\n"
    "  synctool dump FILE.track       print a track file as sync text\n"
    "  synctool eval FILE.track ROW...  print the value at each row (fractional rows allowed,\n"
    "                                 or seconds with an 's' suffix), one per line\n"
    "  synctool beats MUSIC           print '# tempo T BPM', then each beat: seconds, the\n"
    "                                 nearest row and 'bar' on a bar's first beat\n"
    "  synctool onsets MUSIC          print each onset: seconds and the nearest row\n"
    "  synctool shift SYNC_TXT AT BY [--sections SECTIONS_TXT]\n"
    "                                 move every key at or after AT by BY (insert time,\n"
    "                                 or remove it when BY < 0), and the sections too\n"
    "  synctool --help                this text\n"
    "\n"
    "Sync text: '#' starts a comment; 'track NAME' starts a track; each key line is\n"
    "'ROW VALUE KIND' with ROW a row or seconds ('2.5s', 16 rows per second), VALUE a\n"
    "number and KIND one of step, linear, smooth, ramp (or 0 to 3). Rows ascend.\n"
    "\n"
    "MUSIC is an MP3 or a 16-bit WAV; its analysis is kept beside it in\n"
    "NAME.analysis.cache and made again when the music changes. AT and BY are\n"
    "rows or seconds as in the sync text ('1024', '-16', '64s', '+4s'). A removal\n"
    "that would delete keys is refused, naming them, and nothing is written.\n";

int fail(const std::string& message) {
  std::fprintf(stderr, "synctool: %s\n", message.c_str());
  return 1;
}

std::string trackNameOf(const std::string& path) { return trackNameOfFile(fs::path(path).filename().string()); }

// Loads a track file; a file cut short still yields its whole keys, but is an
// error for the caller to report.
bool loadTrack(const std::string& path, std::vector<SyncKey>& keys, std::string& problem) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(path, bytes)) {
    problem = "cannot read " + path;
    return false;
  }
  TrackParseResult parsed = parseTrackBytes(bytes.data(), bytes.size());
  keys = std::move(parsed.keys);
  if (!parsed.problem.empty()) problem = path + ": " + parsed.problem;
  // What was dropped is named too: the keys printed are what the player uses.
  for (const DroppedKey& key : parsed.dropped) {
    if (!problem.empty()) problem += "\n";
    problem += path + ": key at row " + std::to_string(key.row) + " dropped, " + key.reason;
  }
  return true;
}

int buildCommand(const std::string& source, const std::string& folder) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(source, bytes)) return fail("cannot read " + source);
  const SyncTextResult parsed = parseSyncText(std::string(bytes.begin(), bytes.end()));
  if (!parsed.error.empty()) return fail(source + ": " + parsed.error);

  std::vector<std::string> written;
  TrackWriteFailure failure;
  const bool ok = writeTrackFiles(parsed.tracks, folder, written, failure);
  for (const std::string& line : written) std::printf("%s\n", line.c_str());
  if (!ok) return fail(failure.file + ": " + failure.reason);
  return 0;
}

int dumpCommand(const std::string& path) {
  std::vector<SyncKey> keys;
  std::string problem;
  if (!loadTrack(path, keys, problem)) return fail(problem);
  std::fputs(printSyncTrack(trackNameOf(path), keys).c_str(), stdout);
  int status = 0;
  for (const SyncKey& key : keys) {
    if (!syncKindName(key.kind)) {
      std::fprintf(stderr, "synctool: row %d has kind %d, which evaluates to 0.0 and has no text form\n",
                   key.row, key.kind);
      status = 1;
    }
  }
  if (!problem.empty()) status = fail(problem);
  return status;
}

bool parseEvalRow(const std::string& text, double& row) {
  std::string number = text;
  double scale = 1.0;
  if (!number.empty() && number.back() == 's') {
    number.pop_back();
    scale = kRowsPerSecond;
  }
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(number.c_str(), &end);
  if (number.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value)) return false;
  row = value * scale;
  return true;
}

int evalCommand(const std::string& path, const std::vector<std::string>& rows) {
  std::vector<SyncKey> keys;
  std::string problem;
  if (!loadTrack(path, keys, problem)) return fail(problem);
  std::vector<double> parsedRows;
  for (const std::string& text : rows) {
    double row = 0.0;
    if (!parseEvalRow(text, row)) return fail("bad row '" + text + "'");
    parsedRows.push_back(row);
  }
  // Evaluated on the keys the player keeps; what it leaves out is named
  // afterwards, as dump does.
  SyncTrack track(trackNameOf(path));
  track.keys = std::move(keys);
  for (double row : parsedRows) {
    // The player keeps sync values as floats.
    std::printf("%.9g\n", static_cast<float>(track.valueAt(row)));
  }
  return problem.empty() ? 0 : fail(problem);
}
// The analysis of the music, or a message on stderr and false.
bool analyse(const std::string& music, MusicAnalysis& analysis) {
  MusicAnalysisOutcome outcome = loadOrAnalyseMusic(music);
  if (!outcome.cacheNote.empty()) std::fprintf(stderr, "synctool: %s\n", outcome.cacheNote.c_str());
  if (!outcome.ok) {
    fail(outcome.error);
    return false;
  }
  analysis = std::move(outcome.analysis);
  return true;
}

long nearestRow(double seconds) { return std::lround(seconds * kRowsPerSecond); }

int beatsCommand(const std::string& music) {
  MusicAnalysis analysis;
  if (!analyse(music, analysis)) return 1;
  if (!analysis.pulse) {
    std::printf("# tempo none: no steady pulse\n");
    return 0;
  }
  std::printf("# tempo %.1f BPM\n", analysis.tempo);
  for (const TrackedBeat& beat : analysis.beats) {
    std::printf("%.3f %ld%s\n", beat.time, nearestRow(beat.time), beat.bar ? " bar" : "");
  }
  return 0;
}

int onsetsCommand(const std::string& music) {
  MusicAnalysis analysis;
  if (!analyse(music, analysis)) return 1;
  for (double onset : analysis.onsets) std::printf("%.3f %ld\n", onset, nearestRow(onset));
  return 0;
}

bool readText(const std::string& path, std::string& text) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(path, bytes)) return false;
  text.assign(bytes.begin(), bytes.end());
  return true;
}

// Both files are worked out before either is written: a refusal leaves both
// as they were.
int shiftCommand(const std::vector<std::string>& args) {
  std::string syncPath;
  std::string sectionsPath;
  std::vector<std::string> numbers;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--sections" && i + 1 < args.size()) {
      sectionsPath = args[++i];
    } else if (syncPath.empty()) {
      syncPath = args[i];
    } else {
      numbers.push_back(args[i]);
    }
  }
  if (syncPath.empty() || numbers.size() != 2) return fail("shift takes SYNC_TXT AT BY [--sections SECTIONS_TXT] (see --help)");
  int32_t at = 0;
  int32_t by = 0;
  std::string reason;
  if (!parseSyncRow(numbers[0], at, reason)) return fail("AT: " + reason);
  if (!parseSyncRow(numbers[1], by, reason)) return fail("BY: " + reason);

  std::string text;
  if (!readText(syncPath, text)) return fail("cannot read " + syncPath + ": " + readFailureReason(syncPath));
  SyncDocument document;
  std::string problem;
  if (!document.parse(text, problem)) return fail(syncPath + ": " + problem);
  size_t moved = 0;
  for (const DocumentTrack& track : document.tracks()) {
    for (const SyncKey& key : track.keys) moved += key.row >= at ? 1 : 0;
  }
  problem = document.shift(at, by);
  if (!problem.empty()) return fail(syncPath + ": " + problem);

  SectionTableShift sections;
  if (!sectionsPath.empty()) {
    std::string table;
    if (!readText(sectionsPath, table)) return fail("cannot read " + sectionsPath + ": " + readFailureReason(sectionsPath));
    sections = shiftSectionTable(table, at, by);
    if (!sections.problem.empty()) return fail(sectionsPath + ": " + sections.problem);
  }
  std::string error;
  const std::string shifted = document.text();
  if (!writeFileAtomically(syncPath, std::vector<uint8_t>(shifted.begin(), shifted.end()), error)) {
    return fail("cannot write " + syncPath + ": " + error);
  }
  std::printf("%s: %zu keys at or after row %d moved by %d rows\n", syncPath.c_str(), moved, at, by);
  if (!sectionsPath.empty()) {
    if (!writeFileAtomically(sectionsPath, std::vector<uint8_t>(sections.text.begin(), sections.text.end()), error)) {
      return fail("cannot write " + sectionsPath + " (" + syncPath + " is written): " + error);
    }
    std::printf("%s: %d section boundaries moved\n", sectionsPath.c_str(), sections.movedBoundaries);
  }
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "build") {
    if (args.size() != 3) return fail("build takes SOURCE FOLDER (see --help)");
    return buildCommand(args[1], args[2]);
  }
  if (command == "dump") {
    if (args.size() != 2) return fail("dump takes FILE.track (see --help)");
    return dumpCommand(args[1]);
  }
  if (command == "eval") {
    if (args.size() < 3) return fail("eval takes FILE.track ROW... (see --help)");
    return evalCommand(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
  }
  if (command == "beats" || command == "onsets") {
    if (args.size() != 2) return fail(command + " takes MUSIC (see --help)");
    return command == "beats" ? beatsCommand(args[1]) : onsetsCommand(args[1]);
  }
  if (command == "shift") return shiftCommand(std::vector<std::string>(args.begin() + 1, args.end()));
  return fail("unknown command '" + command + "' (see --help)");
}
