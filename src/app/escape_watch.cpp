#include "app/escape_watch.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>

#include "app/window.h"
#include "base/log.h"

EscapeWatch::EscapeWatch(const std::string& displayName, unsigned long xWindow) : window_(xWindow) {
  Display* display = XOpenDisplay(displayName.c_str());
  if (!display) return;
  if (pipe(stopPipe_) != 0) {
    XCloseDisplay(display);
    return;
  }
  // Any number of clients may select key presses on one window: the show's
  // own connection keeps receiving them.
  XSelectInput(display, window_, KeyPressMask);
  XFlush(display);
  display_ = display;
  thread_ = std::thread([this] { run(); });
}

EscapeWatch::~EscapeWatch() {
  if (thread_.joinable()) {
    const char stop = 's';
    if (write(stopPipe_[1], &stop, 1) != 1) {
      // A pipe with room for a byte does not refuse one.
    }
    thread_.join();
  }
  if (display_) XCloseDisplay(static_cast<Display*>(display_));
  for (int fd : stopPipe_) {
    if (fd >= 0) close(fd);
  }
}

void EscapeWatch::run() {
  Display* display = static_cast<Display*>(display_);
  while (true) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != KeyPress || XLookupKeysym(&event.xkey, 0) != XK_Escape) continue;
      Log("Escape: the show ends at once\n");
      std::fflush(nullptr);
      _exit(0);
    }
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents != 0) return;
    if (fds[0].revents & (POLLERR | POLLHUP)) return;
  }
}

std::unique_ptr<EscapeWatch> watchEscape(const GLWindow& window) {
  std::string displayName;
  unsigned long xWindow = 0;
  if (!X11WindowOf(window, displayName, xWindow)) return nullptr;
  auto watch = std::make_unique<EscapeWatch>(displayName, xWindow);
  if (!watch->watching()) return nullptr;
  return watch;
}
