#include "gpu/texture.h"

#include <stb_image.h>

#include <cstdio>
#include <vector>

#include "base/log.h"
#include "gpu/texture_binding.h"
#include "resources/file_utils.h"

namespace {
constexpr int kUploadChannels = 4;

// Grey (1 channel) and grey-alpha (2 channels) pixels as RGBA, so the upload
// never reads more than the decoder returned.
template <class T>
std::vector<T> expandToRGBA(const T* pixels, size_t pixelCount, int channels, T opaque) {
  std::vector<T> rgba(pixelCount * kUploadChannels);
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

bool hasRadianceSignature(const std::string& osFilePath) {
  FILE* file = std::fopen(osFilePath.c_str(), "rb");
  if (!file) return false;
  const bool hdr = stbi_is_hdr_from_file(file) != 0;
  std::fclose(file);
  return hdr;
}
}  // namespace

bool Texture::load(std::string imagePath) {
  path = imagePath;
  name = fileNameOf(imagePath);
  fileTime = fileModificationTime(imagePath);

  const std::string osFilePath = osPath(imagePath);
  void* decoded = nullptr;
  isHDR = hasRadianceSignature(osFilePath);
  if (isHDR) {
    decoded = stbi_loadf(osFilePath.c_str(), &width, &height, &channels, 0);
  } else {
    decoded = stbi_load(osFilePath.c_str(), &width, &height, &channels, 0);
  }
  if (!decoded) {
    Log("Texture %s failed to load\n", imagePath.c_str());
    return false;
  }

  const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
  const void* upload = decoded;
  std::vector<float> expandedFloats;
  std::vector<unsigned char> expandedBytes;
  if (channels < 3) {
    if (isHDR) {
      expandedFloats = expandToRGBA(static_cast<const float*>(decoded), pixelCount, channels, 1.0f);
      upload = expandedFloats.data();
    } else {
      expandedBytes = expandToRGBA(static_cast<const unsigned char*>(decoded), pixelCount, channels,
                                   static_cast<unsigned char>(255));
      upload = expandedBytes.data();
    }
  }

  pixelFormat = channels == 3 ? GL_RGB : GL_RGBA;
  if (isHDR) {
    internalFormat = GL_RGB32F;
    pixelType = GL_FLOAT;
    isSRGB = true;
  } else if (!name.empty() && name[0] == '_') {
    internalFormat = GL_RGBA;
    pixelType = GL_UNSIGNED_BYTE;
    isSRGB = false;
  } else {
    internalFormat = GL_SRGB_ALPHA;
    pixelType = GL_UNSIGNED_BYTE;
    isSRGB = true;
  }

  texture = generateTexture();
  glBindTexture(GL_TEXTURE_2D, texture);
  // Rows of three-channel images are tightly packed, not padded to 4 bytes.
  GLint savedAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &savedAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), width, height, 0, pixelFormat,
               pixelType, upload);
  glPixelStorei(GL_UNPACK_ALIGNMENT, savedAlignment);
  generateMipmaps();
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  stbi_image_free(decoded);

  Log("\tLoaded Texture: %s\n", imagePath.c_str());
  Log("\t\t%dx%d  isHDR=%d  isSRGB=%d\n", width, height, isHDR ? 1 : 0, isSRGB ? 1 : 0);
  return true;
}

void Texture::bindTexture(int unit, int minFilter, int magFilter, int wrap) {
  bindTextureToUnit(texture, width, height, unit, minFilter, magFilter, wrap);
}
