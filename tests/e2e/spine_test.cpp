// Runs the real player on a private 1280 x 720 X server from an empty
// directory: start-up log lines in order, B logging once per press, Escape
// ending the program with exit code 0.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "support/e2e_support.h"
#include "support/test_support.h"

using namespace std::chrono_literals;

TEST(Spine, StartsLogsResizeOnBAndEndsOnEscape) {
  XvfbServer x(1280, 720);
  ASSERT_TRUE(x.running()) << "Xvfb could not start";
  TempDir dir(false);
  writeFile(dir.path() + "/output2.txt", "a line from an older run\n");

  ChildProcess player({builtProgram("tarvo")}, dir.path(),
                      {"DISPLAY=" + x.display(), "SDL_AUDIODRIVER=dummy"}, dir.path() + "/console.txt");
  const std::string log = dir.path() + "/output2.txt";
  // The first frame has ended once the profiler resets: the loop is taking keys.
  ASSERT_TRUE(waitForText(log, "Profiler::Reset\n", 60s)) << readFile(dir.path() + "/console.txt");
  std::this_thread::sleep_for(500ms);
  pressKey(x.display(), "b");
  ASSERT_TRUE(waitForText(log, "resize: 1280.000000 720.000000 1.777778\n", 30s));
  pressKey(x.display(), "b");
  ASSERT_TRUE(waitForText(log, "resize: 1280.000000 720.000000 1.777778\nresize:", 30s));
  std::this_thread::sleep_for(300ms);
  pressKey(x.display(), "Escape");
  EXPECT_EQ(player.wait(60s), 0);

  const std::string text = readFile(log);
  EXPECT_EQ(text.find("older run"), std::string::npos);
  std::string missing;
  EXPECT_TRUE(containsInOrder(text,
                              {"->Initializing GL Window\n", "Current Screen Resolution: 1280 720\n",
                               "ScreenSize = 1280x720 with aspect ratio of 1.777778\n",
                               "->Initializing GL Context\n", "\tStatus: Using GLEW ",
                               "\tOpenGL Vendor: ", "\tOpenGL Render: ", "\tOpenGL Version: "},
                              &missing))
      << "missing " << missing << " in\n"
      << text;
  EXPECT_EQ(text.rfind("->Initializing GL Window\n", 0), 0u);
  // The GLEW line names whatever version is installed: digits and dots.
  EXPECT_TRUE(std::regex_search(text, std::regex("\n\tStatus: Using GLEW [0-9]+(\\.[0-9]+)+\n"))) << text;
  EXPECT_EQ(countOccurrences(text, "resize: 1280.000000 720.000000 1.777778\n"), 2u) << text;
  // The console shows the resolution twice: once logged, once printed.
  EXPECT_EQ(countOccurrences(readFile(dir.path() + "/console.txt"),
                             "Current Screen Resolution: 1280 720\n"),
            2u);
}
