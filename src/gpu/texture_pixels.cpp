#include "gpu/texture_pixels.h"

#include <stb_image.h>

#include <climits>
#include <cstring>

namespace {
constexpr int kRgbaChannels = 4;
constexpr size_t kPngSignatureBytes = 8;
constexpr size_t kPngChunkFrameBytes = 12;  // length, type, CRC
const unsigned char kPngSignature[kPngSignatureBytes] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

template <class T>
std::vector<T> expand(const T* pixels, size_t pixelCount, int channels, T opaque) {
  std::vector<T> rgba(pixelCount * kRgbaChannels);
  for (size_t i = 0; i < pixelCount; ++i) {
    const T grey = pixels[i * channels];
    const T alpha = channels == 2 ? pixels[i * channels + 1] : opaque;
    rgba[i * 4 + 0] = grey;
    rgba[i * 4 + 1] = grey;
    rgba[i * 4 + 2] = grey;
    rgba[i * 4 + 3] = alpha;
  }
  return rgba;
}

// Never empty: a refusal must read as one even where stb_image gives no text.
std::string stbReason() {
  const char* reason = stbi_failure_reason();
  return reason && *reason ? reason : "not an image stb_image decodes";
}

uint32_t readUint32BE(const uint8_t* bytes) {
  return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]);
}

// stb_image grows its buffer to a PNG chunk's announced length before it
// reads the chunk, so a few bytes can ask for gigabytes. Every chunk up to
// IEND must lie within the file (stb_image refuses the file otherwise anyway).
bool pngChunksFit(const uint8_t* bytes, size_t size) {
  if (size < kPngSignatureBytes || std::memcmp(bytes, kPngSignature, kPngSignatureBytes) != 0) return true;
  size_t offset = kPngSignatureBytes;
  while (size - offset >= kPngChunkFrameBytes) {
    const uint32_t length = readUint32BE(bytes + offset);
    if (length > size - offset - kPngChunkFrameBytes) return false;
    if (std::memcmp(bytes + offset + 4, "IEND", 4) == 0) return true;
    offset += kPngChunkFrameBytes + length;
  }
  return false;
}
}  // namespace

void TexturePixels::FreeDecoded::operator()(void* pixels) const { stbi_image_free(pixels); }

const void* TexturePixels::upload() const {
  if (!expandedBytes.empty()) return expandedBytes.data();
  if (!expandedFloats.empty()) return expandedFloats.data();
  return decoded.get();
}

TexturePixels decodeTexturePixels(const uint8_t* bytes, size_t size) {
  TexturePixels image;
  if (bytes == nullptr || size == 0 || size > static_cast<size_t>(INT_MAX)) {
    image.refusal = "no bytes, or more than stb_image reads";
    return image;
  }
  const int length = static_cast<int>(size);
  image.isHDR = stbi_is_hdr_from_memory(bytes, length) != 0;
  int width = 0;
  int height = 0;
  int channels = 0;
  if (!pngChunksFit(bytes, size)) {
    image.refusal = "a PNG chunk runs past the end of the file";
    return image;
  }
  if (!stbi_info_from_memory(bytes, length, &width, &height, &channels)) {
    image.refusal = stbReason();
    return image;
  }
  // HDR values are floats; 16-bit files are decoded through 16-bit buffers.
  const uint64_t valueBytes = image.isHDR || stbi_is_16_bit_from_memory(bytes, length) ? 4 : 1;
  // A side of 0 is possible too: a Radiance header whose width is not a number.
  if (width <= 0 || height <= 0 ||
      uint64_t(width) * uint64_t(height) * kRgbaChannels * valueBytes > kMaxTexturePixelBytes) {
    image.refusal = "image of " + std::to_string(width) + "x" + std::to_string(height) + " pixels";
    return image;
  }

  void* decoded = image.isHDR ? static_cast<void*>(stbi_loadf_from_memory(bytes, length, &width, &height, &channels, 0))
                              : static_cast<void*>(stbi_load_from_memory(bytes, length, &width, &height, &channels, 0));
  image.decoded.reset(decoded);
  if (!decoded) {
    image.refusal = stbReason();
    return image;
  }
  if (width <= 0 || height <= 0 || channels < 1 || channels > kRgbaChannels) {
    image.decoded.reset();
    image.refusal = "no pixels";
    return image;
  }
  image.width = width;
  image.height = height;
  image.channels = channels;
  const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (channels < 3) {
    if (image.isHDR) {
      image.expandedFloats = expandToRGBA(static_cast<const float*>(decoded), pixelCount, channels);
    } else {
      image.expandedBytes = expandToRGBA(static_cast<const unsigned char*>(decoded), pixelCount, channels);
    }
  }
  return image;
}

std::vector<unsigned char> expandToRGBA(const unsigned char* pixels, size_t pixelCount, int channels) {
  return expand(pixels, pixelCount, channels, static_cast<unsigned char>(255));
}

std::vector<float> expandToRGBA(const float* pixels, size_t pixelCount, int channels) {
  return expand(pixels, pixelCount, channels, 1.0f);
}
