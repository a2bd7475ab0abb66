#include <gtest/gtest.h>

#include <cmath>

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

TEST(RenderOptions, HugeTimesAreRefusedAndFrameNumbersStayDefined) {
  const auto huge = parse({"--output", "x", "--start", "0", "--end", "1e300"});
  EXPECT_EQ(huge.error, "bad value '1e300' for --end (at most 86400 seconds)");
  EXPECT_NE(parse({"--output", "x", "--start", "86400.5", "--fps", "1000"}).error, "");
  const auto day = parse({"--output", "x", "--start", "0", "--end", "86400", "--fps", "1000"});
  ASSERT_EQ(day.error, "");
  EXPECT_EQ(framesOf(day.options.start, day.options.end, day.options.fps).count, 86400000);

  // Beyond every frame number a double holds exactly: no frames, no overflow.
  EXPECT_EQ(framesOf(0.0, 1e300, 1000).count, 0);
  EXPECT_EQ(framesOf(1e300, 2e300, 60).count, 0);
  EXPECT_EQ(framesOf(0.0, std::nan(""), 60).count, 0);

  // Shards of the largest range: exact boundaries, no product overflows.
  const FrameRange whole{5, 1LL << 53};
  const int pieces = 2147483647;
  const FrameRange last = shardOf(whole, pieces - 1, pieces);
  EXPECT_EQ(last.first + last.count, whole.first + whole.count);
  const FrameRange first = shardOf(whole, 0, pieces);
  EXPECT_EQ(first.first, 5);
  EXPECT_EQ(first.count, (1LL << 53) / pieces);
  const FrameRange middle = shardOf({0, 10}, 1, 3);  // 0..3, 3..6, 6..10
  EXPECT_EQ(middle.first, 3);
  EXPECT_EQ(middle.count, 3);
}

TEST(RenderOptions, PreviewScaleIsANumberFromAQuarterToOne) {
  EXPECT_EQ(parse({"--output", "x"}).options.previewScale, 1.0f);
  const auto half = parse({"--output", "x", "--preview-scale", "0.5"});
  ASSERT_EQ(half.error, "");
  EXPECT_EQ(half.options.previewScale, 0.5f);
  for (const char* bad : {"0.2", "2", "x", "fit", ""}) {
    EXPECT_EQ(parse({"--output", "x", "--preview-scale", bad}).error,
              std::string("bad value '") + bad + "' for --preview-scale (a number from 0.25 to 1)");
  }
  // Assembly draws nothing, so a scale there would be silently ignored.
  EXPECT_NE(parse({"--encode", "f", "--output", "v.mp4", "--preview-scale", "0.5"}).error, "");

  // The parts the parser is made of: one value, then how the options combine.
  RenderOptions options;
  EXPECT_EQ(applyRenderOption("--preview-scale", "0.25", options), "");
  EXPECT_EQ(options.previewScale, 0.25f);
  EXPECT_EQ(applyRenderOption("--fps", "0", options), "bad value '0' for --fps");
  EXPECT_EQ(applyRenderOption("--frobnicate", "1", options), "unknown option '--frobnicate'");
  EXPECT_EQ(renderOptionsConflict(options), "--output is required");
  EXPECT_EQ(applyRenderOption("--output", "v.mp4", options), "");
  EXPECT_EQ(applyRenderOption("--size", "641x360", options), "bad value '641x360' for --size");
  EXPECT_EQ(renderOptionsConflict(options), "");
}
