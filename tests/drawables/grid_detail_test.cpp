// The preview's coarse grid: which blocks are small enough on screen, and a
// grid of coarse and fine blocks that covers the terrain without cracks.
#include "drawables/grid_detail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using grid_detail::Corner;
using grid_detail::kBlocksPerSide;
using grid_detail::kSide;

namespace {
// A terrain whose x is its column and y its row, so that with the identity
// transform a block spans 2 units each way: `pixelsPerUnit` / 2 of the pass
// width 2 x pixelsPerUnit.
std::vector<vec4> planePoints() {
  std::vector<vec4> points;
  for (int r = 0; r < kSide; ++r) {
    for (int c = 0; c < kSide; ++c) points.push_back({static_cast<float>(c), static_cast<float>(r), 0.0f, 0.0f});
  }
  return points;
}

// Twice the signed area of a triangle in (row, column) of the grid.
double doubleArea(const Corner* t) {
  auto at = [](const Corner& k, int axis) {
    const uint32_t a = axis == 0 ? k.a / kSide : k.a % kSide;
    const uint32_t b = axis == 0 ? k.b / kSide : k.b % kSide;
    return (a + b) * 0.5;
  };
  return (at(t[1], 0) - at(t[0], 0)) * (at(t[2], 1) - at(t[0], 1)) -
         (at(t[2], 0) - at(t[0], 0)) * (at(t[1], 1) - at(t[0], 1));
}
}  // namespace

TEST(GridDetail, BlocksSmallOnScreenAndInFrontOfTheEyeAreCoarse) {
  const std::vector<vec4> points = planePoints();
  std::vector<uint8_t> coarse;
  std::vector<float> scratch;
  const mat4 identity = identityMat4();
  // Each block spans 2 units = 2 pixels in a 2 x 2 pass.
  grid_detail::markCoarseBlocks(points.data(), {identity}, 2.0f, 2.0f, 2.0f, coarse, scratch);
  ASSERT_EQ(coarse.size(), static_cast<size_t>(kBlocksPerSide * kBlocksPerSide));
  EXPECT_EQ(coarse[0], 1);
  EXPECT_EQ(coarse[kBlocksPerSide * 60 + 70], 1);
  // The last row and column of blocks stay fine.
  EXPECT_EQ(coarse[kBlocksPerSide - 1], 0);
  EXPECT_EQ(coarse[kBlocksPerSide * (kBlocksPerSide - 1)], 0);
  // 3 pixels each way are too many.
  grid_detail::markCoarseBlocks(points.data(), {identity}, 3.0f, 2.0f, 2.0f, coarse, scratch);
  EXPECT_EQ(coarse[0], 0);

  // Every transform must find the block small: the mirror image here is
  // twice the size. Rows from 100 on lie behind the eye (w <= 0).
  mat4 large = identity;
  large.at(0, 0) = 2.0f;
  mat4 partlyBehind = identity;
  partlyBehind.at(1, 3) = -0.01f;  // w = 1 - row / 100
  grid_detail::markCoarseBlocks(points.data(), {identity, large}, 2.0f, 2.0f, 2.0f, coarse, scratch);
  EXPECT_EQ(coarse[0], 0);
  grid_detail::markCoarseBlocks(points.data(), {partlyBehind}, 0.02f, 0.02f, 2.0f, coarse, scratch);
  EXPECT_EQ(coarse[kBlocksPerSide * 10 + 5], 1);  // rows 20 to 22
  EXPECT_EQ(coarse[kBlocksPerSide * 49 + 5], 0);  // rows 98 to 100: row 100 is at the eye
  EXPECT_EQ(coarse[kBlocksPerSide * 55 + 5], 0);  // rows 110 to 112
}

TEST(GridDetail, CoarseAndFineBlocksCoverTheGridWithoutCracks) {
  // A checkerboard of marks, and a patch, so coarse blocks meet fine ones on
  // every side.
  std::vector<uint8_t> coarse(static_cast<size_t>(kBlocksPerSide * kBlocksPerSide), 0);
  for (int R = 0; R < kBlocksPerSide - 1; ++R) {
    for (int C = 0; C < kBlocksPerSide - 1; ++C) coarse[R * kBlocksPerSide + C] = (R + C) % 2 == 0 || (R > 80 && C > 80);
  }
  int coarseCount = 0;
  for (uint8_t mark : coarse) coarseCount += mark;

  std::vector<Corner> corners;
  grid_detail::reducedTriangles(coarse, corners);
  ASSERT_EQ(corners.size() % 3, 0u);
  const int fineCount = kBlocksPerSide * kBlocksPerSide - coarseCount;
  EXPECT_EQ(corners.size() / 3, static_cast<size_t>(2 * coarseCount + 8 * fineCount + 2 * (255 + 254)));

  // The triangles tile the grid: all wound alike, their areas adding up to it.
  double area = 0.0;
  for (size_t t = 0; t < corners.size(); t += 3) {
    const double a = doubleArea(&corners[t]);
    ASSERT_LT(a, 0.0) << "triangle " << t / 3;
    area -= a / 2.0;
  }
  EXPECT_DOUBLE_EQ(area, 255.0 * 255.0);

  // No corner sits on the middle vertex of a coarse block's edge: a fine
  // block beside it takes the middle of the edge's ends, which lies on the
  // coarse block's own edge.
  std::set<uint32_t> edgeMiddles;
  for (int R = 0; R < kBlocksPerSide; ++R) {
    for (int C = 0; C < kBlocksPerSide; ++C) {
      if (!coarse[R * kBlocksPerSide + C]) continue;
      const uint32_t r = 2 * R, c = 2 * C;
      for (uint32_t v : {r * kSide + c + 1, (r + 2) * kSide + c + 1, (r + 1) * kSide + c, (r + 1) * kSide + c + 2}) {
        edgeMiddles.insert(v);
      }
    }
  }
  for (const Corner& corner : corners) {
    if (corner.a == corner.b) {
      EXPECT_EQ(edgeMiddles.count(corner.a), 0u) << "vertex " << corner.a;
    }
  }
}
