#include "gpu/texture_1d.h"

#include <vector>

void Texture1D::create(int width) {
  texture_ = generateTexture();
  glBindTexture(GL_TEXTURE_1D, texture_);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  width_ = width;
  const std::vector<float> zeros(static_cast<size_t>(width), 0.0f);
  glTexImage1D(GL_TEXTURE_1D, 0, GL_R32F, width_, 0, GL_RED, GL_FLOAT, zeros.data());
  glBindTexture(GL_TEXTURE_1D, 0);
}

void Texture1D::bind(int unit) const {
  glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
  glBindTexture(GL_TEXTURE_1D, texture_);
}

void Texture1D::upload(const float* values) const {
  glBindTexture(GL_TEXTURE_1D, texture_);
  glTexSubImage1D(GL_TEXTURE_1D, 0, 0, width_, GL_RED, GL_FLOAT, values);
}
