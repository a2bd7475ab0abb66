#include "gpu/uniforms.h"

#include "base/screen.h"

GLuint currentProgram() {
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  return static_cast<GLuint>(program);
}

namespace {
GLint uniformLocation(const char* name) {
  const GLuint program = currentProgram();
  if (program == 0) return -1;
  return glGetUniformLocation(program, name);
}
}  // namespace

bool setUniform1i(const char* name, int value) {
  const GLint location = uniformLocation(name);
  if (location == -1) return false;
  glUniform1i(location, value);
  return true;
}

bool setUniform1f(const char* name, float value) {
  const GLint location = uniformLocation(name);
  if (location == -1) return false;
  glUniform1f(location, value);
  return true;
}

bool setUniform2f(const char* name, float x, float y) {
  const GLint location = uniformLocation(name);
  if (location == -1) return false;
  glUniform2f(location, x, y);
  return true;
}

bool setUniform3f(const char* name, float x, float y, float z) {
  const GLint location = uniformLocation(name);
  if (location == -1) return false;
  glUniform3f(location, x, y, z);
  return true;
}

bool setUniform4f(const char* name, float x, float y, float z, float w) {
  const GLint location = uniformLocation(name);
  if (location == -1) return false;
  glUniform4f(location, x, y, z, w);
  return true;
}

bool setUniform1fv(const char* name, int count, const float* values) {
  const GLint location = uniformLocation(name);
  if (location == -1) return false;
  glUniform1fv(location, count, values);
  return true;
}

bool setUniformMatrix3(const char* name, const float* columnMajor9) {
  const GLint location = uniformLocation(name);
  if (location == -1) return false;
  glUniformMatrix3fv(location, 1, GL_FALSE, columnMajor9);
  return true;
}

bool setUniformMatrix4(const char* name, const float* columnMajor16) {
  const GLint location = uniformLocation(name);
  if (location == -1) return false;
  glUniformMatrix4fv(location, 1, GL_FALSE, columnMajor16);
  return true;
}

void setScreenUniforms() {
  setUniform2f("resolution", screenWidth, screenHeight);
  setUniform1f("ratio", screenAspect);
}

GLint enableAttribute(const char* name, int components, size_t byteOffset) {
  const GLuint program = currentProgram();
  if (program == 0) return -1;
  const GLint location = glGetAttribLocation(program, name);
  if (location == -1) return -1;
  glEnableVertexAttribArray(static_cast<GLuint>(location));
  glVertexAttribPointer(static_cast<GLuint>(location), components, GL_FLOAT, GL_FALSE, 0,
                        reinterpret_cast<const void*>(byteOffset));
  return location;
}

void disableAttribute(GLint location) {
  if (location != -1) glDisableVertexAttribArray(static_cast<GLuint>(location));
}
