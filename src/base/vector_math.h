// Single-precision vector and matrix types shared by the meshes, the camera
// and the drawables, and the system's own routines on them. Matrices are column-major:
// element [c][r] (column c, row r) is stored at float 4c + r (3c + r for mat3)
// and handed to GL untransposed. No GL here; the camera's use of these lives
// in camera_matrices.h.
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

// Vector arithmetic, component by component in single precision.
vec3 operator+(const vec3& a, const vec3& b);
vec3 operator-(const vec3& a, const vec3& b);
vec3 operator*(const vec3& v, float s);
vec3& operator+=(vec3& a, const vec3& b);
float dot(const vec3& a, const vec3& b);
vec3 cross(const vec3& a, const vec3& b);
// v * (1 / sqrt(v . v)); the square root is taken in double precision and
// rounded to single. A zero vector gives non-finite components (the camera's
// maths relies on exactly this arithmetic).
vec3 normalize(const vec3& v);
// v / sqrt(v . v), component by component; a zero-length (or non-number)
// vector gives (0, 0, 0), so degenerate triangles get a zero normal.
vec3 normalizeOrZero(const vec3& v);

mat3 identityMat3();
mat4 identityMat4();
mat4 diagonalMat4(float s);
mat4 zeroMat4();
mat4 mat4FromColumns(const vec4& c0, const vec4& c1, const vec4& c2, const vec4& c3);

// (a x b)[c][r] = sum over k of a[k][r] * b[c][k], summed in k order.
mat4 multiply(const mat4& a, const mat4& b);
mat4 operator*(const mat4& a, const mat4& b);
mat4 transpose(const mat4& m);
// Adjugate divided by the determinant, which is the first column of m dotted
// with the first row of the adjugate. A singular matrix is not detected: the
// result is then non-finite.
mat4 inverse(const mat4& m);
// The upper-left 3 x 3 block.
mat3 mat3FromMat4(const mat4& m);

// Right-handed view matrix: eye at the origin looking down -z with up along +y.
mat4 lookAtMatrix(const vec3& eye, const vec3& center, const vec3& up);
