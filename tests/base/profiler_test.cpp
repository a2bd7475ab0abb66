#include <gtest/gtest.h>

#include <string>

#include "base/profiler.h"
#include "support/fake_input.h"
#include "support/test_support.h"

namespace {
void frame(Profiler& profiler, const std::vector<const char*>& marks) {
  profiler.BeginFrame();
  for (const char* mark : marks) profiler.Mark(mark);
  profiler.EndFrame();
}
}  // namespace

TEST(Profiler, FirstFrameResetsAndStatisticsEqualTheOnlySample) {
  TempDir dir;
  FakeInput input;
  Profiler profiler;
  frame(profiler, {"one", "two"});
  EXPECT_EQ(readFile("output2.txt"), "Profiler::Reset\n");
  EXPECT_EQ(profiler.frameCount, 1);
  ASSERT_EQ(profiler.sums.size(), 3u);
  for (size_t i = 1; i < 3; ++i) {
    const double d = profiler.times[i] - profiler.times[i - 1];
    EXPECT_DOUBLE_EQ(profiler.sums[i], d);
    EXPECT_DOUBLE_EQ(profiler.minima[i], d);
    EXPECT_DOUBLE_EQ(profiler.maxima[i], d);
  }
  frame(profiler, {"one", "two"});
  EXPECT_EQ(profiler.frameCount, 2);
  EXPECT_LE(profiler.minima[1], profiler.maxima[1]);
  EXPECT_EQ(readFile("output2.txt"), "Profiler::Reset\n");  // same signature: no reset
}

TEST(Profiler, PResetsAndOPrintsEveryNumberedSection) {
  TempDir dir;
  FakeInput input;
  Profiler profiler;
  frame(profiler, {"Frame initialization", "Blur"});
  input.keyDown('P');
  frame(profiler, {"Frame initialization", "Blur"});
  EXPECT_EQ(profiler.frameCount, 1);
  EXPECT_EQ(readFile("output2.txt"), "Profiler::Reset\nProfiler::Reset\n");
  input.keyDown('O');
  const std::string out = captureStdout([&] { frame(profiler, {"Frame initialization", "Blur"}); });
  EXPECT_EQ(out.rfind("Profiler Frame[2]\n", 0), 0u) << out;
  EXPECT_NE(out.find("\t[1=Frame initialization] "), std::string::npos);
  EXPECT_NE(out.find("\t[2=Blur] "), std::string::npos);
  EXPECT_NE(out.find("\tTotal of "), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 2), "\n\n");
}

TEST(Profiler, ChangedMarkCountWithSameSignatureResetsInsteadOfOverrunning) {
  TempDir dir;
  FakeInput input;
  Profiler profiler;
  frame(profiler, {"ab"});
  // Same label signature (2) but one mark more: must reset, not index past.
  frame(profiler, {"a", "b", ""});
  EXPECT_EQ(profiler.sums.size(), profiler.times.size());
  EXPECT_EQ(profiler.frameCount, 1);
}

TEST(Profiler, EmptyLabelsDoNothing) {
  Profiler profiler;
  profiler.labels.clear();
  profiler.times.clear();
  profiler.EndFrame();
  EXPECT_EQ(profiler.frameCount, 0);
  EXPECT_EQ(profiler.report(), "");
}

TEST(Profiler, ReportIsSafeAtAnyMoment) {
  TempDir dir;
  FakeInput input;
  Profiler profiler;
  EXPECT_EQ(profiler.report(), "");  // before any frame
  frame(profiler, {"a", "b"});
  // Mid-frame with more marks than the statistics know of (ASan catches a
  // read past them): the sections with statistics are reported.
  profiler.BeginFrame();
  for (const char* label : {"a", "b", "c", "d", "e"}) profiler.Mark(label);
  std::string text = profiler.report();
  EXPECT_NE(text.find("\t[2=b] "), std::string::npos) << text;
  EXPECT_EQ(text.find("[3="), std::string::npos) << text;
  // And with fewer: only the sections marked so far.
  profiler.BeginFrame();
  profiler.Mark("a");
  text = profiler.report();
  EXPECT_NE(text.find("\t[1=a] "), std::string::npos) << text;
  EXPECT_EQ(text.find("[2="), std::string::npos) << text;
}

TEST(LimitFrameRate, NeverReturnsBeforeItsPeriodHasPassed) {
  LimitFrameRate(1000.0);  // primes the limiter (its first call may wait a period)
  const auto begin = Profiler::Clock::now();
  for (int i = 0; i < 10; ++i) LimitFrameRate(200.0);
  const double elapsed = std::chrono::duration<double>(Profiler::Clock::now() - begin).count();
  // Ten periods of 5 ms, of which the first may be partly spent already.
  EXPECT_GE(elapsed, 0.045);
}
