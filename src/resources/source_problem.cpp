#include "resources/source_problem.h"

#include "resources/file_utils.h"

namespace {
std::string placed(const std::string& file, int line, const std::string& message) {
  std::string text = file;
  if (line > 0) text += ":" + std::to_string(line);
  return text + ": " + message;
}
}  // namespace

std::string SourceProblem::text() const { return placed(file, line, message); }

std::string SourceProblem::osText() const { return placed(osPath(file), line, message); }
