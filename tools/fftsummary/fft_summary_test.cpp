#include <gtest/gtest.h>

#include <vector>

#include "band_summary.h"
#include "section_table.h"

namespace {

TEST(SectionTable, ParsesNamesWithBlanksAndRefusesBadLines) {
  const SectionTableParse parsed = parseSectionTable(
      "# comment\n"
      "\n"
      "intro            0.0  16.0     0   256\r\n"
      "second build-up 80.0  96.0  1280  1536\n");
  ASSERT_TRUE(parsed.problem.empty()) << parsed.problem;
  ASSERT_EQ(parsed.sections.size(), 2u);
  EXPECT_EQ(parsed.sections[0].name, "intro");
  EXPECT_EQ(parsed.sections[1].name, "second build-up");
  EXPECT_DOUBLE_EQ(parsed.sections[1].start, 80.0);
  EXPECT_DOUBLE_EQ(parsed.sections[1].end, 96.0);

  for (const char* bad : {"intro 0 16 0\n", "intro zero 16 0 256\n", "intro 16 0 256 0\n", "intro 0 16x 0 256\n"}) {
    const SectionTableParse refused = parseSectionTable(std::string("ok 0 1 0 16\n") + bad);
    EXPECT_NE(refused.problem.find("line 2"), std::string::npos) << bad;
    EXPECT_TRUE(refused.sections.empty()) << bad;
  }
}

TEST(BandSummary, AveragesTheChosenBandsOverTheChosenSeconds) {
  // 4 frames per second, 3 bands; band b of frame f holds f * 10 + b.
  std::vector<float> values;
  for (int f = 0; f < 8; ++f)
    for (int b = 0; b < 3; ++b) values.push_back(float(f * 10 + b));
  SpectrumView view;
  view.values = values.data();
  view.frameCount = 8;
  view.bandCount = 3;
  view.framesPerSecond = 4;
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 0.0, 1.0, 0, 0), 15.0);      // frames 0-3 of band 0
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 1.0, 2.0, 1, 2), 56.5);      // frames 4-7, bands 1-2
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 1.5, 99.0, 2, 200), 67.0);   // clamped to the table
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 3.0, 4.0, 0, 2), 0.0);       // past the end
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 0.0, 1.0, 2, 1), 0.0);       // empty band range
  view.values = nullptr;
  EXPECT_DOUBLE_EQ(meanBandLevel(view, 0.0, 1.0, 0, 2), 0.0);
}

}  // namespace
