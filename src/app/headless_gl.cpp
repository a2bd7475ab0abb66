#include "app/headless_gl.h"

#include <GL/glew.h>
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>
#include <vector>

#include "base/log.h"

namespace {
constexpr int kMaxDevices = 16;
constexpr EGLint kPbufferSide = 16;

bool hasExtension(const char* extensions, const char* name) {
  if (!extensions) return false;
  const size_t length = std::strlen(name);
  for (const char* at = std::strstr(extensions, name); at; at = std::strstr(at + 1, name)) {
    const bool startsWord = at == extensions || at[-1] == ' ';
    const bool endsWord = at[length] == ' ' || at[length] == '\0';
    if (startsWord && endsWord) return true;
  }
  return false;
}

// Displays to try, best first: each GPU device, then the software device,
// then the surfaceless platform.
std::vector<std::pair<EGLDisplay, std::string>> candidateDisplays() {
  std::vector<std::pair<EGLDisplay, std::string>> gpus;
  std::vector<std::pair<EGLDisplay, std::string>> software;
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
  auto queryDeviceString =
      reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
  if (getPlatformDisplay && queryDevices && hasExtension(clientExtensions, "EGL_EXT_platform_device")) {
    EGLDeviceEXT devices[kMaxDevices];
    EGLint count = 0;
    if (queryDevices(kMaxDevices, devices, &count)) {
      for (EGLint i = 0; i < count; ++i) {
        const char* extensions = queryDeviceString ? queryDeviceString(devices[i], EGL_EXTENSIONS) : nullptr;
        const bool isSoftware = hasExtension(extensions, "EGL_MESA_device_software");
        const char* node = hasExtension(extensions, "EGL_EXT_device_drm") && queryDeviceString
                               ? queryDeviceString(devices[i], EGL_DRM_DEVICE_FILE_EXT)
                               : nullptr;
        EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
        if (display == EGL_NO_DISPLAY) continue;
        std::string name = isSoftware ? "software device" : std::string("device ") + (node ? node : std::to_string(i));
        (isSoftware ? software : gpus).push_back({display, name});
      }
    }
  }
  gpus.insert(gpus.end(), software.begin(), software.end());
  if (getPlatformDisplay && hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display != EGL_NO_DISPLAY) gpus.push_back({display, "surfaceless platform"});
  }
  return gpus;
}

bool makeContext(EGLDisplay display, HeadlessGL& gl) {
  EGLint major = 0;
  EGLint minor = 0;
  if (!eglInitialize(display, &major, &minor)) return false;
  if (!eglBindAPI(EGL_OPENGL_API)) {
    eglTerminate(display);
    return false;
  }
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                     EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                     EGL_DEPTH_SIZE, 24, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint configs = 0;
  if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1) {
    eglTerminate(display);
    return false;
  }
  // The show's shaders are legacy GLSL: a compatibility context.
  const EGLint compatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                  EGL_NONE};
  EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, compatibility);
  if (context == EGL_NO_CONTEXT) context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  if (context == EGL_NO_CONTEXT) {
    eglTerminate(display);
    return false;
  }
  EGLSurface surface = EGL_NO_SURFACE;
  if (!hasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
    const EGLint pbuffer[] = {EGL_WIDTH, kPbufferSide, EGL_HEIGHT, kPbufferSide, EGL_NONE};
    surface = eglCreatePbufferSurface(display, config, pbuffer);
  }
  if (!eglMakeCurrent(display, surface, surface, context)) {
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    eglDestroyContext(display, context);
    eglTerminate(display);
    return false;
  }
  gl.display = display;
  gl.context = context;
  gl.surface = surface;
  return true;
}
}  // namespace

bool CreateHeadlessGLContext(HeadlessGL& gl) {
  for (const auto& [display, name] : candidateDisplays()) {
    if (makeContext(display, gl)) {
      gl.device = name;
      break;
    }
  }
  if (!gl.context) {
    Log("error::no EGL display or context (EGL error 0x%x)\n", static_cast<unsigned>(eglGetError()));
    return false;
  }
  glewExperimental = GL_TRUE;
  const GLenum status = glewInit();
  // GLEW loads the GL entry points, then fails to find a GLX display for its
  // GLX part: with an EGL context that result is expected and harmless.
  if (status != GLEW_OK && status != GLEW_ERROR_NO_GLX_DISPLAY) {
    Log("error::glewInit failed (%u)\n", static_cast<unsigned>(status));
    ReleaseHeadlessGLContext(gl);
    return false;
  }
  glGetError();
  Log("\tStatus: Using GLEW %s\n", reinterpret_cast<const char*>(glewGetString(GLEW_VERSION)));
  Log("\tEGL: %s, no display server\n", gl.device.c_str());
  Log("\tOpenGL Vendor: %s\n", reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
  Log("\tOpenGL Render: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  Log("\tOpenGL Version: %s\n\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)));
  return true;
}

void ReleaseHeadlessGLContext(HeadlessGL& gl) {
  if (!gl.display) return;
  EGLDisplay display = static_cast<EGLDisplay>(gl.display);
  eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (gl.surface) eglDestroySurface(display, static_cast<EGLSurface>(gl.surface));
  if (gl.context) eglDestroyContext(display, static_cast<EGLContext>(gl.context));
  eglTerminate(display);
  gl = HeadlessGL{};
}
