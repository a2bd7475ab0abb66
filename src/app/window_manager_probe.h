// Whether an X11 display has a window manager. A full-screen request goes
// through the window manager: SDL asks it, then polls for up to 100 ms for
// the window to move. On a bare X server (a party machine's kiosk session,
// Xvfb on a render node or in the tests) nobody answers, and the start of
// the show waits the whole 100 ms for nothing.
#pragma once

// True only when the display (DISPLAY when null) is a reachable X server
// whose root window carries no _NET_SUPPORTING_WM_CHECK (the property every
// EWMH window manager sets). False when there is one, or when it cannot tell.
bool x11DisplayHasNoWindowManager(const char* displayName = nullptr);
