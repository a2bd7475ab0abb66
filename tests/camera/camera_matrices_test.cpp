#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "camera/camera_matrices.h"

TEST(CameraMatrices, PerspectiveMatrix) {
  const mat4 p = projectionMatrix(90.0f, 2.0f, 1.0f, 3.0f);
  const float h = static_cast<float>(std::tan(static_cast<double>(90.0f * kDegreesToRadians * 0.5f)));
  EXPECT_EQ(p.at(0, 0), 1.0f / (h * 2.0f));
  EXPECT_EQ(p.at(1, 1), 1.0f / h);
  EXPECT_NEAR(p.at(0, 0), 0.5f, 1e-6f);
  EXPECT_EQ(p.at(2, 2), -2.0f);  // -(3 + 1) / (3 - 1)
  EXPECT_EQ(p.at(2, 3), -1.0f);
  EXPECT_EQ(p.at(3, 2), -3.0f);  // -(2 * 3 * 1) / (3 - 1)
  EXPECT_EQ(p.at(3, 3), 0.0f);
  EXPECT_EQ(p.at(1, 0), 0.0f);
  EXPECT_EQ(p.at(3, 0), 0.0f);

  // A negative field of view flips x and y: the image turns by 180 degrees.
  const mat4 flipped = projectionMatrix(-60.0f, 1.5f, 0.1f, 100.0f);
  EXPECT_LT(flipped.at(0, 0), 0.0f);
  EXPECT_LT(flipped.at(1, 1), 0.0f);
}

TEST(CameraMatrices, OrthographicAtFieldOfViewZero) {
  const mat4 o = projectionMatrix(0.0f, 1.7f, 0.1f, 200000.0f);
  mat4 expected = identityMat4();
  expected.at(0, 0) = 0.01f;
  expected.at(1, 1) = 0.01f;
  expected.at(2, 2) = -0.005f;
  expected.at(3, 2) = -1.5f;
  for (int i = 0; i < 16; ++i) EXPECT_EQ(o.m[i], expected.m[i]) << i;
  EXPECT_TRUE(std::signbit(o.at(3, 0)));
  EXPECT_TRUE(std::signbit(o.at(3, 1)));
  // Depth 100 and 500 in front of the eye land on the near and far planes.
  EXPECT_FLOAT_EQ(o.at(2, 2) * -100.0f + o.at(3, 2), -1.0f);
  EXPECT_FLOAT_EQ(o.at(2, 2) * -500.0f + o.at(3, 2), 1.0f);
}

TEST(CameraMatrices, AspectMinusOneFollowsTheWindow) {
  EXPECT_EQ(resolveAspect(-1.0f, 1.25f), 1.25f);
  EXPECT_EQ(resolveAspect(2.0f, 1.25f), 2.0f);
  EXPECT_EQ(resolveAspect(-1.5f, 1.25f), -1.5f);
}

TEST(CameraMatrices, UniformValuesForEyeOnTheZAxis) {
  const CameraMatrices m =
      cameraMatrices({0, 0, 10}, {0, 0, 0}, {0, 1, 0}, 60.0f, 16.0f / 9.0f, 0.1f, 200000.0f);
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      const float identity = c == r ? 1.0f : 0.0f;
      EXPECT_EQ(m.view.at(c, r), (c == 3 && r == 2) ? -10.0f : identity);
      EXPECT_EQ(m.transposedView.at(c, r), (c == 2 && r == 3) ? -10.0f : identity);
    }
  for (int i = 0; i < 9; ++i) {
    const float identity = (i % 4 == 0) ? 1.0f : 0.0f;
    EXPECT_EQ(m.normalView.m[i], identity);
    EXPECT_EQ(m.normalMatrix.m[i], identity);
  }
  // The view-projection takes world points to the screen: the target to the
  // centre, points on the frustum's edges at the target's distance (10) to
  // the edges.
  const auto toScreen = [&](float x, float y, float z) {
    float clip[4];
    for (int r = 0; r < 4; ++r)
      clip[r] = m.viewProjection.at(0, r) * x + m.viewProjection.at(1, r) * y + m.viewProjection.at(2, r) * z +
                m.viewProjection.at(3, r);
    return std::array<float, 3>{clip[0] / clip[3], clip[1] / clip[3], clip[3]};
  };
  const float halfHeight = 10.0f * std::tan(30.0f * 3.14159265f / 180.0f);
  const auto centre = toScreen(0, 0, 0);
  EXPECT_NEAR(centre[0], 0.0f, 1e-6f);
  EXPECT_NEAR(centre[1], 0.0f, 1e-6f);
  EXPECT_NEAR(centre[2], 10.0f, 1e-4f);  // w is the distance in front of the eye
  EXPECT_NEAR(toScreen(0, halfHeight, 0)[1], 1.0f, 1e-5f);
  EXPECT_NEAR(toScreen(halfHeight * 16.0f / 9.0f, 0, 0)[0], 1.0f, 1e-5f);
  EXPECT_NEAR(toScreen(-halfHeight * 16.0f / 9.0f, -halfHeight, 0)[1], -1.0f, 1e-5f);
  EXPECT_EQ(m.projection.at(2, 3), -1.0f);
}
