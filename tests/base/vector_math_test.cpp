#include <gtest/gtest.h>

#include <cmath>

#include "base/vector_math.h"

namespace {
mat4 general() {
  // A matrix without zeros or symmetry, so misplaced indices show.
  return mat4FromColumns({2, 1, 0.5f, 3}, {-1, 4, 2, 0.25f}, {0.5f, -2, 5, 1}, {3, 1, -1, 2});
}

void expectNear(const mat4& a, const mat4& b, float tolerance) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "element " << i;
}
}  // namespace

TEST(VectorMath, ConstructorsLayOutColumnMajor) {
  const float i3[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(identityMat3().m[i], i3[i]);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(diagonalMat4(2.5f).m[i], i % 5 == 0 ? 2.5f : 0.0f);
  for (float v : zeroMat4().m) EXPECT_EQ(v, 0.0f);
  EXPECT_EQ(identityMat4().m[15], 1.0f);

  const mat4 m = mat4FromColumns({1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16});
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.m[i], float(i + 1));
  EXPECT_EQ(m.at(3, 0), 13.0f);  // column 3, row 0: the x translation slot

  const mat3 upper = mat3FromMat4(m);
  const float expected[9] = {1, 2, 3, 5, 6, 7, 9, 10, 11};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(upper.m[i], expected[i]);
}

TEST(VectorMath, ProductAndTranspose) {
  mat4 translate = identityMat4();
  translate.at(3, 0) = 10.0f;
  mat4 scale = diagonalMat4(2.0f);
  scale.at(3, 3) = 1.0f;
  // Translation after scaling keeps the offset; the other order doubles it.
  EXPECT_EQ((translate * scale).at(3, 0), 10.0f);
  EXPECT_EQ((scale * translate).at(3, 0), 20.0f);

  // [2][1] of a x transpose(a) is row 1 of a dotted with row 2 of a.
  const mat4 a = general();
  EXPECT_EQ(multiply(a, transpose(a)).at(2, 1), 1 * 0.5f + 4 * 2 + -2 * 5 + 1 * -1);
  EXPECT_EQ(multiply(a, transpose(a)).at(1, 2), -2.5f);
  EXPECT_EQ(transpose(a).at(0, 3), a.at(3, 0));
  EXPECT_EQ(transpose(a).at(3, 0), a.at(0, 3));
}

TEST(VectorMath, InverseByAdjugate) {
  const mat4 m = general();
  expectNear(inverse(m) * m, identityMat4(), 1e-5f);
  expectNear(m * inverse(m), identityMat4(), 1e-5f);
  expectNear(inverse(diagonalMat4(4.0f)), diagonalMat4(0.25f), 0.0f);

  mat4 translate = identityMat4();
  translate.at(3, 0) = 3.0f;
  translate.at(3, 2) = -7.0f;
  const mat4 back = inverse(translate);
  EXPECT_EQ(back.at(3, 0), -3.0f);
  EXPECT_EQ(back.at(3, 2), 7.0f);

  // A singular matrix is not caught; the result is simply not finite.
  EXPECT_FALSE(std::isfinite(inverse(zeroMat4()).m[0]));
}

TEST(VectorMath, VectorsAndNormalize) {
  const vec3 x{1, 0, 0}, y{0, 1, 0};
  const vec3 z = cross(x, y);
  EXPECT_EQ(z.x, 0.0f);
  EXPECT_EQ(z.y, 0.0f);
  EXPECT_EQ(z.z, 1.0f);
  EXPECT_EQ(dot({1, 2, 3}, {4, -5, 6}), 12.0f);

  const vec3 n = normalize({3, 0, -4});
  EXPECT_FLOAT_EQ(n.x, 0.6f);
  EXPECT_FLOAT_EQ(n.z, -0.8f);
  // The length is the double square root rounded to float, then inverted.
  const vec3 d = normalize({1, 1, 1});
  EXPECT_EQ(d.x, 1.0f * (1.0f / static_cast<float>(std::sqrt(3.0))));
  EXPECT_FALSE(std::isfinite(normalize({0, 0, 0}).x));
}

TEST(VectorMath, LookAtFromTheZAxisIsATranslation) {
  const mat4 view = lookAtMatrix({0, 0, 10}, {0, 0, 0}, {0, 1, 0});
  mat4 expected = identityMat4();
  expected.at(3, 2) = -10.0f;
  expectNear(view, expected, 0.0f);
}

TEST(VectorMath, LookAtMapsEyeToOriginAndTargetOntoMinusZ) {
  const vec3 eye{4, 5, -2}, center{-1, 2, 3}, up{0, 1, 0};
  const mat4 view = lookAtMatrix(eye, center, up);
  auto apply = [&](const vec3& p) {
    vec3 out;
    out.x = view.at(0, 0) * p.x + view.at(1, 0) * p.y + view.at(2, 0) * p.z + view.at(3, 0);
    out.y = view.at(0, 1) * p.x + view.at(1, 1) * p.y + view.at(2, 1) * p.z + view.at(3, 1);
    out.z = view.at(0, 2) * p.x + view.at(1, 2) * p.y + view.at(2, 2) * p.z + view.at(3, 2);
    return out;
  };
  const vec3 e = apply(eye);
  EXPECT_NEAR(e.x, 0.0f, 1e-5f);
  EXPECT_NEAR(e.y, 0.0f, 1e-5f);
  EXPECT_NEAR(e.z, 0.0f, 1e-5f);
  const vec3 c = apply(center);
  EXPECT_NEAR(c.x, 0.0f, 1e-5f);
  EXPECT_NEAR(c.y, 0.0f, 1e-5f);
  EXPECT_NEAR(c.z, -std::sqrt(59.0f), 1e-5f);  // distance eye-center, in front
  EXPECT_EQ(view.at(0, 3), 0.0f);
  EXPECT_EQ(view.at(3, 3), 1.0f);
}
