#include <gtest/gtest.h>

#include <cmath>

#include "demo/gaussian_weights.h"
#include "demo/overlay_choice.h"

TEST(GaussianWeights, NormalisedSymmetricCentredAndAsRounded) {
  const auto w = GaussianWeights();
  float sum = 0.0f;
  for (float v : w) sum += v;
  EXPECT_NEAR(sum, 1.0f, 1e-6f);
  for (int j = 0; j < 12; ++j) {
    EXPECT_EQ(w[j], w[24 - j]) << j;
    EXPECT_LT(w[j], w[j + 1]) << j;
  }
  const double rounded[13] = {0.095999, 0.093274, 0.085553, 0.074080, 0.060554, 0.046728, 0.034040,
                              0.023409, 0.015198, 0.009314, 0.005389, 0.002943, 0.001518};
  for (int i = 0; i < 13; ++i) {
    EXPECT_NEAR(w[12 + i], rounded[i], 5e-7) << "offset " << i;
  }
}

TEST(OverlayChoice, IntegerPartNamesTheImageFractionSetsTransparency) {
  for (float a : {0.0f, 0.99f, -0.5f, -0.999f}) {
    EXPECT_FALSE(chooseOverlay(a, 3.5f).drawn) << a;
  }
  const OverlayChoice c = chooseOverlay(2.5f, 0.25f);
  ASSERT_TRUE(c.drawn);
  EXPECT_EQ(c.imageA, "2.png");
  EXPECT_FLOAT_EQ(c.transparencyA, 0.625f);
  EXPECT_FALSE(c.hasImageB);  // unit 1 keeps "gaussB"
  EXPECT_FLOAT_EQ(c.transparencyB, 0.25f);

  const OverlayChoice both = chooseOverlay(3.4f, 4.75f);
  EXPECT_EQ(both.imageA, "3.png");
  ASSERT_TRUE(both.hasImageB);
  EXPECT_EQ(both.imageB, "4.png");
  EXPECT_FLOAT_EQ(both.transparencyB, 0.75f);

  const OverlayChoice negative = chooseOverlay(-1.5f, 0.0f);
  EXPECT_EQ(negative.imageA, "-1.png");
  EXPECT_FLOAT_EQ(negative.transparencyA, 0.5f * 1.25f);  // -1.5 - floor(-1.5)

  EXPECT_FALSE(chooseOverlay(NAN, 0.0f).drawn);
  EXPECT_FALSE(chooseOverlay(1e30f, 0.0f).drawn);
  EXPECT_FALSE(chooseOverlay(1.5f, INFINITY).hasImageB);
}
