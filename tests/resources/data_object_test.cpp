#include <gtest/gtest.h>

#include "resources/data_object.h"
#include "support/test_support.h"

TEST(DataObject, DefaultsReportOnTheConsoleAndReturnHarmlessValues) {
  DataObject object;
  object.name = "noise.png";
  EXPECT_EQ(object.fileTime, 0);
  EXPECT_TRUE(object.kind.empty());

  bool bound = false;
  EXPECT_EQ(captureStdout([&] { bound = object.bind(); }), "Not implememnted for: noise.png\n");
  EXPECT_TRUE(bound);
  EXPECT_EQ(captureStdout([&] { object.drawQuad(0); }), "drawQuad, cant!\n");
  EXPECT_EQ(captureStdout([&] { object.bindTexture(0, 0, 0, 0); }), "Not Implemented\n");
  EXPECT_EQ(captureStdout([&] { object.begin(); }), "no begin\n");
  EXPECT_EQ(captureStdout([&] { object.end(true); }), "no end\n");
  std::pair<float, float> texel{1.0f, 1.0f};
  EXPECT_EQ(captureStdout([&] { texel = object.getTexelSize(); }), "no getTexelSize()");
  EXPECT_EQ(texel.first, 0.0f);
  EXPECT_EQ(texel.second, 0.0f);
  EXPECT_EQ(captureStdout([&] { object.save(); }), "no save!");
  bool active = true;
  EXPECT_EQ(captureStdout([&] { active = object.active(); }), "no active");
  EXPECT_FALSE(active);
  EXPECT_EQ(captureStdout([&] { object.drawMesh(); }), "drawMesh, Cant!\n");
}

TEST(DataObject, DefaultLoadLogsThePathAndFails) {
  TempDir dir;
  DataObject object;
  bool loaded = true;
  const std::string out = captureStdout([&] { loaded = object.load("data\\thing.xyz"); });
  EXPECT_FALSE(loaded);
  EXPECT_NE(out.find("data\\thing.xyz"), std::string::npos);
  EXPECT_EQ(readFile("output2.txt"), out);
}

