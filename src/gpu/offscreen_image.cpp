#include "gpu/offscreen_image.h"

#include <cstring>

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

void OffscreenImage::startRead(int slot) {
  BufferHandle& buffer = packBuffers_[slot & 1];
  if (buffer == 0) {
    GLuint name = 0;
    glGenBuffers(1, &name);
    buffer.reset(name);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(byteCount()), nullptr, GL_STREAM_READ);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, buffers_.framebuffer);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

void OffscreenImage::finishRead(int slot, std::vector<unsigned char>& rgba) {
  const size_t bytes = byteCount();
  rgba.resize(bytes);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffers_[slot & 1]);
  if (const void* mapped = glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY)) {
    std::memcpy(rgba.data(), mapped, bytes);
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  flipRows(rgba, static_cast<size_t>(width_) * 4, static_cast<size_t>(height_));
}
