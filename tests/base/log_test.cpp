#include <gtest/gtest.h>

#include "base/log.h"
#include "support/fake_input.h"
#include "support/test_support.h"

TEST(Log, AppendsExactlyWhatWasFormattedToFileAndConsole) {
  TempDir dir;
  const std::string out = captureStdout([] {
    Log("no line end ");
    Log("%d %s %.2f\n", 42, "x", 1.5);
    Log("%s", std::string(5000, 'z').c_str());  // longer than any fixed buffer
  });
  const std::string expected = "no line end 42 x 1.50\n" + std::string(5000, 'z');
  EXPECT_EQ(readFile("output2.txt"), expected);
  EXPECT_EQ(out, expected);
}

TEST(Log, DumpPrintsTheFileOnLWithoutLoggingItself) {
  TempDir dir;
  FakeInput input;
  Log("first\nsecond\n");
  EXPECT_EQ(captureStdout([] { DumpLogOnKey(); }), "");
  input.keyDown('L');
  EXPECT_EQ(captureStdout([] { DumpLogOnKey(); }), "output log\nfirst\nsecond\n");
  EXPECT_EQ(readFile("output2.txt"), "first\nsecond\n");
}

TEST(Log, UnwritableFileStillReachesTheConsoleSayingSoOnce) {
  TempDir dir;
  const std::string saved = logFileName;
  logFileName = "missing-dir/output2.txt";
  EXPECT_EQ(captureStdout([] {
              Log("still here\n");
              Log("and here\n");
            }),
            "The log file missing-dir/output2.txt cannot be written (No such file or directory): the log goes to "
            "the console only\nstill here\nand here\n");
  logFileName = saved;
  EXPECT_EQ(captureStdout([] { DumpLog(); }), "output log\n");
  // A name that can be written is written again.
  EXPECT_EQ(captureStdout([] { Log("back\n"); }), "back\n");
  EXPECT_EQ(readFile("output2.txt"), "back\n");
}
