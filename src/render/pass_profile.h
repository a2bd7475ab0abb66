// Per-pass timing of an offline render (--profile): CPU time between the
// frame pipeline's profiler marks and, where the driver has timer queries,
// GPU time between GL timestamps taken at the same marks, averaged over the
// rendered frames; and frames per second with and without the output.
#pragma once

#include <string>
#include <vector>

#include "base/profiler.h"
#include "gpu/gl.h"

class PassProfile {
 public:
  // Takes a GL timestamp at every mark of the profiler. Needs a current GL
  // context.
  void attach(Profiler& profiler);
  ~PassProfile();
  // After a frame was drawn and read back: adds its pass times.
  void frameDone(const Profiler& profiler, double renderSeconds, double outputSeconds);
  // The table, one line per pass, then the frame rates.
  std::string report() const;

 private:
  struct Pass {
    std::string label;
    double cpu = 0.0;
    double gpu = 0.0;
  };
  std::vector<Pass> passes_;
  std::vector<GLuint> queries_;
  std::vector<GLuint64> stamps_;
  bool gpuTimes_ = false;
  long long frames_ = 0;
  double renderSeconds_ = 0.0;
  double outputSeconds_ = 0.0;
};
