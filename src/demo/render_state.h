// The few render-state combinations the passes use, named once.
#pragma once

#include "gpu/gl.h"

inline void setCapability(GLenum capability, bool on) {
  if (on) {
    glEnable(capability);
  } else {
    glDisable(capability);
  }
}

// Cull, depth test and blending in one call.
inline void setCullDepthBlend(bool cull, bool depth, bool blend) {
  setCapability(GL_CULL_FACE, cull);
  setCapability(GL_DEPTH_TEST, depth);
  setCapability(GL_BLEND, blend);
}

// Blending on with source alpha over the destination.
inline void blendAlpha() {
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// Blending on, adding source colour to the destination.
inline void blendAdditive() {
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFunc(GL_SRC_COLOR, GL_ONE);
}

// Depth test and writes on, less-or-equal, full range.
inline void depthOn() {
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glDepthFunc(GL_LEQUAL);
  glDepthRange(0.0, 1.0);
}
