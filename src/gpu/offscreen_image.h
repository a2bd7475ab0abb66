// OffscreenImage: an 8-bit RGBA colour image with a depth buffer, of any
// size, that stands in for the window when frames are rendered off-screen;
// read back as RGBA rows, top row first. Created with the same code as a
// render target.
#pragma once

#include <vector>

#include "gpu/render_target.h"

class OffscreenImage {
 public:
  // Needs a current GL context.
  OffscreenImage(int width, int height);

  bool complete() const { return complete_; }
  GLuint framebuffer() const { return buffers_.framebuffer; }
  int width() const { return width_; }
  int height() const { return height_; }

  // The image's pixels, RGBA, top row first.
  void read(std::vector<unsigned char>& rgba) const;

 private:
  int width_;
  int height_;
  ColorDepthFramebuffer buffers_;
  bool complete_ = false;
};
