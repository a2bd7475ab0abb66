// Texture1D: a row of single-channel float values as a 1D texture (linear
// filtering, repeating), for shaders that read a curve by coordinate, such
// as the scene's peak strengths. Replaced in whole each frame.
#pragma once

#include "gpu/gl_handle.h"

class Texture1D {
 public:
  // Creates the texture with width zeros. Needs a current GL context.
  void create(int width);
  // Makes it the 1D texture of the unit (and the active unit that unit).
  void bind(int unit) const;
  // Replaces all width values; binds it on the active unit.
  void upload(const float* values) const;

  GLuint name() const { return texture_; }
  int width() const { return width_; }

 private:
  TextureHandle texture_;
  int width_ = 0;
};
