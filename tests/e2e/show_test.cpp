// The player on the small test production, on a private 1280 x 720 X server
// with no sound device: it plays to the end of the music by itself, logs its
// set-up in order, prints the profiler report on O, and shows a composed
// image, running with the tuned malloc where the kernel gives huge pages on
// request; a second run loads the spectrum cache; a missing shader is reported
// and skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include <gnu/libc-version.h>

#include "base/malloc_tuning.h"
#include "support/e2e_support.h"
#include "support/test_support.h"

using namespace std::chrono_literals;

namespace {
// A composed frame varies far more than this; a cleared screen not at all.
constexpr double kComposedDeviation = 8.0;

struct ShowRun {
  int exitCode = -1;
  std::string log;
  std::string console;
  double screenDeviation = 0.0;  // the most varied screenshot taken
  std::string tunables;           // GLIBC_TUNABLES of the running player
  std::string name;               // its process name (/proc/PID/comm)
};

// One variable of a running process's environment ("" when unset).
std::string environmentOf(pid_t pid, const std::string& name) {
  const std::string entries = readFile("/proc/" + std::to_string(pid) + "/environ");
  size_t at = 0;
  while (at < entries.size()) {
    const size_t end = std::min(entries.find('\0', at), entries.size());
    const std::string entry = entries.substr(at, end - at);
    if (entry.compare(0, name.size() + 1, name + "=") == 0) return entry.substr(name.size() + 1);
    at = end + 1;
  }
  return "";
}

// Plays the production in dir; presses O from the moment the GL context
// exists until a profiler report shows (a press before the window has the
// keyboard focus is lost, and a slow build may draw only a few frames of the
// five-second show), and takes screenshots until one shows a composed image
// (the first frames may not be presented yet on a loaded machine).
ShowRun playShow(const std::string& dir, bool pressO) {
  XvfbServer x(1280, 720);
  ShowRun run;
  if (!x.running()) return run;
  const std::string console = dir + "/console.txt";
  const std::string log = dir + "/output2.txt";
  ChildProcess player({builtProgram("tarvo")}, dir, {"DISPLAY=" + x.display(), "SDL_AUDIODRIVER=dummy"},
                      console);
  if (pressO && waitForText(log, "->Initializing GL Context\n", 120s)) {
    run.tunables = environmentOf(player.pid(), "GLIBC_TUNABLES");
    run.name = readFile("/proc/" + std::to_string(player.pid()) + "/comm");
    pressKey(x.display(), "o");
    const std::string screenshot = dir + "/screenshot.png";
    bool reported = false;
    while (player.running() && (run.screenDeviation <= kComposedDeviation || !reported)) {
      reported = readFile(console).find("Profiler Frame[") != std::string::npos;
      if (!reported) pressKey(x.display(), "o");
      runProgram({"import", "-window", "root", screenshot}, {"DISPLAY=" + x.display()});
      Image shot;
      if (loadImage(screenshot, shot) && shot.width == 1280) {
        run.screenDeviation = std::max(run.screenDeviation, luminanceDeviation(shot));
      }
      std::this_thread::sleep_for(200ms);
    }
  }
  run.exitCode = player.wait(300s);
  run.log = readFile(log);
  run.console = readFile(console);
  return run;
}
}  // namespace

