#include <gtest/gtest.h>

#include <vector>

#include "render/frame_hashes.h"

namespace {
// Hash files written by earlier renders must still compare: the hash of a
// frame's bytes is fixed for good.
TEST(FrameHashes, PixelHashesKeepTheirValues) {
  EXPECT_EQ(hashFramePixels({}), 0xcbf29ce484222325ULL);
  std::vector<unsigned char> opaqueBlack;
  for (int pixel = 0; pixel < 4; ++pixel) opaqueBlack.insert(opaqueBlack.end(), {0, 0, 0, 255});
  EXPECT_EQ(hashFramePixels(opaqueBlack), 0x642aea11b70857c5ULL);
  EXPECT_EQ(frameHashLine(30, 30, 0x642aea11b70857c5ULL), "30 1.000000 642aea11b70857c5\n");
}
}  // namespace
