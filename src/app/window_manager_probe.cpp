#include "app/window_manager_probe.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

bool x11DisplayHasNoWindowManager(const char* displayName) {
  Display* display = XOpenDisplay(displayName);
  if (!display) return false;
  bool none = true;
  // Only an existing atom is looked up: on a server where no window manager
  // ever ran, the name was never interned.
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check != None) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* value = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                                          &type, &format, &count, &remaining, &value);
    // A property left by a window manager that has since gone reads as one
    // still running: the full-screen request then merely waits as before.
    if (status != Success || (type == XA_WINDOW && count == 1)) none = false;
    if (value) XFree(value);
  }
  XCloseDisplay(display);
  return none;
}
