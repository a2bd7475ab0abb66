// The framebuffer that stands for "the screen": 0 (the window) for the
// player; an off-screen image for the offline renderer, so the final
// composition lands there at any size, independent of the window. Render
// targets return to it when they end.
#pragma once

#include "gpu/gl.h"

GLuint screenFramebuffer();
void setScreenFramebuffer(GLuint framebuffer);
