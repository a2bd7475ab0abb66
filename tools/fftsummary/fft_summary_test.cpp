#include <gtest/gtest.h>

#include <vector>

#include "band_summary.h"

namespace {

TEST(BandSummary, AveragesTheChosenBandsOverTheChosenSeconds) {
  // 4 frames per second, 3 bands; band b of frame f holds f * 10 + b.
  std::vector<float> values;
  for (int f = 0; f < 8; ++f)
    for (int b = 0; b < 3; ++b) values.push_back(float(f * 10 + b));
  SpectrumView view;
  view.values = values.data();
  view.frameCount = 8;
  view.bandCount = 3;
  view.framesPerSecond = 4;
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 0.0, 1.0, 0, 0), 15.0);      // frames 0-3 of band 0
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 1.0, 2.0, 1, 2), 56.5);      // frames 4-7, bands 1-2
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 1.5, 99.0, 2, 200), 67.0);   // clamped to the table
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 3.0, 4.0, 0, 2), 0.0);       // past the end
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 0.0, 1.0, 2, 1), 0.0);       // empty band range
  view.values = nullptr;
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 0.0, 1.0, 0, 2), 0.0);
}

}  // namespace
