#include "render/render_plan.h"

#include <gtest/gtest.h>

namespace {
RenderOptions options(std::vector<std::string> args) {
  const ParsedRenderOptions parsed = parseRenderOptions(args);
  EXPECT_EQ(parsed.error, "") << ::testing::PrintToString(args);
  return parsed.options;
}
}  // namespace

TEST(RenderPlan, FramesFileNumbersAndOutputFollowTheOptions) {
  constexpr double kSoundtrack = 5.0;
  struct Case {
    std::vector<std::string> args;
    long long first, count, firstFile;
    bool video;
  };
  const Case cases[] = {
      {{"--output", "f"}, 0, 300, 0, false},                                   // the whole soundtrack
      {{"--output", "f", "--start", "1", "--fps", "30"}, 30, 120, 0, false},   // times count files from 0
      {{"--output", "v.mp4", "--end", "2"}, 0, 120, 0, true},
      {{"--output", "f", "--frames", "30:36"}, 30, 6, 30, false},              // frame numbers name files
      {{"--output", "f", "--frames", "30:36", "--shard", "1/3"}, 32, 2, 32, false},
      {{"--output", "f", "--start", "4.99", "--shard", "0/3"}, 300, 0, 0, false},  // one frame, three pieces
  };
  for (const Case& c : cases) {
    const RenderPlan plan = planRender(options(c.args), kSoundtrack);
    const std::string what = ::testing::PrintToString(c.args);
    EXPECT_EQ(plan.frames.first, c.first) << what;
    EXPECT_EQ(plan.frames.count, c.count) << what;
    EXPECT_EQ(plan.video, c.video) << what;
    if (c.count == 0) {
      EXPECT_EQ(plan.problem, "shard 0/3 of this range holds no frames") << what;
      continue;
    }
    EXPECT_EQ(plan.problem, "") << what;
    EXPECT_EQ(plan.firstFileNumber, c.firstFile) << what;
    EXPECT_EQ(plan.format.firstFrame, c.first) << what;
    EXPECT_EQ(plan.format.frameCount, c.count) << what;
  }
  // A start past the soundtrack's end, which is the default end.
  const RenderPlan late = planRender(options({"--output", "f", "--start", "6"}), kSoundtrack);
  EXPECT_EQ(late.frames.count, 0);
  EXPECT_EQ(late.problem, "the range starts at or after 5.000 s");
}

TEST(RenderPlan, ACheckRendersTheListedFramesOfItsRange) {
  const std::vector<FrameHash> listed = {{36, 1}, {5, 2}, {30, 3}, {35, 4}};
  const auto frames = [](const std::vector<FrameHash>& chosen) {
    std::vector<long long> numbers;
    for (const FrameHash& entry : chosen) numbers.push_back(entry.frame);
    return numbers;
  };
  EXPECT_EQ(frames(framesToCheck(listed, options({"--check", "h.txt"}))), (std::vector<long long>{36, 5, 30, 35}));
  EXPECT_EQ(frames(framesToCheck(listed, options({"--check", "h.txt", "--frames", "30:36"}))),
            (std::vector<long long>{30, 35}));
}
