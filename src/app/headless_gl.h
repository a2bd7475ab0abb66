// A GL context with no window and no display server, over EGL: on a GPU
// when EGL enumerates one, otherwise on Mesa's software device. Nothing is
// drawn to a default framebuffer; the caller renders into framebuffer
// objects. Used by the offline renderer when there is no display.
#pragma once

#include <string>

struct HeadlessGL {
  void* display = nullptr;  // EGLDisplay
  void* context = nullptr;  // EGLContext
  void* surface = nullptr;  // EGLSurface: a tiny pbuffer where surfaceless is missing
  std::string device;       // what EGL said it runs on
};

// Creates the context, makes it current, loads the GL entry points through
// GLEW and logs the same status lines as a window's context, plus the EGL
// device. False (logged) when no EGL display or context can be had.
bool CreateHeadlessGLContext(HeadlessGL& gl);

void ReleaseHeadlessGLContext(HeadlessGL& gl);
