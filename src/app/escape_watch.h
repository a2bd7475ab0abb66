// Ends the program within a few tens of milliseconds of an Escape press on
// the show's window, even while a frame is being drawn. The frame loop sees
// keys only between frames, and on a software renderer one frame of the show
// takes a second or more. A thread of its own, on a second connection to the
// X server, waits for the key; the frame loop still ends the show on Escape
// itself, and if its orderly teardown has not ended the program kGrace after
// the press, the watch ends it: one line in the log, then _exit(0). Windows
// that are not X11 windows are not watched (Escape is then seen between
// frames). Owns its thread and its X connection; never touches the show.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

struct GLWindow;

class EscapeWatch {
 public:
  // Long enough for a frame on a GPU and the orderly teardown after it.
  static constexpr std::chrono::milliseconds kGrace{50};

  // Watches the X11 window `xWindow` on the display `displayName`; watches
  // nothing when the display cannot be opened.
  EscapeWatch(const std::string& displayName, unsigned long xWindow);
  // Stops watching: an Escape seen before no longer ends the program.
  ~EscapeWatch();
  EscapeWatch(const EscapeWatch&) = delete;
  EscapeWatch& operator=(const EscapeWatch&) = delete;

  bool watching() const { return thread_.joinable(); }

 private:
  void run();
  // Waits for the stop signal up to the time given; true when it came.
  bool stopRequested(std::chrono::milliseconds wait);

  void* display_ = nullptr;  // Display*; Xlib's names stay in the .cpp
  unsigned long window_ = 0;
  int stopPipe_[2] = {-1, -1};
  std::thread thread_;
};

// A watch on the window when it is an X11 window, else null.
std::unique_ptr<EscapeWatch> watchEscape(const GLWindow& window);