TEST(Show, PlaysToTheEndLogsInOrderReportsOnOAndLoadsTheCacheNextTime) {
  TempDir dir(false);
  makeTestProduction(dir.path());

  const ShowRun first = playShow(dir.path(), true);
  ASSERT_EQ(first.exitCode, 0) << first.console;
  std::string missing;
  EXPECT_TRUE(containsInOrder(
      first.log,
      {"->Initializing GL Window\n", "->Initializing GL Context\n", "created RT: [bg] 1920x1080\n",
       "created RT: [backbuffer] 1920x1080\n", "created RT: [gaussA] 960x540\n",
       "created RT: [gaussB] 480x270\n", "loading shader: demosrc\\norde\\data\\bg.glsl\n",
       "\tLoaded Texture: demosrc\\norde\\data\\1.png\n", "Freqency: 44100.000000\n",
       "fftCacheName: demosrc\\norde\\data\\brivel-669.cache\n",
       "Creating demosrc\\norde\\data\\brivel-669.cache\n", "Read 2 positions\n",
       "created RT: [gridTexture] 1024x4096\n", "Profiler::Reset\n"},
      &missing))
      << "missing " << missing << "\n" << first.log;
  const std::string farewell = "Rydd minnet ditt sjael\n";
  ASSERT_GE(first.log.size(), farewell.size());
  EXPECT_EQ(first.log.substr(first.log.size() - farewell.size()), farewell);
  EXPECT_NE(first.console.find("finished init\n"), std::string::npos);
  EXPECT_EQ(first.log.find("finished init"), std::string::npos);  // console only

  // The report lists the eleven sections of the frame, numbered in order.
  EXPECT_TRUE(containsInOrder(
      first.console,
      {"Profiler Frame[", "\t[1=Frame initialization] ", "\t[2=Fetched FFT data for GRID] ",
       "\t[3=Update Grid] ", "\t[4=Draw FFT Grid] ", "\t[5=Draw Lines] ", "\t[6=Draw lightPos] ",
       "\t[7=Draw Flying Particles] ", "\t[8=Draw Spectrum Lines] ", "\t[9=Mipmap backbuffer] ",
       "\t[10=Blur] ", "\t[11=Blit/Post-proc] ", "\tTotal of "},
      &missing))
      << "missing " << missing << "\n" << first.console;

  EXPECT_GT(first.screenDeviation, kComposedDeviation) << "the screen never showed a composed image";
  // Where the kernel gives huge pages on request, the player restarted
  // itself with the tuned malloc (the same process, the same log, the same
  // name).
  EXPECT_EQ(first.name, "tarvo\n");
  const std::string wanted = tunedMallocTunables(std::getenv("GLIBC_TUNABLES"),
                                                 readFile("/sys/kernel/mm/transparent_hugepage/enabled"),
                                                 gnu_get_libc_version());
  // glibc cuts the original copy of the variable, the one the process's
  // environ file shows, at the first ':' while reading it.
  if (!wanted.empty() && !runsUnderInstrumentation()) {
    EXPECT_EQ(first.tunables, wanted.substr(0, wanted.find(':')));
  }

  const ShowRun second = playShow(dir.path(), false);
  ASSERT_EQ(second.exitCode, 0) << second.console;
  EXPECT_NE(second.log.find("Loading FFT Cache: demosrc\\norde\\data\\brivel-669.cache\n"), std::string::npos);
  EXPECT_EQ(second.log.find("Creating demosrc"), std::string::npos);
  EXPECT_EQ(second.log.substr(second.log.size() - farewell.size()), farewell);
}

TEST(Show, MissingCompositionShaderIsReportedAndTheShowGoesOn) {
  TempDir dir(false);
  makeTestProduction(dir.path());
  std::filesystem::remove(dir.path() + "/demosrc/norde/data/postProc-1.glsl");
  const ShowRun run = playShow(dir.path(), false);
  ASSERT_EQ(run.exitCode, 0) << run.console;
  EXPECT_NE(run.console.find("Sorry bud, couldn't find: postProc-1.glsl"), std::string::npos);
  EXPECT_EQ(countOccurrences(run.log, "demo: \"postProc-1.glsl\" is missing, its pass is skipped\n"), 1u)
      << run.log;
  EXPECT_NE(run.log.find("Rydd minnet ditt sjael\n"), std::string::npos);
}

TEST(Show, ASoundtrackShorterThanTheEarliestEndEndsTheShowAtItsEnd) {
  TempDir dir(false);
  makeTestProduction(dir.path());
  std::filesystem::copy_file(std::string(TARVO_SOURCE_DIR) + "/tests/audio/fixtures/tone_short_44k.mp3",
                             dir.path() + "/demosrc/norde/data/brivel-669.mp3",
                             std::filesystem::copy_options::overwrite_existing);
  const ShowRun run = playShow(dir.path(), false);
  ASSERT_EQ(run.exitCode, 0) << "the show did not end by itself\n" << run.log;
  const std::string farewell = "Rydd minnet ditt sjael\n";
  ASSERT_GE(run.log.size(), farewell.size());
  EXPECT_EQ(run.log.substr(run.log.size() - farewell.size()), farewell);
}
