#include "gpu/texture_binding.h"

#include "base/log.h"
#include "gpu/uniforms.h"

namespace {
const char* const kSamplerNames[kMaxTextureUnit + 1] = {
    "Texture0", "Texture1", "Texture2", "Texture3", "Texture4",
    "Texture5", "Texture6", "Texture7", "Texture8",
};
const char* const kTexelNames[kMaxTextureUnit + 1] = {
    "texel0", "texel1", "texel2", "texel3", "texel4", "texel5", "texel6", "texel7", "texel8",
};
}  // namespace

std::pair<float, float> texelSizeOf(double width, double height) {
  return {static_cast<float>(1.0 / width), static_cast<float>(1.0 / height)};
}

bool bindTextureToUnit(GLuint texture, double width, double height, int unit, int minFilter,
                       int magFilter, int wrap) {
  if (unit < 0 || unit > kMaxTextureUnit) {
    Log("bindTexture: unit %d is outside 0..%d, nothing bound\n", unit, kMaxTextureUnit);
    return false;
  }
  const bool bound = setUniform1i(kSamplerNames[unit], unit);
  if (bound) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R, wrap);
  }
  // Published even when the program samples nothing on this unit.
  const std::pair<float, float> texel = texelSizeOf(width, height);
  setUniform2f(kTexelNames[unit], texel.first, texel.second);
  return bound;
}

bool usesMipmaps(int minFilter) {
  return minFilter == GL_NEAREST_MIPMAP_NEAREST || minFilter == GL_LINEAR_MIPMAP_NEAREST ||
         minFilter == GL_NEAREST_MIPMAP_LINEAR || minFilter == GL_LINEAR_MIPMAP_LINEAR;
}

void generateMipmaps() {
  if (glGenerateMipmapEXT) {
    glGenerateMipmapEXT(GL_TEXTURE_2D);
  } else {
    glGenerateMipmap(GL_TEXTURE_2D);
  }
}
