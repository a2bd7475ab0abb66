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

  // Reading back without waiting: startRead copies the image into pixel
  // buffer `slot` (0 or 1) and returns at once; finishRead waits for that
  // copy and hands over its pixels, RGBA, top row first. Drawing the next
  // frame in between overlaps the two.
  void startRead(int slot);
  void finishRead(int slot, std::vector<unsigned char>& rgba);

 private:
  int width_;
  int height_;
  size_t byteCount() const { return static_cast<size_t>(width_) * 4 * static_cast<size_t>(height_); }

  ColorDepthFramebuffer buffers_;
  BufferHandle packBuffers_[2];
  bool complete_ = false;
};
