#include "base/vector_math.h"

#include <cmath>

vec3 operator+(const vec3& a, const vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

vec3 operator-(const vec3& a, const vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

vec3 operator*(const vec3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }

vec3& operator+=(vec3& a, const vec3& b) {
  a = a + b;
  return a;
}

float dot(const vec3& a, const vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

vec3 cross(const vec3& a, const vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

vec3 normalize(const vec3& v) {
  const float length = static_cast<float>(std::sqrt(static_cast<double>(dot(v, v))));
  return v * (1.0f / length);
}

vec3 normalizeOrZero(const vec3& v) {
  const float length = static_cast<float>(std::sqrt(static_cast<double>(dot(v, v))));
  if (!(length > 0.0f)) return {0.0f, 0.0f, 0.0f};
  return {v.x / length, v.y / length, v.z / length};
}

mat3 identityMat3() {
  mat3 result;
  for (int i = 0; i < 3; ++i) result.at(i, i) = 1.0f;
  return result;
}

mat4 identityMat4() { return diagonalMat4(1.0f); }

mat4 diagonalMat4(float s) {
  mat4 result;
  for (int i = 0; i < 4; ++i) result.at(i, i) = s;
  return result;
}

mat4 zeroMat4() { return mat4{}; }

mat4 mat4FromColumns(const vec4& c0, const vec4& c1, const vec4& c2, const vec4& c3) {
  mat4 result;
  const vec4* columns[4] = {&c0, &c1, &c2, &c3};
  for (int c = 0; c < 4; ++c) {
    result.at(c, 0) = columns[c]->x;
    result.at(c, 1) = columns[c]->y;
    result.at(c, 2) = columns[c]->z;
    result.at(c, 3) = columns[c]->w;
  }
  return result;
}

mat4 multiply(const mat4& a, const mat4& b) {
  mat4 result;
  for (int c = 0; c < 4; ++c) {
    for (int r = 0; r < 4; ++r) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.at(k, r) * b.at(c, k);
      result.at(c, r) = sum;
    }
  }
  return result;
}

mat4 operator*(const mat4& a, const mat4& b) { return multiply(a, b); }

mat4 transpose(const mat4& m) {
  mat4 result;
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) result.at(c, r) = m.at(r, c);
  return result;
}

namespace {
// Cofactor of the element in column `column`, row `row`: the signed
// determinant of the 3 x 3 block left when that column and row are removed.
float cofactor(const mat4& m, int column, int row) {
  int cols[3];
  int rows[3];
  for (int i = 0, n = 0; i < 4; ++i)
    if (i != column) cols[n++] = i;
  for (int i = 0, n = 0; i < 4; ++i)
    if (i != row) rows[n++] = i;
  auto e = [&](int c, int r) { return m.at(cols[c], rows[r]); };
  const float minor = e(0, 0) * (e(1, 1) * e(2, 2) - e(2, 1) * e(1, 2)) -
                      e(1, 0) * (e(0, 1) * e(2, 2) - e(2, 1) * e(0, 2)) +
                      e(2, 0) * (e(0, 1) * e(1, 2) - e(1, 1) * e(0, 2));
  return ((column + row) % 2 == 0) ? minor : -minor;
}
}  // namespace

mat4 inverse(const mat4& m) {
  // The adjugate is the transposed matrix of cofactors.
  mat4 adjugate;
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) adjugate.at(c, r) = cofactor(m, r, c);

  float determinant = 0.0f;
  for (int i = 0; i < 4; ++i) determinant += m.at(0, i) * adjugate.at(i, 0);

  mat4 result;
  for (int i = 0; i < 16; ++i) result.m[i] = adjugate.m[i] / determinant;
  return result;
}

mat3 mat3FromMat4(const mat4& m) {
  mat3 result;
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 3; ++r) result.at(c, r) = m.at(c, r);
  return result;
}

mat4 lookAtMatrix(const vec3& eye, const vec3& center, const vec3& up) {
  const vec3 f = normalize(center - eye);
  const vec3 s = normalize(cross(f, up));
  const vec3 u = cross(s, f);
  mat4 result = identityMat4();
  result.at(0, 0) = s.x;
  result.at(1, 0) = s.y;
  result.at(2, 0) = s.z;
  result.at(0, 1) = u.x;
  result.at(1, 1) = u.y;
  result.at(2, 1) = u.z;
  result.at(0, 2) = -f.x;
  result.at(1, 2) = -f.y;
  result.at(2, 2) = -f.z;
  result.at(3, 0) = -dot(s, eye);
  result.at(3, 1) = -dot(u, eye);
  result.at(3, 2) = dot(f, eye);
  return result;
}
