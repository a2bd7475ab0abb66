#include "base/profiler.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "base/keys.h"
#include "base/log.h"

namespace {
constexpr double kInitialMinimum = 100000.0;

double secondsSince(Profiler::Clock::time_point start) {
  return std::chrono::duration<double>(Profiler::Clock::now() - start).count();
}

void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string& out, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n > 0) out.append(buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1));
}
}  // namespace

Profiler::Profiler() : start(Clock::now()) { Mark(""); }

void Profiler::Mark(const char* label) {
  labels.emplace_back(label);
  times.push_back(secondsSince(start));
  if (markHook) markHook(labels.size() - 1);
}

void Profiler::BeginFrame() {
  labels.clear();
  times.clear();
  Mark("");
}

int32_t Profiler::labelSignature() const {
  int32_t s = 0;
  for (size_t i = 1; i < labels.size(); ++i) s += static_cast<int32_t>(labels[i].size());
  return s;
}

void Profiler::Reset(int32_t newSignature) {
  Log("Profiler::Reset\n");
  start = Clock::now();
  signature = newSignature;
  frameCount = 0;
  sums.assign(times.size(), 0.0);
  minima.assign(times.size(), kInitialMinimum);
  maxima.assign(times.size(), 0.0);
}

void Profiler::EndFrame() {
  if (labels.empty()) return;
  const int32_t s = labelSignature();
  // A different number of marks resets too: the statistics are indexed by
  // mark position and must never be indexed past their end.
  if (s != signature || sums.size() != times.size() || KeyPressed('P')) Reset(s);
  frameCount += 1;
  for (size_t i = 1; i < times.size(); ++i) {
    const double d = times[i] - times[i - 1];
    sums[i] += d;
    if (minima[i] > d) minima[i] = d;
    if (d > maxima[i]) maxima[i] = d;
  }
  ReportOnKey();
}

void Profiler::ReportOnKey() {
  if (!KeyPressed('O')) return;
  const std::string text = report();
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

std::string Profiler::report() const {
  std::string out;
  // Called at any moment (mid-frame, with more or fewer marks than the
  // statistics were made for, before any frame): only sections that have
  // both a time this frame and statistics are reported.
  const size_t sections = std::min({times.size(), labels.size(), sums.size(), minima.size(), maxima.size()});
  if (sections == 0 || frameCount == 0) return out;
  const size_t last = sections - 1;
  const float total = static_cast<float>((times[last] - times[0]) * 1000.0);
  const float third = static_cast<float>((sums[last] - sums[0]) / frameCount * 1000.0);
  appendf(out, "Profiler Frame[%d]\n", frameCount);
  for (size_t i = 1; i < sections; ++i) {
    appendf(out, "\t[%d=%s] %.3fms | avg=%.3fms|min/max = %.3f/%.3fms\n", static_cast<int>(i),
            labels[i].c_str(), (times[i] - times[i - 1]) * 1000.0, sums[i] / frameCount * 1000.0,
            minima[i] * 1000.0, maxima[i] * 1000.0);
  }
  appendf(out, "\tTotal of %.3fms (%.3ffps)  | avg = %.3f\n\n", static_cast<double>(total),
          1000.0 / static_cast<double>(total), static_cast<double>(third));
  return out;
}

void LimitFrameRate(double rate) {
  static bool initialised = false;
  static Profiler::Clock::time_point base;
  static double previous = 0.0;
  if (!initialised) {
    initialised = true;
    base = Profiler::Clock::now();
  }
  const double period = 1.0 / rate;
  while (period > secondsSince(base) - previous) {
  }
  previous = secondsSince(base);
}
