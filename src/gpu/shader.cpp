#include "gpu/shader.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "base/log.h"
#include "gpu/shader_diagnostics.h"
#include "gpu/shader_source.h"
#include "resources/file_utils.h"

namespace {
constexpr GLsizei kInfoLogCapacity = 2048;

// Every line of the info log indented by one tab.
std::string indentInfoLog(const char* infoLog) {
  std::string text;
  for (const char* c = infoLog; *c != '\0'; ++c) {
    if (*c == '\n') {
      text += "\n\t";
    } else {
      text += *c;
    }
  }
  return text;
}

bool stageCompiled(GLuint stage) {
  GLint compiled = 0;
  glGetShaderiv(stage, GL_COMPILE_STATUS, &compiled);
  return compiled != 0;
}

std::string stageInfoLog(GLuint stage) {
  char infoLog[kInfoLogCapacity] = {};
  GLsizei length = 0;
  glGetShaderInfoLog(stage, kInfoLogCapacity, &length, infoLog);
  infoLog[kInfoLogCapacity - 1] = '\0';
  return infoLog;
}

// Some drivers' link logs only say that a stage did not compile; the stage's
// own log says why, so it follows the link report.
void reportCompileFailure(GLuint stage, const char* stageName, const std::string& shaderPath) {
  if (stageCompiled(stage)) return;
  const std::string infoLog = stageInfoLog(stage);
  Log("Compile log of the %s stage of %s:\n\t", stageName, shaderPath.c_str());
  Log("%s", indentInfoLog(infoLog.c_str()).c_str());
  std::printf("\n");
  std::fflush(stdout);
}

// The first reason a program did not link, in the author's terms. A missing
// include comes before the compile errors it causes.
SourceProblem describeLoadFailure(const std::string& shaderPath, bool fileRead,
                                  const PreprocessedShader& source, GLuint vertex, GLuint fragment,
                                  const std::string& linkLog) {
  if (!fileRead) return {shaderPath, 0, "cannot be read: " + readFailureReason(osPath(shaderPath))};
  if (!source.unreadableIncludes.empty()) {
    const UnreadableInclude& include = source.unreadableIncludes.front();
    return {include.includeLine.path, include.includeLine.line,
            "include " + include.includePath + " cannot be read"};
  }
  if (!stageCompiled(fragment)) {
    return describeShaderFailure(stageInfoLog(fragment), source.fragmentOrigins, shaderPath);
  }
  if (!stageCompiled(vertex)) {
    return describeShaderFailure(stageInfoLog(vertex), source.vertexOrigins, shaderPath);
  }
  return describeShaderFailure(linkLog, {}, shaderPath);
}
}  // namespace

bool Shader::load(std::string shaderPath) {
  Log("loading shader: %s\n", shaderPath.c_str());
  path = shaderPath;
  name = fileNameOf(shaderPath);
  fileTime = fileModificationTime(shaderPath);
  failure = SourceProblem{};
  vertexText.clear();
  fragmentText.clear();

  // An unreadable file is preprocessed as an empty one, so it still fails
  // through compiling and linking with their usual logs.
  const std::optional<std::vector<std::string>> lines = readSourceLines(shaderPath);
  const PreprocessedShader source =
      preprocessShader(lines.value_or(std::vector<std::string>{}), shaderPath, readSourceLines);
  for (const std::string& line : source.logLines) Log("%s", line.c_str());
  if (source.notCompiled) return false;

  includeFiles.clear();
  includeTimes.clear();
  Log("include: %s\n", source.includeList.c_str());
  for (const std::string& includePath : splitString(source.includeList, '\n')) {
    includeFiles.push_back(includePath);
    includeTimes.push_back(fileModificationTime(includePath));
  }

  fragmentShader.reset(compileStage(source.fragmentText, GL_FRAGMENT_SHADER));
  vertexShader.reset(compileStage(source.vertexText, GL_VERTEX_SHADER));
  std::string linkLog;
  const GLint linked = linkProgram(vertexShader, fragmentShader, shaderPath, &linkLog);
  if (linked == kLinkFailed) {
    reportCompileFailure(fragmentShader, "fragment", shaderPath);
    reportCompileFailure(vertexShader, "vertex", shaderPath);
    failure = describeLoadFailure(shaderPath, lines.has_value(), source, vertexShader,
                                  fragmentShader, linkLog);
    // Nothing will use the stages of a program that did not link.
    fragmentShader.reset();
    vertexShader.reset();
    return false;
  }
  program.reset(static_cast<GLuint>(linked));
  vertexText = source.vertexText;
  fragmentText = source.fragmentText;
  return true;
}

bool Shader::bind() {
  glUseProgram(program);
  return true;
}

bool Shader::injectInclude(const std::string& line, const std::string& shaderPath,
                           std::string& stageText, std::string& includeList) {
  const auto logLine = injectIncludeLine(line, shaderPath, readSourceLines, stageText, includeList);
  if (!logLine) return false;
  Log("%s", logLine->c_str());
  return true;
}

GLuint Shader::compileStage(const std::string& source, GLenum stageType) {
  const GLuint stage = glCreateShader(stageType);
  const char* text = source.c_str();
  glShaderSource(stage, 1, &text, nullptr);
  glCompileShader(stage);
  return stage;
}

GLint Shader::linkProgram(GLuint vertex, GLuint fragment, const std::string& shaderPath,
                          std::string* infoLogOut) {
  const GLuint linked = glCreateProgram();
  glAttachShader(linked, vertex);
  glAttachShader(linked, fragment);
  glLinkProgram(linked);

  char infoLog[kInfoLogCapacity] = {};
  if (glIsProgram(linked)) {
    GLsizei length = 0;
    glGetProgramInfoLog(linked, kInfoLogCapacity, &length, infoLog);
    infoLog[kInfoLogCapacity - 1] = '\0';
  }
  if (infoLogOut) *infoLogOut = infoLog;

  GLint status = 0;
  glGetProgramiv(linked, GL_LINK_STATUS, &status);
  if (status != 0) {
    std::printf("\tLoaded&Linked: %s\n", shaderPath.c_str());
    std::fflush(stdout);
    return static_cast<GLint>(linked);
  }

  Log("Debug Info for: %s: %d\n\t", shaderPath.c_str(), static_cast<int>(std::string(infoLog).size()));
  Log("%s", indentInfoLog(infoLog).c_str());
  std::printf("\n");
  std::fflush(stdout);
  glDeleteProgram(linked);
  return kLinkFailed;
}
