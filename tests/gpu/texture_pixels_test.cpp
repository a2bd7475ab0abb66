#include "gpu/texture_pixels.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace {
using Bytes = std::vector<unsigned char>;

Bytes pngOf(int width, int height, int channels, const Bytes& pixels) {
  Bytes bytes;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        auto* out = static_cast<Bytes*>(context);
        out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
      },
      &bytes, width, height, channels, pixels.data(), width * channels);
  return bytes;
}

// The forms stb_image_write cannot make (palette, bit depths other than 8,
// a transparent colour, Adam7, a gamma chunk), written by libpng. `rows` are
// the packed rows as the file stores them.
struct PngForm {
  int width = 0;
  int height = 0;
  int bitDepth = 8;
  int colourType = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  std::vector<png_color> palette;
  Bytes paletteAlpha;
  png_color_16 transparentColour{};
  bool hasTransparentColour = false;
  bool gamma = false;
  std::vector<Bytes> rows;
};

PngForm formOf(int width, int height, int bitDepth, int colourType, bool interlaced = false) {
  PngForm form;
  form.width = width;
  form.height = height;
  form.bitDepth = bitDepth;
  form.colourType = colourType;
  form.interlaced = interlaced;
  return form;
}

Bytes pngWrittenBy(PngForm form) {
  Bytes out;
  std::vector<png_bytep> rows;
  for (Bytes& row : form.rows) rows.push_back(row.data());
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t length) {
        auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
        bytes->insert(bytes->end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, form.width, form.height, form.bitDepth, form.colourType,
               form.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!form.palette.empty()) png_set_PLTE(png, info, form.palette.data(), static_cast<int>(form.palette.size()));
  if (!form.paletteAlpha.empty() || form.hasTransparentColour) {
    png_set_tRNS(png, info, form.paletteAlpha.data(), static_cast<int>(form.paletteAlpha.size()),
                 &form.transparentColour);
  }
  if (form.gamma) png_set_gAMA(png, info, 1.0 / 2.2);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// width x height pixels of one colour, written by libjpeg.
Bytes jpegOf(int width, int height, J_COLOR_SPACE space, const Bytes& pixel, bool progressive) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = static_cast<int>(pixel.size());
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  Bytes row;
  for (int x = 0; x < width; ++x) row.insert(row.end(), pixel.begin(), pixel.end());
  while (info.next_scanline < info.image_height) {
    JSAMPROW rowPointer = row.data();
    jpeg_write_scanlines(&info, &rowPointer, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

TexturePixels decode(const Bytes& bytes) { return decodeTexturePixels(bytes.data(), bytes.size()); }
TexturePixels decode(const std::string& text) {
  return decodeTexturePixels(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void writeUint32BE(uint32_t value, uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

size_t chunkAt(const Bytes& png, const char* type) {
  for (size_t i = 8; i + 8 <= png.size(); ++i) {
    if (std::memcmp(&png[i + 4], type, 4) == 0) return i;
  }
  return 0;
}

// Every value within `tolerance` of the one pixel repeated.
void expectEveryPixelNear(const TexturePixels& image, const Bytes& pixel, int tolerance) {
  ASSERT_EQ(image.bytes.size(), size_t(image.width) * image.height * pixel.size());
  for (size_t i = 0; i < image.bytes.size(); ++i) {
    ASSERT_NEAR(image.bytes[i], pixel[i % pixel.size()], tolerance) << "value " << i;
  }
}
}  // namespace

TEST(TexturePixels, GreyAndGreyAlphaBecomeRGBA) {
  const TexturePixels greyAlpha = decode(pngOf(2, 1, 2, {10, 20, 30, 40}));
  ASSERT_TRUE(greyAlpha.ok()) << greyAlpha.refusal;
  EXPECT_EQ(greyAlpha.channels, 2);
  EXPECT_EQ(greyAlpha.bytes, (Bytes{10, 10, 10, 20, 30, 30, 30, 40}));
  EXPECT_EQ(greyAlpha.upload(), greyAlpha.bytes.data());

  const TexturePixels grey = decode(pngOf(2, 1, 1, {10, 200}));
  ASSERT_TRUE(grey.ok()) << grey.refusal;
  EXPECT_EQ(grey.channels, 1);
  EXPECT_EQ(grey.bytes, (Bytes{10, 10, 10, 255, 200, 200, 200, 255}));

  const TexturePixels rgb = decode(pngOf(1, 2, 3, {1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(rgb.channels, 3);
  EXPECT_EQ(rgb.bytes, (Bytes{1, 2, 3, 4, 5, 6}));
  const TexturePixels rgba = decode(pngOf(1, 1, 4, {1, 2, 3, 4}));
  EXPECT_EQ(rgba.channels, 4);
  EXPECT_EQ(rgba.bytes, (Bytes{1, 2, 3, 4}));
}

// The bytes a texture got from stb_image for each form: 8 bits per value,
// no gamma, a transparent colour as alpha (compared at the file's depth).
TEST(TexturePixels, EveryPngFormGivesTheEightBitPixelsItAlwaysGave) {
  const std::vector<png_color> palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  struct Case {
    const char* name;
    PngForm form;
    int channels;
    Bytes upload;
  };
  PngForm palette2Bit = formOf(3, 1, 2, PNG_COLOR_TYPE_PALETTE);
  palette2Bit.palette = palette;
  palette2Bit.rows = {{0b00011000}};  // indices 0, 1, 2
  PngForm paletteAlpha = palette2Bit;
  paletteAlpha.paletteAlpha = {128};  // entries past the list stay opaque
  PngForm grey2Bit = formOf(4, 1, 2, PNG_COLOR_TYPE_GRAY);
  grey2Bit.rows = {{0b00011011}};
  // 0x12FF is 0x12 by its high byte, 0x13 if it were rounded.
  PngForm grey16 = formOf(2, 1, 16, PNG_COLOR_TYPE_GRAY);
  grey16.rows = {{0x12, 0xFF, 0xAB, 0x00}};
  PngForm grey16Transparent = grey16;
  grey16Transparent.rows = {{0x12, 0x00, 0x12, 0xFF}};
  grey16Transparent.transparentColour.gray = 0x1200;
  grey16Transparent.hasTransparentColour = true;
  PngForm rgbTransparent = formOf(2, 1, 8, PNG_COLOR_TYPE_RGB);
  rgbTransparent.rows = {{10, 20, 30, 10, 20, 31}};
  rgbTransparent.transparentColour.red = 10;
  rgbTransparent.transparentColour.green = 20;
  rgbTransparent.transparentColour.blue = 30;
  rgbTransparent.hasTransparentColour = true;
  PngForm interlacedWithGamma = formOf(3, 3, 8, PNG_COLOR_TYPE_RGB, true);
  interlacedWithGamma.gamma = true;
  Bytes nineColours;
  for (int i = 0; i < 27; ++i) nineColours.push_back(static_cast<unsigned char>(i * 9));
  for (int y = 0; y < 3; ++y) interlacedWithGamma.rows.push_back(Bytes(&nineColours[y * 9], &nineColours[y * 9 + 9]));
  PngForm rgba16 = formOf(1, 1, 16, PNG_COLOR_TYPE_RGBA);
  rgba16.rows = {{0x01, 0xFF, 0x02, 0x80, 0xFE, 0x01, 0x7F, 0xFF}};

  const std::vector<Case> cases = {
      {"palette of 2 bits", palette2Bit, 3, {255, 0, 0, 0, 255, 0, 0, 0, 255}},
      {"palette with alpha", paletteAlpha, 4, {255, 0, 0, 128, 0, 255, 0, 255, 0, 0, 255, 255}},
      {"grey of 2 bits", grey2Bit, 1, {0, 0, 0, 255, 85, 85, 85, 255, 170, 170, 170, 255, 255, 255, 255, 255}},
      {"grey of 16 bits", grey16, 1, {0x12, 0x12, 0x12, 255, 0xAB, 0xAB, 0xAB, 255}},
      {"grey of 16 bits, transparent colour", grey16Transparent, 2, {0x12, 0x12, 0x12, 0, 0x12, 0x12, 0x12, 255}},
      {"RGB, transparent colour", rgbTransparent, 4, {10, 20, 30, 0, 10, 20, 31, 255}},
      {"RGB, Adam7, gamma chunk", interlacedWithGamma, 3, nineColours},
      {"RGBA of 16 bits", rgba16, 4, {0x01, 0x02, 0xFE, 0x7F}},
  };
  for (const Case& c : cases) {
    const Bytes png = pngWrittenBy(c.form);
    ASSERT_FALSE(png.empty()) << c.name;
    const TexturePixels image = decode(png);
    ASSERT_TRUE(image.ok()) << c.name << ": " << image.refusal;
    EXPECT_EQ(image.width, c.form.width) << c.name;
    EXPECT_EQ(image.height, c.form.height) << c.name;
    EXPECT_EQ(image.channels, c.channels) << c.name;
    EXPECT_EQ(image.bytes, c.upload) << c.name;
  }
}

TEST(TexturePixels, JpegGreyIsOneChannelWidenedColourAndCmykAreThree) {
  const TexturePixels grey = decode(jpegOf(16, 8, JCS_GRAYSCALE, {100}, false));
  ASSERT_TRUE(grey.ok()) << grey.refusal;
  EXPECT_EQ(grey.channels, 1);
  EXPECT_EQ(grey.upload(), grey.bytes.data());
  expectEveryPixelNear(grey, {100, 100, 100, 255}, 1);

  for (bool progressive : {false, true}) {
    const TexturePixels colour = decode(jpegOf(24, 16, JCS_RGB, {200, 40, 90}, progressive));
    ASSERT_TRUE(colour.ok()) << colour.refusal;
    EXPECT_EQ(colour.width, 24);
    EXPECT_EQ(colour.height, 16);
    EXPECT_EQ(colour.channels, 3);
    expectEveryPixelNear(colour, {200, 40, 90}, 3);
  }

  // libjpeg writes CMYK with Adobe's marker, whose convention is inverted:
  // these samples are no cyan, full magenta, half yellow, no black.
  const TexturePixels cmyk = decode(jpegOf(8, 8, JCS_CMYK, {255, 0, 128, 255}, false));
  ASSERT_TRUE(cmyk.ok()) << cmyk.refusal;
  EXPECT_EQ(cmyk.channels, 3);
  expectEveryPixelNear(cmyk, {255, 0, 128}, 3);
}

TEST(TexturePixels, CutDamagedAndForeignFilesAreRefusedWithTheirReason) {
  const Bytes png = pngOf(16, 16, 3, Bytes(16 * 16 * 3, 77));
  const size_t idat = chunkAt(png, "IDAT");
  ASSERT_GT(idat, 0u);
  Bytes damagedPng = png;
  // A byte of the IDAT's CRC: the data inflates, the check fails.
  const size_t idatLength = size_t(png[idat]) << 24 | size_t(png[idat + 1]) << 16 | size_t(png[idat + 2]) << 8 | png[idat + 3];
  damagedPng[idat + 8 + idatLength] ^= 0xFF;
  const Bytes colourJpeg = jpegOf(32, 32, JCS_RGB, {10, 20, 30}, false);
  const Bytes progressiveJpeg = jpegOf(32, 32, JCS_RGB, {10, 20, 30}, true);
  // The fuzzer's find: Huffman tables that overrun stb_image's.
  const Bytes huffmanTables = {0xFF, 0xD8, 0xFF, 0xC4, 0xC4, 0x4F, 0x00, 0x00, 0x00, 0x2D, 0xC4, 0xC4,
                               0xC4, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x41, 0xC4, 0x6F};
  struct Case {
    const char* name;
    Bytes bytes;
    std::string refusal;
  };
  const std::vector<Case> cases = {
      {"PNG cut in its image data", Bytes(png.begin(), png.begin() + idat + 10),
       "a PNG chunk runs past the end of the file"},
      {"PNG with a damaged byte", damagedPng, "PNG: IDAT: CRC error"},
      {"JPEG cut in its scan", Bytes(colourJpeg.begin(), colourJpeg.end() - colourJpeg.size() / 3),
       "JPEG: Premature end of JPEG file"},
      {"JPEG without its end marker", Bytes(colourJpeg.begin(), colourJpeg.end() - 2),
       "JPEG: Premature end of JPEG file"},
      {"progressive JPEG cut", Bytes(progressiveJpeg.begin(), progressiveJpeg.end() - progressiveJpeg.size() / 3),
       "JPEG: Premature end of JPEG file"},
      {"JPEG with bad Huffman tables", huffmanTables, "JPEG: Bogus Huffman table definition"},
      {"GIF", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0},
       "not a PNG, JPEG or Radiance HDR file (its first bytes are none of theirs)"},
      {"nothing", Bytes{}, "the file is empty"},
  };
  for (const Case& c : cases) {
    const TexturePixels image = decode(c.bytes);
    EXPECT_EQ(image.refusal, c.refusal) << c.name;
    EXPECT_EQ(image.upload(), nullptr) << c.name;
    EXPECT_TRUE(image.bytes.empty()) << c.name;
  }
}

TEST(TexturePixels, HeadersThatWouldSizeTheBuffersAreRefusedBeforeDecoding) {
  const Bytes good = pngOf(3, 2, 3, Bytes(18, 7));
  ASSERT_TRUE(decode(good).ok());
  const size_t idat = chunkAt(good, "IDAT");
  const size_t ihdr = chunkAt(good, "IHDR");
  ASSERT_GT(idat, 0u);

  // The chunk's length alone must not size a buffer.
  Bytes longChunk = good;
  writeUint32BE(0x7FFFFFF0u, &longChunk[idat]);
  EXPECT_EQ(decode(longChunk).refusal, "a PNG chunk runs past the end of the file");

  Bytes huge = good;
  writeUint32BE(16384, &huge[ihdr + 8]);
  writeUint32BE(16384, &huge[ihdr + 12]);
  EXPECT_EQ(decode(huge).refusal, "image of 16384x16384 pixels");
  Bytes long1 = good;
  writeUint32BE(70000, &long1[ihdr + 8]);
  writeUint32BE(1, &long1[ihdr + 12]);
  EXPECT_EQ(decode(long1).refusal, "image of 70000x1 pixels");

  // A JPEG's frame header: height and width follow its length and precision.
  Bytes hugeJpeg = jpegOf(8, 8, JCS_GRAYSCALE, {0}, false);
  size_t frame = 0;
  for (size_t i = 2; i + 9 < hugeJpeg.size() && frame == 0; ++i) {
    if (hugeJpeg[i] == 0xFF && hugeJpeg[i + 1] == 0xC0) frame = i;
  }
  ASSERT_GT(frame, 0u);
  for (size_t at : {frame + 5, frame + 7}) {
    hugeJpeg[at] = 0x40;  // 16384
    hugeJpeg[at + 1] = 0x00;
  }
  EXPECT_EQ(decode(hugeJpeg).refusal, "image of 16384x16384 pixels");

  // A Radiance width that is not a number reads as 0.
  const TexturePixels empty = decode(std::string("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X x\n"));
  EXPECT_TRUE(empty.isHDR);
  EXPECT_EQ(empty.refusal, "image of 0x2 pixels");
  EXPECT_EQ(empty.upload(), nullptr);
}

TEST(TexturePixels, RadianceFilesDecodeToFloatRgb) {
  // Two flat RGBE pixels: mantissas over 256, scaled by 2^(exponent - 128).
  const std::string pixels("\x80\x40\x20\x81\x00\x00\x00\x00", 8);
  for (const char* signature : {"#?RADIANCE\n", "#?RGBE\n"}) {
    const TexturePixels image = decode(std::string(signature) + "FORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 2\n" + pixels);
    ASSERT_TRUE(image.ok()) << signature << image.refusal;
    EXPECT_TRUE(image.isHDR);
    EXPECT_EQ(image.channels, 3);
    EXPECT_EQ(image.floats, (std::vector<float>{1.0f, 0.5f, 0.25f, 0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(image.upload(), image.floats.data());
  }
}
