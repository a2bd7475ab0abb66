#include "drawables/spectrum_sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "drawables_reference.h"

namespace {
// 3 frames of 4 bands at 10 frames per second: band k of frame f is 10f + k,
// so a sample inside the table reads 10 × (frames) + band exactly.
struct SmallTable {
  std::vector<float> values;
  SpectrumView view;
  SmallTable() {
    for (int f = 0; f < 3; ++f)
      for (int k = 0; k < 4; ++k) values.push_back(10.0f * f + k);
    view = SpectrumView{values.data(), 3, 4, 10, 0.3f};
  }
};

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
}  // namespace

TEST(SpectrumSampling, InterpolatesInTimeAndBand) {
  SmallTable table;
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 0.05f, 1.5f), 6.5f);
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 0.1f, 2.0f), 12.0f);
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 0.125f, 0.25f), 12.75f);
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 0.0f, 0.0f), 0.0f);
}

TEST(SpectrumSampling, ClampsBandTimeAndFrames) {
  SmallTable table;
  // Bands below 0 read band 0, bands at or past the last read the last.
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 0.1f, -3.0f), 10.0f);
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 0.1f, 3.0f), 13.0f);
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 0.1f, 100.0f), 13.0f);
  // Times before the start read frame 0; at and past the length (frame 3,
  // which the 3-frame table lacks) both frames are held at frame 2.
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, -5.0f, 1.0f), 1.0f);
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 0.3f, 1.0f), 21.0f);
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 0.25f, 1.0f), 21.0f);
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 1000.0f, 1.0f), 21.0f);
  // Values that are not numbers read a corner of the table, not past it.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, nan, 1.0f), 1.0f);
  EXPECT_FLOAT_EQ(sampleSpectrum(table.view, 0.0f, nan), 3.0f);
}

TEST(SpectrumSampling, EmptyTableReadsZero) {
  std::vector<float> one(4, 7.0f);
  const SpectrumView cases[] = {
      SpectrumView{},
      SpectrumView{nullptr, 3, 4, 10, 0.3f},
      SpectrumView{one.data(), 0, 4, 10, 0.3f},
      SpectrumView{one.data(), 1, 0, 10, 0.3f},
  };
  for (const SpectrumView& view : cases) {
    EXPECT_EQ(sampleSpectrum(view, 0.0f, 0.0f), 0.0f);
    EXPECT_EQ(sampleSpectrum(view, 100.0f, 200.0f), 0.0f);
  }
  // A table of one frame holds it at every time.
  EXPECT_EQ(sampleSpectrum(SpectrumView{one.data(), 1, 4, 30, 10.0f}, 5.0f, 2.0f), 7.0f);
}

TEST(SpectrumSampling, MatchesStraightforwardSampleBitForBit) {
  const reference::SyntheticSpectrum music = reference::makeSyntheticSpectrum(20.0f);
  int compared = 0;
  for (float t = -0.5f; t < 21.0f; t += 0.0137f) {
    for (float b = -1.0f; b < 130.0f; b += 0.37f) {
      ASSERT_TRUE(sameBits(sampleSpectrum(music.view, t, b), reference::sample(music.view, t, b)))
          << "t " << t << " b " << b;
      ++compared;
    }
  }
  EXPECT_GT(compared, 500000);
}

TEST(JitterHash, KnownValuesAndRange) {
  EXPECT_EQ(jitterHash(0.0f, 0.0f), 0.0f);
  // sin(110.707504...) × 43758.5453, fraction × 1.75.
  EXPECT_FLOAT_EQ(jitterHash(1.0f, 2.5f), 0.22744840f);
  float low = 2.0f, high = -1.0f;
  for (int a = 0; a < 256; ++a) {
    for (int i = 0; i < 200; ++i) {
      const float value = jitterHash(a * 0.5f, i * 0.173f - 3.0f);
      ASSERT_TRUE(sameBits(value, reference::jitter(a * 0.5f, i * 0.173f - 3.0f)));
      low = std::min(low, value);
      high = std::max(high, value);
    }
  }
  EXPECT_GE(low, 0.0f);
  EXPECT_LT(high, 1.75f);
  EXPECT_GT(high - low, 1.5f);  // spread over the range, not stuck
}
