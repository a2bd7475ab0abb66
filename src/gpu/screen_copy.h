// A copy of the finished picture on the screen, kept so that it can be put
// back without drawing it again: the live mode's paused picture, presented
// frame after frame with only the display drawn anew. Owns one colour
// framebuffer of the window's size; the screen is whatever
// screenFramebuffer() names.
#pragma once

#include "gpu/render_target.h"

class ScreenCopy {
 public:
  // Copies the screen's colour (width x height, from its corner) into the
  // copy, made again when the size changed. Needs a current GL context.
  void keep(int width, int height);
  // Puts the copy back on the screen; false, drawing nothing, when there is
  // none of this size.
  bool present(int width, int height) const;
  // Drops the copy: what is on screen no longer matches it.
  void forget() { held_ = false; }
  bool holds(int width, int height) const { return held_ && width == width_ && height == height_; }

 private:
  ColorDepthFramebuffer buffers_;
  int width_ = 0;
  int height_ = 0;
  bool held_ = false;
};
