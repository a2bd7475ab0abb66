// An image file's bytes decoded into the pixels a texture uploads, without GL
// (the texture loader and its fuzzer share it). PNG goes through libpng,
// JPEG through libjpeg-turbo, Radiance HDR through stb_image's HDR reader;
// anything else is refused. Sizes are checked from the header before any
// pixel buffer exists, and a damaged or cut file is refused with the
// decoder's reason, never handed on half decoded. Grey and grey-alpha come
// out widened to RGBA. Not here: reading the file, GL (gpu/texture.h).
#pragma once

#include <cstddef>
#include <cstdint>
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
  std::string refusal;  // empty when the image was decoded, else why not

  bool ok() const { return refusal.empty(); }
  // width x height pixels of 3 values (channels == 3) or 4 (any other
  // count, grey widened to RGBA): floats for HDR, bytes otherwise. Null for
  // a refused image.
  const void* upload() const;

  std::vector<unsigned char> bytes;  // the upload of an 8-bit image
  std::vector<float> floats;         // the upload of an HDR image
};

TexturePixels decodeTexturePixels(const uint8_t* bytes, size_t size);
