// Move-only owners of GL object names: each deletes its object when it is
// destroyed or given a new one, so replacing a resource (a reload) cannot
// leak. The name 0 means "no object" and is never deleted. Reading a handle
// as a GLuint gives the name for GL calls; only the handle may delete it.
#pragma once

#include "gpu/gl.h"

// GL objects owned by handles right now, all kinds together: a leak shows as
// a count that keeps growing.
int liveGlObjectCount();
void countGlObject(int change);

template <void (*DeleteObject)(GLuint)>
class GlHandle {
 public:
  GlHandle() = default;
  explicit GlHandle(GLuint name) : name_(name) {
    if (name_ != 0) countGlObject(1);
  }
  ~GlHandle() { reset(); }
  GlHandle(GlHandle&& other) noexcept : name_(other.name_) { other.name_ = 0; }
  GlHandle& operator=(GlHandle&& other) noexcept {
    if (this != &other) {
      reset();
      name_ = other.name_;
      other.name_ = 0;
    }
    return *this;
  }
  GlHandle(const GlHandle&) = delete;
  GlHandle& operator=(const GlHandle&) = delete;

  GLuint get() const { return name_; }
  operator GLuint() const { return name_; }

  // Deletes the owned object (if any) and takes name instead.
  void reset(GLuint name = 0) {
    if (name_ != 0) {
      DeleteObject(name_);
      countGlObject(-1);
    }
    name_ = name;
    if (name_ != 0) countGlObject(1);
  }
  // Gives up ownership without deleting.
  GLuint release() {
    const GLuint name = name_;
    if (name_ != 0) countGlObject(-1);
    name_ = 0;
    return name;
  }

 private:
  GLuint name_ = 0;
};

void deleteGlTexture(GLuint name);
void deleteGlBuffer(GLuint name);
void deleteGlFramebuffer(GLuint name);
void deleteGlRenderbuffer(GLuint name);
void deleteGlShader(GLuint name);
void deleteGlProgram(GLuint name);

using TextureHandle = GlHandle<deleteGlTexture>;
using BufferHandle = GlHandle<deleteGlBuffer>;
using FramebufferHandle = GlHandle<deleteGlFramebuffer>;
using RenderbufferHandle = GlHandle<deleteGlRenderbuffer>;
using ShaderHandle = GlHandle<deleteGlShader>;
using ProgramHandle = GlHandle<deleteGlProgram>;

// A freshly generated name of each kind, owned.
TextureHandle generateTexture();
FramebufferHandle generateFramebuffer();
RenderbufferHandle generateRenderbuffer();
