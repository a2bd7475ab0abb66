#include "gpu/texture.h"

#include <vector>

#include "base/log.h"
#include "gpu/image_prefetch.h"
#include "gpu/texture_binding.h"
#include "resources/file_utils.h"

bool Texture::load(std::string imagePath) { return loadDecoded(imagePath, decodeImageFile(imagePath)); }

bool Texture::loadDecoded(const std::string& imagePath, TexturePixels pixels) {
  path = imagePath;
  name = fileNameOf(imagePath);
  fileTime = fileModificationTime(imagePath);

  isHDR = pixels.isHDR;
  failureReason = pixels.refusal;
  if (!pixels.ok()) {
    Log("Texture %s failed to load\n", imagePath.c_str());
    return false;
  }
  width = pixels.width;
  height = pixels.height;
  channels = pixels.channels;
  const void* upload = pixels.upload();

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
  // Made when first sampled through them: a software driver compiles its
  // mipmap blits on first use, a tenth of a second at start-up for images
  // the show may not draw for a while, or never (the camera's HUD image).
  mipmapsPending_ = true;
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);

  Log("\tLoaded Texture: %s\n", imagePath.c_str());
  Log("\t\t%dx%d  isHDR=%d  isSRGB=%d\n", width, height, isHDR ? 1 : 0, isSRGB ? 1 : 0);
  return true;
}

void Texture::bindTexture(int unit, int minFilter, int magFilter, int wrap) {
  if (bindTextureToUnit(texture, width, height, unit, minFilter, magFilter, wrap) && mipmapsPending_ &&
      usesMipmaps(minFilter)) {
    generateMipmaps();
    mipmapsPending_ = false;
  }
}
