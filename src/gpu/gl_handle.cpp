#include "gpu/gl_handle.h"

namespace {
int liveObjects = 0;
}  // namespace

int liveGlObjectCount() { return liveObjects; }
void countGlObject(int change) { liveObjects += change; }

void deleteGlTexture(GLuint name) { glDeleteTextures(1, &name); }
void deleteGlBuffer(GLuint name) { glDeleteBuffers(1, &name); }
void deleteGlFramebuffer(GLuint name) { glDeleteFramebuffers(1, &name); }
void deleteGlRenderbuffer(GLuint name) { glDeleteRenderbuffers(1, &name); }
void deleteGlShader(GLuint name) { glDeleteShader(name); }
void deleteGlProgram(GLuint name) { glDeleteProgram(name); }

TextureHandle generateTexture() {
  GLuint name = 0;
  glGenTextures(1, &name);
  return TextureHandle(name);
}

FramebufferHandle generateFramebuffer() {
  GLuint name = 0;
  glGenFramebuffersEXT(1, &name);
  return FramebufferHandle(name);
}

RenderbufferHandle generateRenderbuffer() {
  GLuint name = 0;
  glGenRenderbuffersEXT(1, &name);
  return RenderbufferHandle(name);
}
