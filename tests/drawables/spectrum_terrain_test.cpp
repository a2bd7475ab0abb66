#include "drawables/spectrum_terrain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "drawables_reference.h"

namespace {
constexpr int kBands = 128;
constexpr int kFps = 30;

// A table of `seconds` of music filled by value(frame, band).
struct Table {
  std::vector<float> values;
  SpectrumView view;
  template <class Value>
  Table(float seconds, Value value) {
    const int frames = static_cast<int>(seconds * kFps);
    for (int f = 0; f < frames; ++f)
      for (int b = 0; b < kBands; ++b) values.push_back(value(f, b));
    view = SpectrumView{values.data(), frames, kBands, kFps, seconds};
  }
};

const vec4& pointAt(const SpectrumTerrain& terrain, int row, int column) {
  return terrain.points[static_cast<size_t>(row) * 256 + column];
}

template <class T>
bool sameBytes(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}
}  // namespace

// With a table whose value is the frame number, heights (G = 1, E = 1) read
// 30 × the row's time, so each row shows which moment it samples.
TEST(SpectrumTerrain, RowsSampleFromAheadToBehindTheMusicTime) {
  const Table table(60.0f, [](int f, int) { return static_cast<float>(f); });
  SpectrumTerrain terrain;
  EXPECT_EQ(terrain.columns, 128);
  EXPECT_EQ(terrain.rows, 256);
  const float T = 20.0f;
  terrain.update(T, 1.0f, 1.0f, 0.0f, table.view);
  EXPECT_EQ(terrain.columns, 256);
  ASSERT_EQ(terrain.points.size(), 65536u);
  ASSERT_EQ(terrain.normals.size(), 65536u);

  const struct {
    int row;
    float time;
  } cases[] = {{0, T + 0.75f}, {192, T}, {255, T - 0.24609375f}, {128, T + 0.25f}};
  for (const auto& c : cases) {
    for (int column : {0, 37, 200}) {
      const float height = pointAt(terrain, c.row, column).y;  // h + jitter in [0, 1.75)
      EXPECT_GE(height, 30.0f * c.time - 0.01f) << "row " << c.row;
      EXPECT_LT(height, 30.0f * c.time + 1.76f) << "row " << c.row;
    }
  }
  EXPECT_EQ(terrainRowTime(T, 192, 256), (T - 0.75f) + 0.75f);
  EXPECT_EQ(terrainRowTime(T, 255, 256), (T - 0.99609375f) + 0.75f);
}

TEST(SpectrumTerrain, FlatAndBentShapes) {
  const Table table(30.0f, [](int, int b) { return 0.5f + 0.01f * b; });
  SpectrumTerrain terrain;
  terrain.update(10.0f, 100.0f, 1.0f, 0.0f, table.view);
  for (int row : {0, 100, 255}) {
    for (int j = 0; j < 256; ++j) {
      const vec4& p = pointAt(terrain, row, j);
      const vec3& n = terrain.normals[static_cast<size_t>(row) * 256 + j];
      ASSERT_EQ(n.x, 0.0f);
      ASSERT_EQ(n.y, 1.0f);
      ASSERT_EQ(n.z, 0.0f);
      // x from 0 to 1020 and z per row, each plus a jitter in [0, 1.75).
      ASSERT_GE(p.x, 4.0f * j);
      ASSERT_LT(p.x, 4.0f * j + 1.75f);
      ASSERT_GE(p.z, (row - 128) * 12.0f);
      ASSERT_LT(p.z, (row - 128) * 12.0f + 1.75f);
      ASSERT_EQ(p.w, static_cast<float>(j));
    }
  }

  // Fully bent: column 0 lies at the bottom of the tunnel, its height
  // pointing up towards the axis; column 128 at +x; normals point inwards.
  terrain.update(10.0f, 100.0f, 1.0f, 1.0f, table.view);
  const float h0 = 100.0f * 0.5f;
  const vec4& bottom = pointAt(terrain, 50, 0);
  const float jx = jitterHash(32.0f, static_cast<float>(terrainRowTime(10.0f, 50, 256) + 3.23));
  const float jy = jitterHash(0.0f, terrainRowTime(10.0f, 50, 256));
  EXPECT_NEAR(bottom.x - jx, 0.0f, 1e-3f);
  EXPECT_NEAR(bottom.y - jy, -(SpectrumTerrain::kTunnelRadius - h0), 1e-3f);
  const vec3& up = terrain.normals[50 * 256];
  EXPECT_NEAR(up.x, 0.0f, 1e-5f);
  EXPECT_NEAR(up.y, 1.0f, 1e-5f);
  const vec4& side = pointAt(terrain, 50, 128);
  const float h128 = 100.0f * (0.5f + 0.64f);  // band 64
  EXPECT_GE(side.x, SpectrumTerrain::kTunnelRadius - h128 - 0.01f);
  EXPECT_LT(side.x, SpectrumTerrain::kTunnelRadius - h128 + 1.76f);
  EXPECT_NEAR(side.y, 0.0f, 2.0f);
  EXPECT_NEAR(terrain.normals[50 * 256 + 128].x, -1.0f, 1e-5f);
}

