#include <gtest/gtest.h>

#include <vector>

#include "drawables/line_batch.h"
#include "drawables/quads.h"

namespace {
std::vector<float> quadPosition(const Quads& quads, int quad, int corner) {
  const float* p = quads.vertices.data() + 16 * quad + 4 * corner;
  return {p[0], p[1], p[2], p[3]};
}
std::vector<float> quadTexCoord(const Quads& quads, int quad, int corner) {
  const float* t = quads.vertices.data() + quads.texCoordOffset() + 8 * quad + 2 * corner;
  return {t[0], t[1]};
}
std::vector<float> controlPoint(const LineBatch& lines, int which, int segment, int corner) {
  const float* p = lines.vertices.data() + lines.controlPointOffset(which) + 3 * (4 * segment + corner);
  return {p[0], p[1], p[2]};
}
using V = std::vector<float>;
}  // namespace

TEST(Quads, CreationLayout) {
  Quads quads;
  quads.createLayout("particles", 10);
  EXPECT_EQ(quads.name, "particles");
  EXPECT_EQ(quads.quadCount, 10);
  EXPECT_EQ(quads.vertices.size(), 240u);
  EXPECT_EQ(quads.indices.size(), 60u);
  EXPECT_EQ(quadPosition(quads, 3, 0), (V{0, 0, 3, 0}));
  EXPECT_EQ(quadPosition(quads, 3, 1), (V{1, 0, 3, 0.03125f}));
  EXPECT_EQ(quadPosition(quads, 3, 2), (V{0, 1, 3, 0}));
  EXPECT_EQ(quadPosition(quads, 3, 3), (V{1, 1, 3, 0.03125f}));
  EXPECT_EQ(std::vector<uint32_t>(quads.indices.begin() + 18, quads.indices.begin() + 24),
            (std::vector<uint32_t>{12, 13, 14, 15, 14, 13}));
  EXPECT_EQ(quadTexCoord(quads, 9, 2), (V{0, 1}));

  Quads empty;
  empty.createLayout("none", -4);
  EXPECT_EQ(empty.quadCount, 0);
  EXPECT_TRUE(empty.vertices.empty());
}

TEST(Quads, PositionsFromPointsAreCutToTheBatch) {
  Quads quads;
  quads.createLayout("quadBinary", 10);
  const std::vector<vec4> three = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
  quads.writePositions(three.data(), three.size());
  for (int corner = 0; corner < 4; ++corner) {
    EXPECT_EQ(quadPosition(quads, 0, corner), (V{1, 2, 3, 4}));
    EXPECT_EQ(quadPosition(quads, 2, corner), (V{9, 10, 11, 12}));
  }
  EXPECT_EQ(quadTexCoord(quads, 0, 3), (V{1, 1}));
  EXPECT_EQ(quadPosition(quads, 3, 1), (V{1, 0, 3, 0.03125f}));  // untouched

  // Twelve points for ten quads: the last two are ignored.
  std::vector<vec4> twelve;
  for (int i = 0; i < 12; ++i) twelve.push_back(vec4{float(i), 0, 0, 1});
  const size_t size = quads.vertices.size();
  quads.writePositions(twelve.data(), twelve.size());
  EXPECT_EQ(quads.vertices.size(), size);
  EXPECT_EQ(quadPosition(quads, 9, 3), (V{9, 0, 0, 1}));
  EXPECT_EQ(quadTexCoord(quads, 0, 0), (V{0, 0}));  // texture coordinates follow the positions
  // No points: nothing is read and nothing changes.
  const std::vector<float> unchanged = quads.vertices;
  quads.writePositions(nullptr, 0);
  EXPECT_EQ(quads.vertices, unchanged);
}

TEST(LineBatch, SegmentsCarryTheirNeighbours) {
  LineBatch lines;
  lines.createLayout();
  EXPECT_EQ(lines.segmentCount, 1024);
  EXPECT_EQ(lines.vertices.size(), 229376u / sizeof(float));
  EXPECT_EQ(std::vector<uint32_t>(lines.indices.begin() + 6, lines.indices.begin() + 12),
            (std::vector<uint32_t>{4, 5, 6, 7, 6, 5}));

  std::vector<vec3> row;
  for (int c = 0; c < 256; ++c) row.push_back(vec3{float(c), float(2 * c), 1.0f});
  lines.writePoints(row.data(), row.size());
  for (int corner = 0; corner < 4; ++corner) {
    // Segment 0 repeats its start; segment 254 repeats its end.
    EXPECT_EQ(controlPoint(lines, 0, 0, corner), (V{0, 0, 1}));
    EXPECT_EQ(controlPoint(lines, 1, 0, corner), (V{0, 0, 1}));
    EXPECT_EQ(controlPoint(lines, 2, 0, corner), (V{1, 2, 1}));
    EXPECT_EQ(controlPoint(lines, 3, 0, corner), (V{2, 4, 1}));
    EXPECT_EQ(controlPoint(lines, 0, 254, corner), (V{253, 506, 1}));
    EXPECT_EQ(controlPoint(lines, 1, 254, corner), (V{254, 508, 1}));
    EXPECT_EQ(controlPoint(lines, 2, 254, corner), (V{255, 510, 1}));
    EXPECT_EQ(controlPoint(lines, 3, 254, corner), (V{255, 510, 1}));
    EXPECT_EQ(controlPoint(lines, 1, 255, corner), (V{0, 0, 0}));  // never set
  }
  const float* texCoords = lines.vertices.data() + lines.texCoordOffset();
  EXPECT_EQ((V{texCoords[2 * (4 * 7 + 1)], texCoords[2 * (4 * 7 + 1) + 1]}), (V{1, 0}));
  EXPECT_EQ((V{texCoords[2 * (4 * 7 + 2)], texCoords[2 * (4 * 7 + 2) + 1]}), (V{0, 1}));

  // One point or none writes nothing.
  const std::vector<float> before = lines.vertices;
  const vec3 single{7, 7, 7};
  lines.writePoints(&single, 1);
  lines.writePoints(nullptr, 0);
  EXPECT_EQ(lines.vertices, before);
}

TEST(LineBatch, LongPolylinesAreCutToTheBatch) {
  LineBatch lines;
  lines.createLayout();
  std::vector<vec3> long_line;
  for (int i = 0; i < 3000; ++i) long_line.push_back(vec3{float(i), 0, 0});
  lines.writePoints(long_line.data(), long_line.size());
  EXPECT_EQ(lines.vertices.size(), 229376u / sizeof(float));
  // The 1025th point closes the last segment, 1023; nothing further is read.
  EXPECT_EQ(controlPoint(lines, 2, 1023, 0), (V{1024, 0, 0}));
  EXPECT_EQ(controlPoint(lines, 3, 1023, 0), (V{1024, 0, 0}));
  EXPECT_EQ(controlPoint(lines, 0, 1023, 3), (V{1022, 0, 0}));
}
