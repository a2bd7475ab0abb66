// Single-precision vector and matrix types shared by the camera and the
// drawables, and the system's own routines on them. Matrices are column-major:
// element [c][r] (column c, row r) is stored at float 4c + r (3c + r for mat3)
// and handed to GL untransposed.
#pragma once

struct vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct vec4 {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
};

struct mat3 {
  float m[9] = {};
  float& at(int column, int row) { return m[3 * column + row]; }
  float at(int column, int row) const { return m[3 * column + row]; }
};

struct mat4 {
  float m[16] = {};
  float& at(int column, int row) { return m[4 * column + row]; }
  float at(int column, int row) const { return m[4 * column + row]; }
};
