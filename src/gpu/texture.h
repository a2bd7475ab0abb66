// Texture: an image file (PNG, JPEG, Radiance HDR) decoded by
// gpu/texture_pixels.h into a mipmapped 2D texture (the chain built when it
// is first bound with a mipmap filter). HDR images become float textures,
// names starting with "_" hold data (linear RGBA), every other image is
// sRGB. Binding goes through gpu/texture_binding.h.
#pragma once

#include <string>

#include "gpu/gl_handle.h"
#include "gpu/texture_pixels.h"
#include "resources/data_object.h"

class Texture : public DataObject {
 public:
  // Decodes and uploads the image; logs "Texture %s failed to load\n" and
  // returns false when it cannot be decoded (no GL texture is made then).
  bool load(std::string path) override;
  // The same with the file's pixels already decoded (gpu/image_prefetch.h).
  bool loadDecoded(const std::string& path, TexturePixels pixels);
  // Why the last load failed, in words (the decoder's refusal, or why the
  // file could not be read); empty after a load that succeeded.
  std::string failureReason;
  void bindTexture(int unit, int minFilter, int magFilter, int wrap) override;

  int width = 0;
  int height = 0;
  int channels = 0;  // as the decoder reports the file
  bool isHDR = false;
  bool isSRGB = false;
  TextureHandle texture;
  // What level 0 was defined with (images of one or two channels are
  // expanded to four before the upload).
  GLenum internalFormat = 0;
  GLenum pixelFormat = 0;
  GLenum pixelType = 0;

 private:
  bool mipmapsPending_ = false;
};
