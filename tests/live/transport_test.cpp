// The transport as the one owner of the play position, without a window: a
// reloaded soundtrack keeps the time (at the new end when it got shorter),
// and a loop the new music no longer reaches is named until a later reload
// brings it back; the loop wraps and the live mode holds at the end.
#include "live/transport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "audio/manual_clock_stream.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {
const std::string kFixtures = std::string(TARVO_SOURCE_DIR) + "/tests/audio/fixtures/";

void putMusic(const std::string& fixture) {
  fs::copy_file(kFixtures + fixture, "music.mp3", fs::copy_options::overwrite_existing);
}
}  // namespace

TEST(Transport, KeepsThePlaceThroughAMusicReloadAndNamesALoopOutOfReach) {
  TempDir dir;
  putMusic("tone_stereo_44k.mp3");  // 2.0 s
  MusicPlayer music(std::make_unique<ManualClockStream>());
  Transport transport(music, true);
  ASSERT_TRUE(transport.reloadMusic("music.mp3").front().ok());
  ASSERT_NEAR(music.length, 2.0f, 0.01f);
  transport.setLoop(1.6, 1.9);
  transport.seek(1.7);

  // Shorter music: playback stays as near as it can, and the loop is named.
  putMusic("tone_short_44k.mp3");  // 1.5 s
  ReloadResults results = transport.reloadMusic("music.mp3");
  ASSERT_EQ(results.size(), 2u);
  EXPECT_TRUE(results[0].ok());
  EXPECT_EQ(results[1].path, Transport::loopReloadKey());
  EXPECT_EQ(results[1].problem.osText(),
            "music.mp3: the loop from 1.600 s to 1.900 s is out of reach: the music is now 1.500 s long");
  EXPECT_NEAR(transport.now(), 1.5, 0.001);
  transport.beforeFrame();
  EXPECT_TRUE(transport.paused()) << "the live mode holds at the end";

  // The longer music back: the loop is in reach again and wraps.
  putMusic("tone_stereo_44k.mp3");
  results = transport.reloadMusic("music.mp3");
  ASSERT_EQ(results.size(), 2u);
  EXPECT_TRUE(results[1].ok());
  EXPECT_NEAR(transport.now(), 1.5, 0.001);
  transport.seek(1.95);
  transport.beforeFrame();
  EXPECT_NEAR(transport.now(), 1.6, 0.001);

  // A file that does not decode keeps the music and the place.
  std::ofstream("music.mp3", std::ios::trunc) << "not music";
  results = transport.reloadMusic("music.mp3");
  ASSERT_EQ(results.size(), 1u);
  EXPECT_FALSE(results[0].ok());
  EXPECT_NEAR(music.length, 2.0f, 0.01f);
  EXPECT_NEAR(transport.now(), 1.6, 0.001);
}

TEST(Transport, PausesResumesSeeksWithinTheMusicAndWalksTheSections) {
  TempDir dir;
  putMusic("tone_stereo_44k.mp3");  // 2.0 s
  auto stream = std::make_unique<ManualClockStream>();
  ManualClockStream& clock = *stream;
  MusicPlayer music(std::move(stream));
  Transport transport(music, true);
  ASSERT_TRUE(transport.reloadMusic("music.mp3").front().ok());

  // Seeks stay within the music.
  transport.seek(-3.0);
  EXPECT_EQ(transport.now(), 0.0);
  transport.seek(99.0);
  EXPECT_NEAR(transport.now(), 2.0, 0.001);

  // Held at the end, paused; play starts over rather than being paused
  // again by the same frame's end.
  transport.beforeFrame();
  ASSERT_TRUE(transport.paused());
  EXPECT_FALSE(clock.playing());
  transport.resume();
  transport.beforeFrame();
  EXPECT_FALSE(transport.paused());
  EXPECT_TRUE(clock.playing());
  EXPECT_EQ(transport.now(), 0.0);
  // A pause keeps the place; a seek while paused stays paused.
  transport.seek(0.75);
  transport.pause();
  transport.seek(1.25);
  EXPECT_TRUE(transport.paused());
  EXPECT_FALSE(clock.playing());
  transport.resume();
  EXPECT_NEAR(transport.now(), 1.25, 0.001);

  // Sections: PageDown goes to the next start; PageUp to this section's
  // start, or to the one before when just past its start.
  transport.setSections({{"intro", 0.0, 0.5}, {"drop", 0.5, 1.5}, {"outro", 1.5, 2.0}});
  EXPECT_EQ(transport.sectionAt(0.7), "drop");
  EXPECT_EQ(transport.sectionAt(2.5), "");
  EXPECT_EQ(transport.nextSectionStart(0.7), 1.5);
  EXPECT_EQ(transport.nextSectionStart(1.8), 1.8) << "past the last start it stays";
  EXPECT_EQ(transport.previousSectionStart(1.2), 0.5);
  EXPECT_EQ(transport.previousSectionStart(0.7), 0.0) << "within the grace after a start";
  EXPECT_EQ(transport.previousSectionStart(0.2), 0.0);
}
