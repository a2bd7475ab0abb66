// The shader file format's own preprocessor, without GL: splits one source
// file into the vertex and fragment stage texts, copies the vertex part's
// "varying" lines to the fragment stage, injects one level of "#include"
// files and recognises the "#NOCOMPILE" library marker. It also records
// where every stage line was written, so compiler errors can name the
// author's file and line (gpu/shader_diagnostics.h). File access goes
// through a reader callback so the rules can be tested without files.
// Compiling and linking belong to Shader (gpu/shader.h).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Reads an include file (program path) and returns its lines, or nothing when
// it cannot be opened.
using IncludeReader = std::function<std::optional<std::vector<std::string>>(const std::string&)>;

// Where a line of a stage text was written: a program path and its 1-based
// line in that file.
struct SourceLine {
  std::string path;
  int line = 0;
};

// An include line whose file could not be opened: the include's program path
// and where the include line itself is.
struct UnreadableInclude {
  std::string includePath;
  SourceLine includeLine;
};

struct PreprocessedShader {
  // The file is an include library ("#NOCOMPILE" in its vertex part): the
  // other fields are then incomplete and nothing is to be compiled.
  bool notCompiled = false;
  std::string vertexText;
  std::string fragmentText;
  // Entry i is the origin of line i + 1 of the stage text: copied varying
  // lines point into the vertex part, injected lines into the include file.
  std::vector<SourceLine> vertexOrigins;
  std::vector<SourceLine> fragmentOrigins;
  // Include paths, each followed by a line feed, in processing order.
  std::string includeList;
  // One "injected %d lines from %s\n" line per processed include, in order,
  // and a line for each include line that names no file.
  std::vector<std::string> logLines;
  // Include lines whose file could not be opened (they inject nothing), in
  // processing order.
  std::vector<UnreadableInclude> unreadableIncludes;
};

// Lines of a text read in text mode: split at line feeds, a carriage return
// before a line feed dropped, a last line without a line feed kept.
std::vector<std::string> splitSourceLines(const std::string& text);

// Reads a file (program path) as lines; nothing when it cannot be opened.
std::optional<std::vector<std::string>> readSourceLines(const std::string& programPath);

// True for a line that is an active include ("#include" present, and not
// switched off as "//#include").
bool isIncludeLine(const std::string& line);

// The file named by an include line: the text between the first and second
// double quote of the line's last non-empty blank-separated word (trailing
// blanks are ignored); empty when there is none.
std::string includeFileName(const std::string& line);

// Handles one line as an include: returns false when it is not an include
// line. Otherwise appends the included lines (without "#NOCOMPILE" lines) to
// stageText, the include path and a line feed to includeList, and returns
// the log line to print.
std::optional<std::string> injectIncludeLine(const std::string& line, const std::string& shaderPath,
                                             const IncludeReader& readInclude,
                                             std::string& stageText, std::string& includeList);

// Runs the whole preprocessor over the lines of the shader at shaderPath.
PreprocessedShader preprocessShader(const std::vector<std::string>& lines,
                                    const std::string& shaderPath,
                                    const IncludeReader& readInclude);
