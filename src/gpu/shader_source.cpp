#include "gpu/shader_source.h"

#include <cstdio>
#include <fstream>

#include "resources/file_utils.h"

namespace {
const char* const kFragmentMarker = "//FRAGMENT";
const char* const kNoCompileMarker = "#NOCOMPILE";
const char* const kVaryingKeyword = "varying";
const char* const kIncludeKeyword = "#include";
const char* const kIncludeSwitchedOff = "//#include";

bool contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::string format(const char* pattern, int count, const std::string& path) {
  const int length = std::snprintf(nullptr, 0, pattern, count, path.c_str());
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(&text[0], text.size(), pattern, count, path.c_str());
  text.resize(static_cast<size_t>(length));
  return text;
}
}  // namespace

std::vector<std::string> splitSourceLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    const bool terminated = end != std::string::npos;
    if (!terminated) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (terminated && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    begin = end + 1;
  }
  return lines;
}

std::optional<std::vector<std::string>> readSourceLines(const std::string& programPath) {
  std::ifstream file(osPath(programPath), std::ios::binary);
  if (!file) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return std::nullopt;
  return splitSourceLines(withoutByteOrderMark(text));
}

bool isIncludeLine(const std::string& line) {
  return contains(line, kIncludeKeyword) && !contains(line, kIncludeSwitchedOff);
}

std::string includeFileName(const std::string& line) {
  std::vector<std::string> words = splitString(line, ' ');
  // Blanks after the name leave empty words behind; they are not the name.
  while (!words.empty() && words.back().empty()) words.pop_back();
  if (words.empty()) return "";
  const std::vector<std::string> quoted = splitString(words.back(), '"');
  return quoted.size() >= 2 ? quoted[1] : "";
}

namespace {
// Appends to a stage text and to the origins of its lines; both belong to
// the caller, so this is passed by value.
struct StageBuilder {
  std::string& text;
  std::vector<SourceLine>& origins;
  void add(const std::string& line, const std::string& path, int lineNumber) {
    text += line + "\n";
    origins.push_back({path, lineNumber});
  }
};

// injectIncludeLine with origins: lines go to the stage with their place in
// the include file, and an include that cannot be opened is recorded.
std::optional<std::string> injectInclude(const std::string& line, const SourceLine& at,
                                         const IncludeReader& readInclude, StageBuilder stage,
                                         std::string& includeList,
                                         std::vector<UnreadableInclude>& unreadable) {
  if (!isIncludeLine(line)) return std::nullopt;
  const std::string fileName = includeFileName(line);
  // Without a quoted name there is nothing to inject; the line is dropped so
  // the compiler never sees a directive it does not know.
  if (fileName.empty()) return "include line names no file: " + line + "\n";

  const std::string includePath = directoryOf(at.path) + fileName;
  includeList += includePath + "\n";
  int count = 0;
  if (const auto lines = readInclude(includePath)) {
    for (size_t i = 0; i < lines->size(); ++i) {
      const std::string& included = (*lines)[i];
      if (included == kNoCompileMarker) continue;
      stage.add(included, includePath, static_cast<int>(i) + 1);
      ++count;
    }
  } else {
    unreadable.push_back({includePath, at});
  }
  return format("injected %d lines from %s\n", count, includePath);
}
}  // namespace

std::optional<std::string> injectIncludeLine(const std::string& line, const std::string& shaderPath,
                                             const IncludeReader& readInclude,
                                             std::string& stageText, std::string& includeList) {
  std::vector<SourceLine> origins;
  std::vector<UnreadableInclude> unreadable;
  return injectInclude(line, {shaderPath, 0}, readInclude, {stageText, origins}, includeList,
                       unreadable);
}

PreprocessedShader preprocessShader(const std::vector<std::string>& lines,
                                    const std::string& shaderPath,
                                    const IncludeReader& readInclude) {
  PreprocessedShader result;
  StageBuilder vertex{result.vertexText, result.vertexOrigins};
  StageBuilder fragment{result.fragmentText, result.fragmentOrigins};
  bool inVertexPart = true;
  auto addLine = [&](const std::string& line, int lineNumber, StageBuilder& stage) {
    if (auto logLine = injectInclude(line, {shaderPath, lineNumber}, readInclude, stage,
                                     result.includeList, result.unreadableIncludes)) {
      result.logLines.push_back(std::move(*logLine));
    } else {
      stage.add(line, shaderPath, lineNumber);
    }
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const int lineNumber = static_cast<int>(i) + 1;
    if (!inVertexPart) {
      addLine(line, lineNumber, fragment);
      continue;
    }
    if (line == kNoCompileMarker) {
      result.notCompiled = true;
      return result;
    }
    if (line == kFragmentMarker) inVertexPart = false;
    if (contains(line, kVaryingKeyword)) fragment.add(line, shaderPath, lineNumber);
    addLine(line, lineNumber, vertex);
  }
  return result;
}
