// Ends the program the moment Escape is pressed on the show's window, even
// while a frame is being drawn: the frame loop sees keys only between frames,
// and on a software renderer one frame of the show takes a second or more. A
// thread of its own, on a second connection to the X server, waits for the
// key; on it the program logs one line and ends with _exit(0): nothing of the
// show needs saving, and the sound and the window end with the process.
// Windows that are not X11 windows are not watched (Escape is then seen
// between frames, as always). Owns its thread and its X connection; never
// touches the show.
#pragma once

#include <memory>
#include <string>
#include <thread>

struct GLWindow;

class EscapeWatch {
 public:
  // Watches the X11 window `xWindow` on the display `displayName`; watches
  // nothing when the display cannot be opened.
  EscapeWatch(const std::string& displayName, unsigned long xWindow);
  // Stops watching.
  ~EscapeWatch();
  EscapeWatch(const EscapeWatch&) = delete;
  EscapeWatch& operator=(const EscapeWatch&) = delete;

  bool watching() const { return thread_.joinable(); }

 private:
  void run();

  void* display_ = nullptr;  // Display*; Xlib's names stay in the .cpp
  unsigned long window_ = 0;
  int stopPipe_[2] = {-1, -1};
  std::thread thread_;
};

// A watch on the window when it is an X11 window, else null.
std::unique_ptr<EscapeWatch> watchEscape(const GLWindow& window);
