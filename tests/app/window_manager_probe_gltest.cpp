#include "app/window_manager_probe.h"

#include <gtest/gtest.h>

#include "support/e2e_support.h"

// After gtest: Xlib's macros (None, Bool) would break its templates.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

// A private X server, so that the property set here reaches no other test.
TEST(WindowManagerProbe, TellsABareServerFromOneWhereAWindowManagerAnnouncedItself) {
  XvfbServer x(320, 240);
  ASSERT_TRUE(x.running());
  EXPECT_TRUE(x11DisplayHasNoWindowManager(x.display().c_str()));

  // What an EWMH window manager does when it starts: a check window, named
  // on the root window and on itself.
  Display* display = XOpenDisplay(x.display().c_str());
  ASSERT_NE(display, nullptr);
  const Window root = DefaultRootWindow(display);
  Window check = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
  const Atom atom = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  XChangeProperty(display, root, atom, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&check), 1);
  XChangeProperty(display, check, atom, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&check), 1);
  XSync(display, False);
  EXPECT_FALSE(x11DisplayHasNoWindowManager(x.display().c_str()));

  // Gone again: the atom stays interned, the property does not.
  XDeleteProperty(display, root, atom);
  XSync(display, False);
  EXPECT_TRUE(x11DisplayHasNoWindowManager(x.display().c_str()));
  XCloseDisplay(display);

  // No server to ask: full screen the usual way.
  EXPECT_FALSE(x11DisplayHasNoWindowManager(":4095"));
}
