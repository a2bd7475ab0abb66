// synctool: compiles the readable sync text into .track files, prints a
// track file back as text, and evaluates a track at given rows exactly as the
// player does.
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

#include "audio/sync_text.h"
#include "audio/sync_track.h"
#include "audio/track_files.h"

namespace fs = std::filesystem;

namespace {
const char* const kUsage =
    "usage:\n"
    "  synctool build SOURCE FOLDER   compile the sync text SOURCE into FOLDER/_<name>.track\n"
    "  synctool dump FILE.track       print a track file as sync text\n"
    "  synctool eval FILE.track ROW...  print the value at each row (fractional rows allowed,\n"
    "                                 or seconds with an 's' suffix), one per line\n"
    "  synctool --help                this text\n"
    "\n"
    "Sync text: '#' starts a comment; 'track NAME' starts a track; each key line is\n"
    "'ROW VALUE KIND' with ROW a row or seconds ('2.5s', 16 rows per second), VALUE a\n"
    "number and KIND one of step, linear, smooth, ramp (or 0 to 3). Rows ascend.\n";

int fail(const std::string& message) {
  std::fprintf(stderr, "synctool: %s\n", message.c_str());
  return 1;
}

bool readFileBytes(const std::string& path, std::vector<uint8_t>& bytes) {
  return SyncDevice::readWholeFile(path, bytes);
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
  return fail("unknown command '" + command + "' (see --help)");
}
