// tarvo-render --preview-scale on the small test production, headless: five
// moments spread over the soundtrack drawn at half the design size, and at
// the third that fits a 640x360 window with the wires shaded into the filled
// mesh, are the full-size frames, only smaller; scales outside 0.25..1 and
// non-numbers are refused on one line before anything is drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "audio/mp3_decoder.h"
#include "support/e2e_support.h"
#include "support/test_support.h"

namespace {
constexpr int kFps = 60;
constexpr int kMoments = 5;
// The most two renders of one moment may differ, per RGB channel on 0..1:
// filtering at another size moves edges by a fraction of a pixel, nothing
// more.
constexpr double kMostMeanDifference = 0.03;
// The scale that fits a 640x360 window: its passes are 640x360.
const char* const kFitScale = "0.33333334";
const char* const kShadedLine = "wires: shaded into the filled mesh below full size";

int render(const std::string& production, std::vector<std::string> arguments, const std::string& console) {
  std::vector<std::string> argv = {builtProgram("tarvo-render"), "--fps", std::to_string(kFps)};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return runProgram(argv, {"-DISPLAY"}, console, production);
}

// Mean absolute RGB difference, on 0..1, between `small` and `full` averaged
// over k x k blocks (full is k times as wide and high); 1 when the sizes do
// not fit.
double differenceFromBoxFiltered(const Image& full, const Image& small) {
  const int k = small.width > 0 ? full.width / small.width : 0;
  if (k < 1 || full.width != k * small.width || full.height != k * small.height || small.rgba.empty()) return 1.0;
  double sum = 0.0;
  for (int y = 0; y < small.height; ++y) {
    for (int x = 0; x < small.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        double box = 0.0;
        for (int fy = k * y; fy < k * y + k; ++fy) {
          for (int fx = k * x; fx < k * x + k; ++fx) box += full.rgba[(static_cast<size_t>(fy) * full.width + fx) * 4 + c];
        }
        sum += std::fabs(box / (k * k) - small.rgba[(static_cast<size_t>(y) * small.width + x) * 4 + c]);
      }
    }
  }
  return sum / (255.0 * 3.0 * small.width * small.height);
}
}  // namespace

TEST(RenderPreview, HalfAndFitScalesAreTheFullSizePictureSmallerAndBadScalesAreRefused) {
  TempDir dir(false);
  makeTestProduction(dir.path());
  const std::string console = dir.path() + "/console.txt";
  const DecodeResult music = decodeMp3File(dir.path() + "/demosrc/norde/data/brivel-669.mp3");
  ASSERT_EQ(music.error, "");
  const double length = static_cast<double>(music.audio.frameCount()) / music.audio.sampleRate;

  for (int i = 0; i < kMoments; ++i) {
    const double seconds = (i + 0.5) * length / kMoments;
    const long long frame = std::llround(seconds * kFps);
    const std::string frames = std::to_string(frame) + ":" + std::to_string(frame + 1);
    ASSERT_EQ(render(dir.path(), {"--output", "full", "--frames", frames, "--size", "1920x1080"}, console), 0)
        << readFile(console);
    // Half size with the wires the driver draws best; the fit scale of a
    // 640x360 window with the wires shaded, whatever the driver.
    ASSERT_EQ(render(dir.path(),
                     {"--output", "half", "--frames", frames, "--size", "960x540", "--preview-scale", "0.5"},
                     console),
              0)
        << readFile(console);
    ASSERT_EQ(render(dir.path(),
                     {"--output", "third", "--frames", frames, "--size", "640x360", "--preview-scale", kFitScale,
                      "--wires", "shaded"},
                     console),
              0)
        << readFile(console);
    EXPECT_NE(readFile(dir.path() + "/output-render.txt").find(kShadedLine), std::string::npos)
        << "the wires were not shaded: " << readFile(dir.path() + "/output-render.txt");
    char name[16];
    std::snprintf(name, sizeof name, "/%05lld.png", frame);
    Image full;
    ASSERT_TRUE(loadImage(dir.path() + "/full" + name, full));
    for (const char* preview : {"half", "third"}) {
      Image small;
      ASSERT_TRUE(loadImage(dir.path() + "/" + preview + name, small));
      ASSERT_EQ(small.width * (preview == std::string("half") ? 2 : 3), 1920) << preview;
      EXPECT_GT(luminanceDeviation(small), 8.0) << "one flat colour at " << seconds << " s, " << preview;
      const double difference = differenceFromBoxFiltered(full, small);
      char moment[48];
      std::snprintf(moment, sizeof moment, "%s_difference_at_%.2fs", preview, seconds);
      RecordProperty(moment, std::to_string(difference));
      std::printf("preview %s against full size at %.2f s (frame %lld): mean absolute difference %.4f\n", preview,
                  seconds, frame, difference);
      EXPECT_LE(difference, kMostMeanDifference) << "at " << seconds << " s, " << preview;
    }
  }

  // Refused before anything is drawn: the error on one line, then the hint.
  for (const char* bad : {"0.2", "2", "x"}) {
    EXPECT_EQ(render(dir.path(), {"--output", "refused", "--preview-scale", bad}, console), 2) << bad;
    EXPECT_EQ(readFile(console), std::string("tarvo-render: bad value '") + bad +
                                     "' for --preview-scale (a number from 0.25 to 1)\n"
                                     "(tarvo-render --help explains the options)\n");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/refused"));
}
