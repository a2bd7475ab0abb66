#include "render/pass_profile.h"

#include <cstdio>

namespace {
constexpr size_t kMaxMarks = 64;
}  // namespace

void PassProfile::attach(Profiler& profiler) {
  gpuTimes_ = GLEW_ARB_timer_query || GLEW_VERSION_3_3;
  if (gpuTimes_) {
    queries_.resize(kMaxMarks);
    glGenQueries(static_cast<GLsizei>(queries_.size()), queries_.data());
  }
  profiler.markHook = [this](size_t mark) {
    if (gpuTimes_ && mark < queries_.size()) glQueryCounter(queries_[mark], GL_TIMESTAMP);
  };
}

PassProfile::~PassProfile() {
  if (!queries_.empty()) glDeleteQueries(static_cast<GLsizei>(queries_.size()), queries_.data());
}

void PassProfile::frameDone(const Profiler& profiler, double renderSeconds, double outputSeconds) {
  const size_t marks = profiler.times.size();
  if (passes_.size() + 1 < marks) passes_.resize(marks - 1);
  stamps_.assign(marks, 0);
  for (size_t m = 0; gpuTimes_ && m < marks && m < queries_.size(); ++m) {
    glGetQueryObjectui64v(queries_[m], GL_QUERY_RESULT, &stamps_[m]);
  }
  for (size_t m = 1; m < marks; ++m) {
    Pass& pass = passes_[m - 1];
    pass.label = profiler.labels[m];
    pass.cpu += profiler.times[m] - profiler.times[m - 1];
    if (gpuTimes_ && m < queries_.size()) pass.gpu += static_cast<double>(stamps_[m] - stamps_[m - 1]) * 1e-9;
  }
  ++frames_;
  renderSeconds_ += renderSeconds;
  outputSeconds_ += outputSeconds;
}

std::string PassProfile::report() const {
  std::string out;
  char line[160];
  const double n = frames_ > 0 ? static_cast<double>(frames_) : 1.0;
  std::snprintf(line, sizeof line, "%-32s %10s %10s\n", "pass (average of frames)", "CPU ms", "GPU ms");
  out += line;
  for (const Pass& pass : passes_) {
    if (gpuTimes_) {
      std::snprintf(line, sizeof line, "%-32s %10.3f %10.3f\n", pass.label.c_str(), pass.cpu / n * 1000.0,
                    pass.gpu / n * 1000.0);
    } else {
      std::snprintf(line, sizeof line, "%-32s %10.3f %10s\n", pass.label.c_str(), pass.cpu / n * 1000.0, "-");
    }
    out += line;
  }
  std::snprintf(line, sizeof line, "%lld frames: %.2f frames per second drawing only, %.2f with the output\n",
                frames_, renderSeconds_ > 0.0 ? frames_ / renderSeconds_ : 0.0,
                renderSeconds_ + outputSeconds_ > 0.0 ? frames_ / (renderSeconds_ + outputSeconds_) : 0.0);
  out += line;
  return out;
}
