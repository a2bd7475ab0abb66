#include "gpu/screen_copy.h"

#include "gpu/screen_framebuffer.h"

namespace {
void blit(GLuint from, GLuint to, int width, int height) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
  glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, screenFramebuffer());
}
}  // namespace

void ScreenCopy::keep(int width, int height) {
  held_ = false;
  if (width <= 0 || height <= 0) return;
  if (width != width_ || height != height_ || buffers_.framebuffer == 0) {
    width_ = width;
    height_ = height;
    if (buffers_.createAttachments(width, height, kFormatRGBA8) != nullptr) {
      width_ = height_ = 0;
      return;
    }
  }
  blit(screenFramebuffer(), buffers_.framebuffer, width, height);
  held_ = true;
}

bool ScreenCopy::present(int width, int height) const {
  if (!holds(width, height)) return false;
  blit(buffers_.framebuffer, screenFramebuffer(), width, height);
  return true;
}
