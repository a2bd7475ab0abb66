#include "gpu/screen_framebuffer.h"

namespace {
GLuint screen = 0;
}

GLuint screenFramebuffer() { return screen; }
void setScreenFramebuffer(GLuint framebuffer) { screen = framebuffer; }
