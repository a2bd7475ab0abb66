// Reading GLSL compiler and linker info logs, without GL: splits a driver's
// log into diagnostics with their stage-text line, and names the author's
// file and line for the first error through the preprocessor's line origins
// (gpu/shader_source.h). Getting the logs from GL belongs to Shader.
#pragma once

#include <string>
#include <vector>

#include "gpu/shader_source.h"
#include "resources/source_problem.h"

struct ShaderDiagnostic {
  // 1-based line of the stage text; 0 when the log line names none.
  int stageLine = 0;
  // The text after the location and the severity ("error:", "error C1008:").
  std::string message;
  // The log line called itself an error (rather than a warning or nothing).
  bool error = false;
};

// One diagnostic per non-blank log line. Understood: Mesa
// "0:12(5): error: text", NVIDIA "0(12) : error C1008: text", AMD and
// Intel on Windows "ERROR: 0:12: text", and "error: text" without a place;
// any other line is kept whole as a message without a line.
std::vector<ShaderDiagnostic> parseShaderInfoLog(const std::string& infoLog);

// The log's first error (its first line when none says error) at the file
// and line taken from origins (entry i is stage line i + 1); at shaderPath
// without a line when the line is missing or outside the stage, and "the
// program did not link" for a blank log.
SourceProblem describeShaderFailure(const std::string& infoLog, const std::vector<SourceLine>& origins,
                                    const std::string& shaderPath);
