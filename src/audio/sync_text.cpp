#include "audio/sync_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "resources/file_utils.h"

namespace {
constexpr double kWholeRowTolerance = 1e-6;

std::vector<std::string> tokenize(const std::string& line) {
  std::istringstream stream(line);
  std::vector<std::string> tokens;
  std::string token;
  while (stream >> token) tokens.push_back(token);
  return tokens;
}

// The result refused at a line: the error's text and its parts.
SyncTextResult& refuseAt(SyncTextResult& result, int lineNumber, const std::string& reason) {
  result.error = "line " + std::to_string(lineNumber) + ": " + reason;
  result.errorLine = lineNumber;
  result.errorReason = reason;
  return result;
}

bool parseValue(const std::string& text, float& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtof(text.c_str(), &end);
  // "nan" and "inf" are words strtof knows, but no value a key may hold.
  return !text.empty() && *end == '\0' && std::isfinite(value);
}

bool parseKind(const std::string& text, int& kind) {
  static const char* const kDigits[] = {"0", "1", "2", "3"};
  for (int k = kSyncStep; k <= kSyncRamp; ++k) {
    if (text == syncKindName(k) || text == kDigits[k]) {
      kind = k;
      return true;
    }
  }
  return false;
}
}  // namespace

bool parseSyncRow(const std::string& text, int32_t& row, std::string& reason) {
  if (!text.empty() && text.back() == 's') {
    const std::string number = text.substr(0, text.size() - 1);
    char* end = nullptr;
    errno = 0;
    const double seconds = std::strtod(number.c_str(), &end);
    if (number.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(seconds)) {
      reason = "bad time '" + text + "'";
      return false;
    }
    const double rows = seconds * kRowsPerSecond;
    const double whole = std::round(rows);
    if (std::fabs(rows - whole) > kWholeRowTolerance) {
      reason = "time '" + text + "' is not on a whole row (16 rows per second)";
      return false;
    }
    if (whole < INT32_MIN || whole > INT32_MAX) {
      reason = "time '" + text + "' is out of range";
      return false;
    }
    row = static_cast<int32_t>(whole);
    return true;
  }
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0') {
    reason = "bad row '" + text + "'";
    return false;
  }
  if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
    reason = "row '" + text + "' is out of range";
    return false;
  }
  row = static_cast<int32_t>(value);
  return true;
}

const char* syncKindName(int kind) {
  switch (kind) {
    case kSyncStep:
      return "step";
    case kSyncLinear:
      return "linear";
    case kSyncSmooth:
      return "smooth";
    case kSyncRamp:
      return "ramp";
    default:
      return nullptr;
  }
}

SyncTextResult parseSyncText(const std::string& text) {
  SyncTextResult result;
  std::istringstream stream(withoutByteOrderMark(text));
  std::string line;
  int lineNumber = 0;
  while (std::getline(stream, line)) {
    ++lineNumber;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    const std::vector<std::string> tokens = tokenize(line);
    if (tokens.empty()) continue;

    if (tokens[0] == "track") {
      if (tokens.size() != 2) {
        return refuseAt(result, lineNumber, "expected 'track NAME'");
      }
      const std::string& name = tokens[1];
      if (name.find_first_of("/\\") != std::string::npos) {
        return refuseAt(result, lineNumber, "track name '" + name + "' contains a path separator");
      }
      for (const TextTrack& track : result.tracks) {
        if (track.name == name) {
          return refuseAt(result, lineNumber, "track '" + name + "' appears twice");
        }
      }
      result.tracks.push_back(TextTrack{name, {}});
      continue;
    }

    if (result.tracks.empty()) {
      return refuseAt(result, lineNumber, "key before the first 'track NAME' line");
    }
    if (tokens.size() != 3) {
      return refuseAt(result, lineNumber, "expected 'ROW VALUE KIND'");
    }
    SyncKey key;
    std::string reason;
    if (!parseSyncRow(tokens[0], key.row, reason)) {
      return refuseAt(result, lineNumber, reason);
    }
    if (!parseValue(tokens[1], key.value)) {
      return refuseAt(result, lineNumber, "bad value '" + tokens[1] + "'");
    }
    if (!parseKind(tokens[2], key.kind)) {
      return refuseAt(result, lineNumber, "bad kind '" + tokens[2] +
                                               "' (step, linear, smooth, ramp or 0 to 3)");
    }
    std::vector<SyncKey>& keys = result.tracks.back().keys;
    if (!keys.empty() && key.row <= keys.back().row) {
      return refuseAt(result, lineNumber, "row " + std::to_string(key.row) +
                                               " does not come after row " +
                                               std::to_string(keys.back().row));
    }
    keys.push_back(key);
  }
  return result;
}

std::string printSyncTrack(const std::string& name, const std::vector<SyncKey>& keys) {
  std::string text = "track " + name + "\n";
  char line[96];
  for (const SyncKey& key : keys) {
    const char* kindName = syncKindName(key.kind);
    if (kindName) {
      std::snprintf(line, sizeof line, "%d %.9g %s\n", key.row, key.value, kindName);
    } else {
      std::snprintf(line, sizeof line, "%d %.9g %d\n", key.row, key.value, key.kind);
    }
    text += line;
  }
  return text;
}
