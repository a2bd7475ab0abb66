#include "app/window.h"

#include <GL/glew.h>
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <cstdio>
#include <cstring>

#include "app/window_manager_probe.h"
#include "base/log.h"
#include "base/screen.h"

namespace {
constexpr int kDevWidth = 640;
constexpr int kDevHeight = 360;

int virtualKeyOf(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  switch (key) {
    case SDLK_ESCAPE: return vk::Escape;
    case SDLK_UP: return vk::Up;
    case SDLK_DOWN: return vk::Down;
    case SDLK_DELETE: return vk::Delete;
    case SDLK_SPACE: return vk::Space;
    case SDLK_LEFT: return vk::Left;
    case SDLK_RIGHT: return vk::Right;
    case SDLK_PAGEUP: return vk::PageUp;
    case SDLK_PAGEDOWN: return vk::PageDown;
    case SDLK_HOME: return vk::Home;
    case SDLK_LEFTBRACKET: return vk::LeftBracket;
    case SDLK_RIGHTBRACKET: return vk::RightBracket;
    default: return -1;
  }
}

void setGLAttributes(int depthBits) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
}

SDL_Window* createWindow(GLWindow& window, const char* title, int x, int y, int w, int h,
                         Uint32 flags) {
  setGLAttributes(32);
  SDL_Window* created = SDL_CreateWindow(title, x, y, w, h, flags | SDL_WINDOW_OPENGL);
  if (!created) {
    // Many drivers offer no 32-bit depth visual; 24 bits serve the same use.
    setGLAttributes(24);
    created = SDL_CreateWindow(title, x, y, w, h, flags | SDL_WINDOW_OPENGL);
    window.depthFallback = created != nullptr;
  }
  return created;
}
}  // namespace

bool StartWindowSystem() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    Log("error::no window system: %s\n", SDL_GetError());
    return false;
  }
  return true;
}

bool OpenWindow(GLWindow& window, bool fullScreen, const std::string& className) {
  if (!StartWindowSystem()) return false;
  int width = 0;
  int height = 0;
  if (fullScreen) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
      width = mode.w;
      height = mode.h;
    }
    Log("Current Screen Resolution: %d %d\n", width, height);
    std::printf("Current Screen Resolution: %d %d\n", width, height);
    // Without a window manager a borderless window at the origin the size of
    // the desktop is what full screen gives, without SDL's wait for a
    // window manager's answer (see window_manager_probe.h).
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool direct = driver && std::strcmp(driver, "x11") == 0 && x11DisplayHasNoWindowManager();
    window.window = createWindow(window, "", 0, 0, width, height,
                                 direct ? SDL_WINDOW_BORDERLESS : SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
    SDL_ShowCursor(SDL_DISABLE);
  } else {
    width = kDevWidth;
    height = kDevHeight;
    Log("\tDEV_MODE: Window sizes = %dx%d\n", width, height);
    window.window = createWindow(window, className.c_str(), SDL_WINDOWPOS_UNDEFINED, 0, width,
                                 height, SDL_WINDOW_RESIZABLE);
  }
  if (!window.window) {
    Log("error::could not create the window: %s\n", SDL_GetError());
    return false;
  }
  setScreenMetrics(width, height);
  Log("ScreenSize = %dx%d with aspect ratio of %f\n", width, height,
      static_cast<double>(screenAspect));
  SDL_ShowWindow(window.window);
  setInputSource(&window.keys);
  return true;
}

bool OpenSizedWindow(GLWindow& window, int width, int height, const std::string& title) {
  if (!StartWindowSystem()) return false;
  Log("\tWindow = %dx%d\n", width, height);
  window.window = createWindow(window, title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                               height, SDL_WINDOW_RESIZABLE);
  if (!window.window) {
    Log("error::could not create the window: %s\n", SDL_GetError());
    return false;
  }
  setScreenMetrics(width, height);
  Log("ScreenSize = %dx%d with aspect ratio of %f\n", width, height, static_cast<double>(screenAspect));
  SDL_ShowWindow(window.window);
  setInputSource(&window.keys);
  return true;
}

bool OpenHiddenWindow(GLWindow& window) {
  if (!StartWindowSystem()) return false;
  window.window = createWindow(window, "tarvo-render", 0, 0, kDevWidth, kDevHeight, SDL_WINDOW_HIDDEN);
  if (!window.window) {
    Log("error::could not create the window: %s\n", SDL_GetError());
    return false;
  }
  return true;
}

bool CreateGLContext(GLWindow& window) {
  if (!window.window) return false;
  SDL_GLContext context = SDL_GL_CreateContext(window.window);
  if (!context) {
    Log("error::could not create the GL context: %s\n", SDL_GetError());
    return false;
  }
  SDL_GL_MakeCurrent(window.window, context);
  glewExperimental = GL_TRUE;
  if (glewInit() != GLEW_OK) {
    Log("error::glewInit failed\n");
    return false;
  }
  glGetError();  // GLEW's probing may leave an error behind
  Log("\tStatus: Using GLEW %s\n", reinterpret_cast<const char*>(glewGetString(GLEW_VERSION)));
  Log("\tOpenGL Vendor: %s\n", reinterpret_cast<const char*>(glGetString(GL_VENDOR)));
  Log("\tOpenGL Render: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  Log("\tOpenGL Version: %s\n\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)));
  if (window.depthFallback) Log("\tDepth buffer: 32 bits refused, using 24 bits\n");
  window.context = context;
  // Size changes that arrived before the context existed set only the metrics.
  int w = 0;
  int h = 0;
  SDL_GL_GetDrawableSize(window.window, &w, &h);
  const bool hidden = (SDL_GetWindowFlags(window.window) & SDL_WINDOW_HIDDEN) != 0;
  if (w > 0 && h > 0 && !hidden) {
    setScreenMetrics(w, h);
    glViewport(0, 0, w, h);
  }
  return true;
}

void ReleaseGLContext(GLWindow& window) {
  if (!window.window) return;
  SDL_GL_MakeCurrent(window.window, nullptr);
  if (window.context) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(window.context));
  window.context = nullptr;
}

bool PumpMessages(GLWindow& window) {
  bool open = true;
  window.keys.applyPendingReleases();
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_QUIT:
        open = false;
        break;
      case SDL_KEYDOWN:
        if (!event.key.repeat) window.keys.keyDown(virtualKeyOf(event.key.keysym.sym));
        break;
      case SDL_KEYUP:
        window.keys.keyUp(virtualKeyOf(event.key.keysym.sym));
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          setScreenMetrics(event.window.data1, event.window.data2);
          if (window.context) glViewport(0, 0, event.window.data1, event.window.data2);
        } else if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
          open = false;
        }
        break;
      default:
        break;
    }
  }
  window.keys.setFocus((SDL_GetWindowFlags(window.window) & SDL_WINDOW_INPUT_FOCUS) != 0);
  int x = 0;
  int y = 0;
  const Uint32 buttons = SDL_GetGlobalMouseState(&x, &y);
  window.keys.setCursor(x, y, (buttons & SDL_BUTTON_LMASK) != 0);
  return open;
}

void SwapBuffers(GLWindow& window) { SDL_GL_SwapWindow(window.window); }

bool X11WindowOf(const GLWindow& window, std::string& displayName, unsigned long& xWindow) {
#if defined(SDL_VIDEO_DRIVER_X11)
  if (!window.window) return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window.window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  const char* name = XDisplayString(info.info.x11.display);
  if (!name) return false;
  displayName = name;
  xWindow = info.info.x11.window;
  return true;
#else
  (void)window;
  (void)displayName;
  (void)xWindow;
  return false;
#endif
}
