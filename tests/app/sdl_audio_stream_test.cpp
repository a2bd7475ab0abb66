// The SDL sound stream: the silent real-time clock, a failed open, and the
// samples the device receives.
#include "app/sdl_audio_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <thread>

#include "audio/audio_test_util.h"
#include "support/test_support.h"

namespace {
using Clock = std::chrono::steady_clock;

int countOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}
}  // namespace

// Runs the real SDL stream on the dummy driver, which takes the silent
// real-time clock: about two seconds of readings must never go backwards and
// stay within 20 ms of the wall clock.
TEST(SdlAudioStream, SilentClockIsMonotonicAndFollowsTheWallClock) {
  TempDir dir;
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlAudioStream stream;
  const std::string log = captureStdout([&] { EXPECT_TRUE(stream.init()); });
  unsetenv("SDL_AUDIODRIVER");
  EXPECT_TRUE(stream.silent());
  EXPECT_EQ(countOf(log, "\n"), 1) << log;
  EXPECT_NE(log.find("silently"), std::string::npos);

  stream.openDecoded(sineAudio(5.0, 440.0));
  stream.setVolume(100.0f);
  EXPECT_EQ(stream.position(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(stream.position(), 0);  // not playing yet

  stream.start();
  stream.play(true);
  const Clock::time_point begin = Clock::now();
  int64_t previous = 0;
  double worst = 0.0;
  bool monotonic = true;
  for (;;) {
    const int64_t position = stream.position();
    const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
    monotonic = monotonic && position >= previous;
    previous = position;
    worst = std::max(worst, std::abs(stream.bytesToSeconds(position) - wall));
    if (wall > 2.0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_TRUE(monotonic);
  EXPECT_LT(worst, 0.020);
  EXPECT_GT(stream.bytesToSeconds(previous), 1.98);

  // A jump back restarts the clock from there.
  stream.setPosition(stream.secondsToBytes(0.25));
  EXPECT_NEAR(stream.bytesToSeconds(stream.position()), 0.25, 0.01);
  stream.play(true);
  EXPECT_LT(stream.bytesToSeconds(stream.position()), 0.01);
  // The clock stops at the end of the music.
  stream.setPosition(stream.lengthBytes() - 400);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(stream.position(), stream.lengthBytes());
}

TEST(SdlAudioStream, FailedOpenLeavesAClosedStream) {
  TempDir dir;
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SdlAudioStream stream;
  captureStdout([&] { stream.init(); });
  unsetenv("SDL_AUDIODRIVER");
  EXPECT_FALSE(stream.open("/nonexistent/tune.mp3"));
  EXPECT_FALSE(stream.openError().empty());
  EXPECT_EQ(stream.lengthBytes(), 0);
  stream.start();
  stream.play(true);
  EXPECT_EQ(stream.position(), 0);
  EXPECT_EQ(stream.bytesToSeconds(stream.position()), 0.0);
}

// SDL's disk driver is a real output that writes what the callback hands it
// to a file: the samples arrive in order at the capped volume, and the clock
// read between callbacks still only moves forward.
TEST(SdlAudioStream, DeviceReceivesTheSamplesAtTheCappedVolume) {
  TempDir dir;
  const std::string raw = dir.path() + "/out.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  const DecodedAudio audio = sineAudio(2.0, 440.0, 44100, 20000.0);
  std::vector<int64_t> positions;
  {
    SdlAudioStream stream;
    std::string log = captureStdout([&] { stream.init(); });
    if (stream.silent()) GTEST_SKIP() << "SDL has no disk audio driver here: " << log;
    EXPECT_EQ(log, "");
    stream.openDecoded(audio);
    stream.setVolume(7.5f);  // above 1.0: full volume, not amplified
    stream.play(true);
    stream.start();
    const Clock::time_point begin = Clock::now();
    while (Clock::now() - begin < std::chrono::milliseconds(400)) {
      positions.push_back(stream.position());
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stream.setVolume(0.5f);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
  unsetenv("SDL_AUDIODRIVER");
  unsetenv("SDL_DISKAUDIOFILE");

  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  // Heard about 0.4 s in, less one device buffer; the disk driver paces loosely.
  EXPECT_NEAR(positions.back() / (4.0 * 44100.0), 0.4, 0.08);
  const std::vector<unsigned char> bytes = readBytes(raw);
  const size_t written = bytes.size() / 2;
  ASSERT_GT(written, 4096u);
  std::vector<int16_t> out(written);
  std::memcpy(out.data(), bytes.data(), written * 2);
  // While paused the device writes whole buffers of silence; the music
  // starts on a buffer boundary (the sine's first frame is itself silent).
  const size_t firstSound = std::find_if(out.begin(), out.end(), [](int16_t v) { return v != 0; }) - out.begin();
  ASSERT_GE(firstSound, 2u);
  const size_t start = firstSound - 2;
  EXPECT_EQ(start % 2048, 0u);
  ASSERT_GT(written, start + 4096);
  for (size_t i = 0; i < 4096; ++i) ASSERT_EQ(out[start + i], audio.samples[i]) << "sample " << i;
  // The tail was written at half volume.
  const size_t last = written - 1;
  ASSERT_LT(last - start, audio.samples.size());
  EXPECT_NEAR(out[last], std::lrintf(audio.samples[last - start] * 0.5f), 1);
}
