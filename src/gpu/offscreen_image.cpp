#include "gpu/offscreen_image.h"

OffscreenImage::OffscreenImage(int width, int height) : width_(width), height_(height) {
  complete_ = buffers_.createAttachments(width, height, kFormatRGBA8) == nullptr;
}

void OffscreenImage::read(std::vector<unsigned char>& rgba) const {
  const size_t row = static_cast<size_t>(width_) * 4;
  rgba.resize(row * static_cast<size_t>(height_));
  glBindFramebuffer(GL_FRAMEBUFFER, buffers_.framebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  flipRows(rgba, row, static_cast<size_t>(height_));
}
