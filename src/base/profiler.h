// Per-frame section timing: marks split a frame into named sections; running
// sums, minima and maxima per section; a report on O and a reset on P.
// Also the busy-waiting frame limiter. Wall time, not music time.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Profiler {
 public:
  using Clock = std::chrono::steady_clock;

  Profiler();

  void Mark(const char* label);
  void BeginFrame();
  // Accumulates the frame, polls P (reset) and O (prints report()).
  void EndFrame();
  // Prints report() on a press of O: EndFrame's last step, also asked for
  // by a live frame that presents a kept picture instead of drawing.
  void ReportOnKey();
  void Reset(int32_t newSignature);

  // The report text that O prints; safe to ask for at any time (empty before
  // the first frame).
  std::string report() const;

  // Sum of the lengths of labels[1..n-1].
  int32_t labelSignature() const;

  Clock::time_point start;
  double secondsPerTick = 1e-9;
  std::vector<double> times;
  std::vector<std::string> labels;
  int32_t frameCount = 0;
  // Called by every Mark with the mark's index in the frame, e.g. so GPU
  // timestamps can be taken at the same points. Empty: nothing is called.
  std::function<void(size_t)> markHook;
  int32_t signature = 0;
  std::vector<double> sums;
  std::vector<double> maxima;
  std::vector<double> minima;
};

// Spins until at least 1/rate seconds have passed since its previous return.
void LimitFrameRate(double rate);
