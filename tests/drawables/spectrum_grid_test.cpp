#include "drawables/spectrum_grid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "drawables/spectrum_terrain.h"
#include "drawables_reference.h"
#include "support/test_support.h"

namespace {
const float* faceNormal(const SpectrumGrid& grid, int triangle, int corner) {
  return grid.faceVertices.data() + grid.faceNormalOffset() + 9 * static_cast<size_t>(triangle) + 3 * corner;
}

// A flat terrain: x grows with the column, z with the row.
std::vector<vec4> flatPoints(int count) {
  std::vector<vec4> points;
  for (int i = 0; i < count; ++i) points.push_back(vec4{(i % 256) * 4.0f, 0.0f, (i / 256) * 12.0f, 0.0f});
  return points;
}
}  // namespace

TEST(SpectrumGrid, CreatesTheUnitSquareWithItsIndices) {
  SpectrumGrid grid;
  grid.createMesh();
  EXPECT_EQ(grid.triangleCount, 130050);
  EXPECT_EQ(grid.vertexCount, 65536);
  EXPECT_EQ(grid.vertices.size(), 65536u * 8);
  EXPECT_EQ(grid.faceVertices.size(), 130050u * 24);
  ASSERT_EQ(grid.indices.size(), 390150u);
  ASSERT_EQ(grid.faceIndices.size(), 390150u);
  EXPECT_EQ(grid.faceIndices.back(), 390149u);

  // Vertex (a, j) sits at ((a/255)·2 − 1, (j/255)·2 − 1, 0).
  const size_t last = 65535;
  EXPECT_FLOAT_EQ(grid.vertices[0], -1.0f);
  EXPECT_FLOAT_EQ(grid.vertices[3 * last], 1.0f);
  EXPECT_FLOAT_EQ(grid.vertices[3 * 256], -1.0f + 2.0f / 255.0f);  // (1, 0): x steps with a
  EXPECT_FLOAT_EQ(grid.vertices[grid.sharedTexCoordOffset() + 2 * last + 1], 1.0f);
  EXPECT_EQ(grid.vertices[grid.sharedNormalOffset() + 2], 1.0f);

  // The first cell, and the last: (p − 256, p − 255, p), (p + 1, p, p − 255).
  EXPECT_EQ(std::vector<uint32_t>(grid.indices.begin(), grid.indices.begin() + 6),
            (std::vector<uint32_t>{0, 1, 256, 257, 256, 1}));
  EXPECT_EQ(std::vector<uint32_t>(grid.indices.end() - 6, grid.indices.end()),
            (std::vector<uint32_t>{65534 - 256, 65535 - 256, 65534, 65535, 65534, 65535 - 256}));

  // The shared normals say +z, but every face of the square faces −z.
  for (int triangle : {0, 1, 70000, 130049}) {
    for (int corner = 0; corner < 3; ++corner) {
      const float* n = faceNormal(grid, triangle, corner);
      EXPECT_EQ(n[0], 0.0f);
      EXPECT_EQ(n[1], 0.0f);
      EXPECT_EQ(n[2], -1.0f);
    }
  }
}

TEST(SpectrumGrid, FlatTerrainFacesPointDown) {
  SpectrumGrid grid;
  grid.createMesh();
  const std::vector<vec4> points = flatPoints(65536);
  ASSERT_TRUE(grid.updateMesh(points.data(), points.size(), 256, 256));
  // Positions per corner are the terrain's; w is dropped.
  EXPECT_EQ(grid.faceVertices[0], 0.0f);
  EXPECT_EQ(grid.faceVertices[3], 4.0f);   // corner 1: column 1
  EXPECT_EQ(grid.faceVertices[8], 12.0f);  // corner 2: row 1
  for (int triangle = 0; triangle < grid.triangleCount; triangle += 997) {
    const float* n = faceNormal(grid, triangle, 1);
    ASSERT_EQ(n[1], -1.0f) << triangle;
  }

  // The real terrain, flat, agrees; its own normals point up meanwhile.
  const reference::SyntheticSpectrum music = reference::makeSyntheticSpectrum(10.0f);
  SpectrumTerrain terrain;
  terrain.update(5.0f, 30.0f, 1.0f, 0.0f, music.view);
  ASSERT_TRUE(grid.updateMesh(terrain.points.data(), terrain.points.size(), 256, 256));
  EXPECT_EQ(terrain.normals[1000].y, 1.0f);
  for (int triangle = 0; triangle < grid.triangleCount; triangle += 101)
    ASSERT_LT(faceNormal(grid, triangle, 0)[1], 0.0f);
}

TEST(SpectrumGrid, RefusesTooFewOrTooManyPoints) {
  TempDir dir;
  SpectrumGrid grid;
  grid.createMesh();
  const std::vector<float> before = grid.faceVertices;
  const std::vector<vec4> points = flatPoints(65535);
  const std::string printed =
      captureStdout([&] { EXPECT_FALSE(grid.updateMesh(points.data(), points.size(), 256, 256)); });
  EXPECT_EQ(printed, "updateGrid::Not enough points 65535 65536\n");
  EXPECT_EQ(readFile("output2.txt"), printed);
  EXPECT_EQ(grid.faceVertices, before);

  // More rows than the grid holds would write past the shared vertices.
  const std::vector<vec4> many = flatPoints(65536 * 2);
  const std::string refused =
      captureStdout([&] { EXPECT_FALSE(grid.updateMesh(many.data(), many.size(), 512, 256)); });
  EXPECT_NE(refused.find("updateGrid::"), std::string::npos);
  EXPECT_EQ(grid.faceVertices, before);

  // A smaller grid of points updates only its own vertices.
  EXPECT_TRUE(grid.updateMesh(many.data(), 512, 2, 256));
  EXPECT_EQ(grid.vertices[3 * 256 + 2], 12.0f);
  EXPECT_FLOAT_EQ(grid.vertices[3 * 512], -1.0f + 4.0f / 255.0f);
}

TEST(SpectrumGrid, FaceRebuildMatchesStraightforwardComputationBitForBit) {
  const reference::SyntheticSpectrum music = reference::makeSyntheticSpectrum(30.0f);
  SpectrumTerrain terrain;
  SpectrumGrid grid;
  grid.createMesh();
  for (float bend : {0.0f, 0.6f, 1.0f}) {
    terrain.update(12.0f + bend, 150.0f, 0.8f, bend, music.view);
    ASSERT_TRUE(grid.updateMesh(terrain.points.data(), terrain.points.size(), 256, 256));
    std::vector<float> expected = grid.faceVertices;  // keeps the texture coordinates
    std::vector<float> positions(grid.vertices.begin(), grid.vertices.begin() + 3 * 65536);
    reference::rebuildFaces(positions, std::vector<unsigned>(grid.indices.begin(), grid.indices.end()),
                            expected);
    EXPECT_EQ(std::memcmp(expected.data(), grid.faceVertices.data(), expected.size() * sizeof(float)), 0);
  }
}
