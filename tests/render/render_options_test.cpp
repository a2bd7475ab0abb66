#include <gtest/gtest.h>

#include "render/render_options.h"

namespace {
ParsedRenderOptions parse(std::vector<std::string> args) { return parseRenderOptions(args); }
}  // namespace

TEST(RenderOptions, DefaultsAndEveryOption) {
  const auto d = parse({"--output", "frames"});
  ASSERT_EQ(d.error, "");
  EXPECT_EQ(d.options.fps, 60);
  EXPECT_EQ(d.options.width, 1920);
  EXPECT_EQ(d.options.height, 1080);
  EXPECT_EQ(d.options.start, 0.0);
  EXPECT_LT(d.options.end, 0.0);  // whole soundtrack
  EXPECT_FALSE(d.options.wantsVideo());

  const auto all = parse({"--output", "show.mp4", "--start", "1.5", "--end", "3", "--fps", "30",
                          "--size", "640x360"});
  ASSERT_EQ(all.error, "");
  EXPECT_TRUE(all.options.wantsVideo());
  EXPECT_EQ(all.options.start, 1.5);
  EXPECT_EQ(all.options.end, 3.0);
  EXPECT_EQ(all.options.fps, 30);
  EXPECT_EQ(all.options.width, 640);
  EXPECT_EQ(all.options.height, 360);
  EXPECT_TRUE(parse({"--help"}).options.help);
}

TEST(RenderOptions, BadArgumentsAreRefusedWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--output"},
      {"--output", "x", "--fps", "0"},
      {"--output", "x", "--fps", "sixty"},
      {"--output", "x", "--fps", "99999999999"},
      {"--output", "x", "--size", "640"},
      {"--output", "x", "--size", "0x10"},
      {"--output", "x", "--size", "-5x10"},
      {"--output", "x.mp4", "--size", "641x360"},
      {"--output", "x", "--start", "-1"},
      {"--output", "x", "--start", "nan"},
      {"--output", "x", "--start", "2", "--end", "1"},
      {"--output", "x", "--frobnicate"},
  };
  for (const auto& args : bad) {
    EXPECT_NE(parse(args).error, "") << ::testing::PrintToString(args);
  }
}

TEST(RenderOptions, FrameRangeAndProgress) {
  FrameRange r = framesOf(0.0, 1.0, 60);
  EXPECT_EQ(r.first, 0);
  EXPECT_EQ(r.count, 60);
  r = framesOf(1.0, 1.5, 30);
  EXPECT_EQ(r.first, 30);
  EXPECT_EQ(r.count, 15);
  r = framesOf(2.0, 2.001, 60);  // shorter than a frame: still one
  EXPECT_EQ(r.first, 120);
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(progressLine(30, 90, 1.0), "frame 30 of 90  30.0 fps  0:02 left");
  EXPECT_EQ(progressLine(0, 90, 0.0), "frame 0 of 90  0.0 fps  0:00 left");
}
