#include <gtest/gtest.h>

#include <set>

#include "gpu/render_target.h"
#include "gpu/texture_binding.h"

TEST(CaptureFileName, StartsAtTheEntryCountAndSkipsNamesInUse) {
  std::set<std::string> used;
  auto inUse = [&](const std::string& name) { return used.count(name) > 0; };
  EXPECT_EQ(captureFileName(3, inUse), "output\\00003.png");
  EXPECT_EQ(captureFileName(12, inUse), "output\\00012.png");
  used = {"output\\00003.png", "output\\00004.png"};
  EXPECT_EQ(captureFileName(3, inUse), "output\\00005.png");
  EXPECT_EQ(captureFileName(2, inUse), "output\\00002.png");
  EXPECT_EQ(captureFileName(123456, inUse), "output\\123456.png");
  EXPECT_EQ(captureFileName(-4, inUse), "output\\00000.png");
}

TEST(FlipRows, ReversesRowOrderInPlace) {
  std::vector<unsigned char> pixels = {1, 2, 3, 4, 5, 6};
  flipRows(pixels, 2, 3);
  EXPECT_EQ(pixels, (std::vector<unsigned char>{5, 6, 3, 4, 1, 2}));
  flipRows(pixels, 3, 2);
  EXPECT_EQ(pixels, (std::vector<unsigned char>{4, 1, 2, 5, 6, 3}));
  std::vector<unsigned char> oneRow = {7, 8};
  flipRows(oneRow, 2, 1);
  EXPECT_EQ(oneRow, (std::vector<unsigned char>{7, 8}));
}

TEST(TexelSize, ReciprocalsRoundedToSinglePrecision) {
  const std::pair<float, float> texel = texelSizeOf(1920, 1080);
  EXPECT_EQ(texel.first, static_cast<float>(1.0 / 1920.0));
  EXPECT_EQ(texel.second, static_cast<float>(1.0 / 1080.0));
}
