// The one window of the program and its OpenGL context, over SDL2: window
// creation (full screen, or the 640 x 360 development mode), a compatibility
// GL context with GLEW, event draining into the key table, buffer swaps.
// Does not own what is drawn.
#pragma once

#include <string>

#include "base/keys.h"

struct SDL_Window;

struct GLWindow {
  SDL_Window* window = nullptr;
  void* context = nullptr;  // SDL_GLContext, set only when creation succeeded
  bool depthFallback = false;  // 32-bit depth refused, 24 bits in use
  KeyStateTable keys;
};

// Starts SDL's video system, once (the window functions start it when it is
// not yet). False when it cannot start (logged). Starting it may fork a
// helper: the desktop bus's autolaunch, when no session bus is given.
bool StartWindowSystem();

// Creates and shows the window; sets the screen metrics. Returns false when
// the video system or the window cannot be created (logged).
bool OpenWindow(GLWindow& window, bool fullScreen, const std::string& className);

// A resizable window of the given size (the live authoring mode's, and
// --window's); sets the screen metrics. False (logged) like OpenWindow.
bool OpenSizedWindow(GLWindow& window, int width, int height, const std::string& title);

// A small hidden window for programs that draw only off-screen (the offline
// renderer): same context attributes, no screen metrics set. False (logged)
// when there is no display.
bool OpenHiddenWindow(GLWindow& window);

// Context, GLEW and the four status lines.
bool CreateGLContext(GLWindow& window);

void ReleaseGLContext(GLWindow& window);

// Drains pending events: keys, focus, mouse, size changes (metrics and
// viewport). Returns false once the window was closed.
bool PumpMessages(GLWindow& window);

void SwapBuffers(GLWindow& window);

// The X server's display name and the window's X11 id, for code that talks to
// the server on a connection of its own; false on other window systems.
bool X11WindowOf(const GLWindow& window, std::string& displayName, unsigned long& xWindow);
