#include "gpu/texture_pixels.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<uint8_t> pngOf(int width, int height, int channels, const std::vector<unsigned char>& pixels) {
  std::vector<uint8_t> bytes;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
      },
      &bytes, width, height, channels, pixels.data(), width * channels);
  return bytes;
}

void writeUint32BE(uint32_t value, uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

size_t chunkAt(const std::vector<uint8_t>& png, const char* type) {
  for (size_t i = 8; i + 8 <= png.size(); ++i) {
    if (std::memcmp(&png[i + 4], type, 4) == 0) return i;
  }
  return 0;
}
}  // namespace

TEST(TexturePixels, GreyAndGreyAlphaBecomeRGBA) {
  const std::vector<uint8_t> png = pngOf(2, 1, 2, {10, 20, 30, 40});
  const TexturePixels greyAlpha = decodeTexturePixels(png.data(), png.size());
  ASSERT_TRUE(greyAlpha.ok()) << greyAlpha.refusal;
  EXPECT_EQ(greyAlpha.channels, 2);
  EXPECT_EQ(greyAlpha.expandedBytes, (std::vector<unsigned char>{10, 10, 10, 20, 30, 30, 30, 40}));
  EXPECT_EQ(greyAlpha.upload(), greyAlpha.expandedBytes.data());

  const unsigned char grey[] = {10, 200};
  EXPECT_EQ(expandToRGBA(grey, 2, 1), (std::vector<unsigned char>{10, 10, 10, 255, 200, 200, 200, 255}));
  const float hdrGrey[] = {0.5f};
  EXPECT_EQ(expandToRGBA(hdrGrey, 1, 1), (std::vector<float>{0.5f, 0.5f, 0.5f, 1.0f}));
}

TEST(TexturePixels, HeadersThatWouldSizeTheBuffersAreRefusedBeforeDecoding) {
  const std::vector<uint8_t> good = pngOf(3, 2, 3, std::vector<unsigned char>(18, 7));
  ASSERT_TRUE(decodeTexturePixels(good.data(), good.size()).ok());
  const size_t idat = chunkAt(good, "IDAT");
  const size_t ihdr = chunkAt(good, "IHDR");
  ASSERT_GT(idat, 0u);

  // stb_image would grow its buffer to 2 GiB before finding the bytes missing.
  std::vector<uint8_t> longChunk = good;
  writeUint32BE(0x7FFFFFF0u, &longChunk[idat]);
  EXPECT_EQ(decodeTexturePixels(longChunk.data(), longChunk.size()).refusal,
            "a PNG chunk runs past the end of the file");

  std::vector<uint8_t> huge = good;
  writeUint32BE(16384, &huge[ihdr + 8]);
  writeUint32BE(16384, &huge[ihdr + 12]);
  EXPECT_EQ(decodeTexturePixels(huge.data(), huge.size()).refusal, "image of 16384x16384 pixels");

  // A Radiance width that is not a number reads as 0.
  const std::string radiance = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X x\n";
  const TexturePixels empty = decodeTexturePixels(reinterpret_cast<const uint8_t*>(radiance.data()), radiance.size());
  EXPECT_TRUE(empty.isHDR);
  EXPECT_EQ(empty.refusal, "image of 0x2 pixels");
  EXPECT_EQ(empty.upload(), nullptr);
}
