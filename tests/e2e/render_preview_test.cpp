// tarvo-render --preview-scale on the small test production, headless: five
// moments spread over the soundtrack drawn at half the design size are the
// full-size frames, only smaller; scales outside 0.25..1 and non-numbers are
// refused on one line before anything is drawn.
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

int render(const std::string& production, std::vector<std::string> arguments, const std::string& console) {
  std::vector<std::string> argv = {builtProgram("tarvo-render"), "--fps", std::to_string(kFps)};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return runProgram(argv, {"-DISPLAY"}, console, production);
}

// Mean absolute RGB difference, on 0..1, between `half` and `full` averaged
// over 2x2 blocks; 1 when the sizes do not fit.
double differenceFromBoxFiltered(const Image& full, const Image& half) {
  if (full.width != 2 * half.width || full.height != 2 * half.height || half.rgba.empty()) return 1.0;
  double sum = 0.0;
  for (int y = 0; y < half.height; ++y) {
    for (int x = 0; x < half.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const auto at = [&](int fx, int fy) { return full.rgba[(static_cast<size_t>(fy) * full.width + fx) * 4 + c]; };
        const double box = (at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) +
                            at(2 * x + 1, 2 * y + 1)) / 4.0;
        sum += std::fabs(box - half.rgba[(static_cast<size_t>(y) * half.width + x) * 4 + c]);
      }
    }
  }
  return sum / (255.0 * 3.0 * half.width * half.height);
}
}  // namespace

TEST(RenderPreview, HalfScaleIsTheFullSizePictureSmallerAndBadScalesAreRefused) {
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
    ASSERT_EQ(render(dir.path(),
                     {"--output", "half", "--frames", frames, "--size", "960x540", "--preview-scale", "0.5"},
                     console),
              0)
        << readFile(console);
    char name[16];
    std::snprintf(name, sizeof name, "/%05lld.png", frame);
    Image full;
    Image half;
    ASSERT_TRUE(loadImage(dir.path() + "/full" + name, full));
    ASSERT_TRUE(loadImage(dir.path() + "/half" + name, half));
    ASSERT_EQ(half.width, 960);
    ASSERT_EQ(half.height, 540);
    EXPECT_GT(luminanceDeviation(half), 8.0) << "one flat colour at " << seconds << " s";
    const double difference = differenceFromBoxFiltered(full, half);
    char moment[32];
    std::snprintf(moment, sizeof moment, "difference_at_%.2fs", seconds);
    RecordProperty(moment, std::to_string(difference));
    std::printf("preview 0.5 against full size at %.2f s (frame %lld): mean absolute difference %.4f\n", seconds,
                frame, difference);
    EXPECT_LE(difference, kMostMeanDifference) << "at " << seconds << " s";
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
