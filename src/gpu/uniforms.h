// Uniforms and vertex attributes set by name on the program that is current.
// A name the program lacks is skipped silently; every drawing class uses these
// helpers instead of repeating the lookup.
#pragma once

#include <cstddef>

#include "gpu/gl.h"

GLuint currentProgram();

// Each returns true when the current program has the uniform and it was set.
bool setUniform1i(const char* name, int value);
bool setUniform1f(const char* name, float value);
bool setUniform2f(const char* name, float x, float y);
bool setUniform3f(const char* name, float x, float y, float z);
bool setUniform4f(const char* name, float x, float y, float z, float w);
bool setUniform1fv(const char* name, int count, const float* values);
bool setUniformMatrix3(const char* name, const float* columnMajor9);
bool setUniformMatrix4(const char* name, const float* columnMajor16);

// Sets "resolution" and "ratio" from the screen metrics, when present.
void setScreenUniforms();

// Enables the named attribute (when the current program has it) and points it
// at the bound GL_ARRAY_BUFFER: float components, not normalised, stride 0.
// Returns its location, or -1 when absent.
GLint enableAttribute(const char* name, int components, size_t byteOffset);
void disableAttribute(GLint location);
