// An image file's bytes decoded for a texture, without GL (the texture
// loader and its fuzzer share it): stb_image behind checks that keep a
// damaged or hostile file from making it allocate by the numbers in its
// header, and grey or grey-alpha pixels widened to RGBA for the upload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Decoded pixels beyond this (an 8192 x 8192 RGBA image) are refused before
// anything is decoded: the header alone would otherwise size the buffers.
constexpr uint64_t kMaxTexturePixelBytes = uint64_t(256) << 20;

struct TexturePixels {
  int width = 0;
  int height = 0;
  int channels = 0;     // as the file has them, 1 to 4
  bool isHDR = false;   // a Radiance file: the values are floats
  std::string refusal;  // empty when the image was decoded

  bool ok() const { return refusal.empty(); }
  // width x height pixels of 3 values (channels == 3) or 4 (any other
  // count, grey widened to RGBA): floats for HDR, bytes otherwise.
  const void* upload() const;

  struct FreeDecoded {
    void operator()(void* pixels) const;
  };
  std::unique_ptr<void, FreeDecoded> decoded;  // as stb_image returned them
  std::vector<unsigned char> expandedBytes;
  std::vector<float> expandedFloats;
};

TexturePixels decodeTexturePixels(const uint8_t* bytes, size_t size);

// pixelCount pixels of `channels` (1 or 2) values each, as RGBA: grey copied
// into red, green and blue, alpha from the second channel or opaque. Reads
// exactly pixelCount * channels values, so the upload never reads more than
// the decoder returned.
std::vector<unsigned char> expandToRGBA(const unsigned char* pixels, size_t pixelCount, int channels);
std::vector<float> expandToRGBA(const float* pixels, size_t pixelCount, int channels);