TEST(SpectrumTerrain, LastColumnsRepeatBand123AndLateRowsHoldTheLastFrame) {
  // Bands 10 units apart, so each column's band shows through the jitter.
  const Table bands(30.0f, [](int, int b) { return 10.0f * (b + 1); });
  SpectrumTerrain terrain;
  terrain.update(10.0f, 1.0f, 1.0f, 0.0f, bands.view);
  for (int row : {0, 192, 255}) {
    EXPECT_GE(pointAt(terrain, row, 253).y, 10.0f * 127.5f);  // band 126.5
    for (int column : {254, 255}) {
      EXPECT_GE(pointAt(terrain, row, column).y, 1240.0f);
      EXPECT_LT(pointAt(terrain, row, column).y, 1241.75f);
    }
  }

  // 10 s of music: 300 frames. Near the end the rows ahead of the present
  // ask for times past the length and read frame 299.
  const Table frames(10.0f, [](int f, int) { return static_cast<float>(f); });
  terrain.update(9.9f, 1.0f, 1.0f, 0.0f, frames.view);
  for (int row : {0, 50, 100}) {
    EXPECT_GE(pointAt(terrain, row, 10).y, 299.0f) << row;
    EXPECT_LT(pointAt(terrain, row, 10).y, 300.75f) << row;
  }
  EXPECT_LT(pointAt(terrain, 192, 10).y, 298.75f);
}

TEST(SpectrumTerrain, PeaksAreBandsChangingNow) {
  // Until frame 60 every band is steady; from frame 61 band 10 rises from
  // 0.4 to 1.2, band 30 by 0.0001 (too little) and band 40 by 0.001.
  const Table table(10.0f, [](int f, int b) {
    const bool after = f >= 61;
    if (b == 10) return after ? 1.2f : 0.4f;
    if (b == 30) return after ? 0.5001f : 0.5f;
    if (b == 40) return after ? 0.501f : 0.5f;
    return 0.3f;
  });
  // 2.015625 s: frame 60.46875; the three earlier samples all lie before
  // frame 61. Row 192's time equals T exactly here.
  const float T = 2.015625f;
  ASSERT_EQ(terrainRowTime(T, 192, 256), T);
  SpectrumTerrain terrain;
  terrain.update(T, 1.0f, 1.0f, 0.0f, table.view);
  EXPECT_EQ(terrain.peakColumns, (std::vector<int32_t>{19, 20, 21, 79, 80, 81}));
  ASSERT_EQ(terrain.peakStrengths.size(), terrain.peakColumns.size());
  // Band 10 (column 20): now c0 = 0.4 + 0.8 × 0.46875 = 0.775, before 0.4;
  // the oldest sample, weighted 0.25, is the minimum.
  EXPECT_FLOAT_EQ(terrain.peakStrengths[1], 0.775f - 0.25f * 0.4f);
  EXPECT_FLOAT_EQ(terrain.peakStrengths[0], (0.3f + 0.775f) * 0.5f - 0.25f * (0.3f + 0.4f) * 0.5f);

  // A steady moment has no peaks, and the lists are rebuilt each update.
  terrain.update(1.0f, 1.0f, 1.0f, 0.0f, table.view);
  EXPECT_TRUE(terrain.peakColumns.empty());
  EXPECT_TRUE(terrain.peakStrengths.empty());
}

TEST(SpectrumTerrain, EmptyTableGivesFlatZeroHeights) {
  SpectrumTerrain terrain;
  terrain.update(3.0f, 50.0f, 1.0f, 0.0f, SpectrumView{});
  ASSERT_EQ(terrain.points.size(), 65536u);
  EXPECT_TRUE(terrain.peakColumns.empty());
  for (const vec4& p : terrain.points) ASSERT_LT(p.y, 1.75f);
}

TEST(SpectrumTerrain, MatchesStraightforwardComputationBitForBit) {
  const reference::SyntheticSpectrum music = reference::makeSyntheticSpectrum(40.0f);
  SpectrumTerrain terrain;
  const struct {
    float T, G, E, B;
  } cases[] = {{0.0f, 120.0f, 0.7f, 0.0f},  {1.9f, 80.0f, 1.0f, 0.3f},   {12.345f, 200.0f, 0.5f, 1.0f},
               {25.5f, 60.0f, 2.0f, 0.75f}, {39.6f, 150.0f, 0.9f, 0.5f}, {18.05f, 100.0f, 0.0f, 1.0f}};
  for (const auto& c : cases) {
    terrain.update(c.T, c.G, c.E, c.B, music.view);
    const reference::Terrain expected = reference::terrainUpdate(c.T, c.G, c.E, c.B, music.view);
    EXPECT_TRUE(sameBytes(terrain.points, expected.points)) << "T " << c.T;
    EXPECT_TRUE(sameBytes(terrain.normals, expected.normals)) << "T " << c.T;
    EXPECT_EQ(terrain.peakColumns,
              std::vector<int32_t>(expected.peakColumns.begin(), expected.peakColumns.end()));
    EXPECT_TRUE(sameBytes(terrain.peakStrengths, expected.peakStrengths)) << "T " << c.T;
  }
}

TEST(SpectrumTerrain, FillLaysOutTheSetUpTerrain) {
  const Table table(30.0f, [](int, int) { return 16.0f; });
  SpectrumTerrain terrain;
  terrain.fill(5.0f, table.view);
  EXPECT_EQ(terrain.columns, 256);
  ASSERT_EQ(terrain.points.size(), 65536u);
  EXPECT_TRUE(terrain.normals.empty());
  // Height 250 × 16^0.25 = 500; x centred on column 128.
  const vec4& p = pointAt(terrain, 10, 3);
  EXPECT_GE(p.y, 500.0f);
  EXPECT_LT(p.y, 501.75f);
  EXPECT_GE(p.x, -500.0f);
  EXPECT_LT(p.x, -498.25f);
  EXPECT_EQ(p.w, 3.0f);
}
