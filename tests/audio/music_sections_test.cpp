#include <gtest/gtest.h>

#include <string>

#include "audio/music_sections.h"

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

}  // namespace
