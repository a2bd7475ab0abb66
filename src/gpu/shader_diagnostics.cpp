#include "gpu/shader_diagnostics.h"

#include <cctype>
#include <optional>

#include "resources/file_utils.h"

namespace {
enum class Severity { kNone, kError, kWarning };

constexpr long long kLargestLine = 1000000000;

std::string trim(const std::string& text) {
  const char* const blanks = " \t\r\n";
  const size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(blanks) + 1 - begin);
}

bool startsWithWord(const std::string& text, const std::string& word) {
  return text.compare(0, word.size(), word) == 0 && (text.size() == word.size() || text[word.size()] == ' ');
}

// "error", "ERROR", "error C1008", "preprocessor error", "warning", ...
Severity severityOf(std::string head) {
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* qualifier : {"preprocessor ", "fatal "}) {
    if (head.rfind(qualifier, 0) == 0) head.erase(0, std::string(qualifier).size());
  }
  if (startsWithWord(head, "error")) return Severity::kError;
  if (startsWithWord(head, "warning")) return Severity::kWarning;
  return Severity::kNone;
}

// Reads the text one expected piece at a time; any mismatch fails the match.
struct Cursor {
  const std::string& text;
  size_t at = 0;
  bool ok = true;

  // Digits; a value too large to be a line reads as 0 (no line).
  Cursor& number(int* value = nullptr) {
    const size_t begin = at;
    long long parsed = 0;
    while (ok && at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
      if (parsed <= kLargestLine) parsed = parsed * 10 + (text[at] - '0');
      ++at;
    }
    if (at == begin) ok = false;
    if (ok && value) *value = parsed <= kLargestLine ? static_cast<int>(parsed) : 0;
    return *this;
  }
  Cursor& symbol(char expected) {
    if (ok && at < text.size() && text[at] == expected) {
      ++at;
    } else {
      ok = false;
    }
    return *this;
  }
  Cursor& blanks() {
    while (ok && at < text.size() && text[at] == ' ') ++at;
    return *this;
  }
  std::string rest() const { return trim(text.substr(at)); }
};

// The part after a location: "error: text" or "error C1008: text".
ShaderDiagnostic withSeverity(int stageLine, const std::string& rest) {
  const size_t colon = rest.find(':');
  if (colon != std::string::npos) {
    const Severity severity = severityOf(rest.substr(0, colon));
    if (severity != Severity::kNone) {
      return {stageLine, trim(rest.substr(colon + 1)), severity == Severity::kError};
    }
  }
  return {stageLine, rest, false};
}

std::optional<ShaderDiagnostic> parseLogLine(const std::string& rawLine) {
  const std::string line = trim(rawLine);
  if (line.empty()) return std::nullopt;
  int stageLine = 0;

  Cursor mesa{line};
  mesa.number().symbol(':').number(&stageLine).symbol('(').number().symbol(')').symbol(':');
  if (mesa.ok) return withSeverity(stageLine, mesa.rest());

  Cursor nvidia{line};
  nvidia.number().symbol('(').number(&stageLine).symbol(')').blanks().symbol(':');
  if (nvidia.ok) return withSeverity(stageLine, nvidia.rest());

  const size_t colon = line.find(':');
  const Severity severity = colon == std::string::npos ? Severity::kNone : severityOf(line.substr(0, colon));
  if (severity == Severity::kNone) return ShaderDiagnostic{0, line, false};
  const std::string rest = trim(line.substr(colon + 1));
  Cursor place{rest};
  place.number().symbol(':').number(&stageLine).symbol(':');
  if (!place.ok) stageLine = 0;
  return ShaderDiagnostic{stageLine, place.ok ? place.rest() : rest, severity == Severity::kError};
}
}  // namespace

std::vector<ShaderDiagnostic> parseShaderInfoLog(const std::string& infoLog) {
  std::vector<ShaderDiagnostic> diagnostics;
  for (const std::string& line : splitString(infoLog, '\n')) {
    if (auto diagnostic = parseLogLine(line)) diagnostics.push_back(std::move(*diagnostic));
  }
  return diagnostics;
}

SourceProblem describeShaderFailure(const std::string& infoLog, const std::vector<SourceLine>& origins,
                                    const std::string& shaderPath) {
  const std::vector<ShaderDiagnostic> diagnostics = parseShaderInfoLog(infoLog);
  if (diagnostics.empty()) return {shaderPath, 0, "the program did not link"};
  const ShaderDiagnostic* first = &diagnostics.front();
  for (const ShaderDiagnostic& diagnostic : diagnostics) {
    if (diagnostic.error) {
      first = &diagnostic;
      break;
    }
  }
  const size_t line = static_cast<size_t>(first->stageLine);
  if (line >= 1 && line <= origins.size()) {
    const SourceLine& origin = origins[line - 1];
    return {origin.path, origin.line, first->message};
  }
  return {shaderPath, 0, first->message};
}
