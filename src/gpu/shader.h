// Shader: one linked GLSL program loaded from a single-file source (vertex
// part, "//FRAGMENT", fragment part). The text rules live in
// gpu/shader_source.h; this class reads the file, logs, compiles and links.
// Uniforms are not set here: drawing code uses gpu/uniforms.h.
#pragma once

#include <string>

#include "gpu/gl_handle.h"
#include "resources/data_object.h"
#include "resources/source_problem.h"

class Shader : public DataObject {
 public:
  static constexpr GLint kLinkFailed = -1;

  // Reads, preprocesses, compiles and links; true when the program linked.
  // An include library ("#NOCOMPILE") returns false without compiling.
  bool load(std::string path) override;
  // Makes program current; returns true.
  bool bind() override;

  // Include handler for one source line: true when the line was an include
  // and its file's lines were appended to stageText (the caller drops the
  // line), false when the caller is to add the line itself.
  bool injectInclude(const std::string& line, const std::string& shaderPath,
                     std::string& stageText, std::string& includeList);
  GLuint compileStage(const std::string& source, GLenum stageType);
  // The linked program, or kLinkFailed after printing the info log (the
  // failed program object is deleted). infoLog, when given, receives the log.
  GLint linkProgram(GLuint vertexShader, GLuint fragmentShader, const std::string& shaderPath,
                    std::string* infoLog = nullptr);

  ShaderHandle vertexShader;
  ShaderHandle fragmentShader;
  ProgramHandle program;
  // The preprocessed stage texts the program was linked from, for variants
  // of it that the frame code builds; empty when it did not link.
  std::string vertexText;
  std::string fragmentText;
  // Why the last load failed, at the file and line the author wrote (no
  // line when there is none); empty after a successful load and for an
  // include library.
  SourceProblem failure;
};
