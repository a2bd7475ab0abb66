#include "audio/music_player.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "audio/manual_clock_stream.h"
#include "audio_test_util.h"
#include "base/keys.h"
#include "support/test_support.h"

namespace {
// Presses and releases a key the way the window layer reports it.
void tap(KeyStateTable& keys, int key) {
  keys.keyDown(key);
  keys.keyUp(key);
}

const char* const kMusic = "demosrc\\norde\\data\\tone.mp3";
const char* const kProject = "demosrc\\norde\\data\\nq.project";
const char* const kSyncBase = "demosrc\\norde\\data\\sync\\";

class MusicPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories("demosrc/norde/data/sync");
    std::filesystem::copy_file(fixturePath("tone_stereo_44k.mp3"), "demosrc/norde/data/tone.mp3");
    writeTrack("0", {{0, 0.0f, kSyncLinear}, {16, 1.0f, kSyncLinear}});
    writeTrack("63", {{0, 2.0f, kSyncStep}, {16, 7.0f, kSyncStep}});
    auto stream = std::make_unique<ManualClockStream>();
    clock = stream.get();
    player = std::make_unique<MusicPlayer>(std::move(stream));
    input.setFocus(true);
    setInputSource(&input);
  }
  void TearDown() override {
    setInputSource(nullptr);
    captureStdout([&] { player.reset(); });
  }
  static void writeTrack(const std::string& name, const std::vector<SyncKey>& keys) {
    const std::vector<uint8_t> bytes = writeTrackBytes(keys);
    writeBytes("demosrc/norde/data/sync/_" + name + ".track", std::vector<unsigned char>(bytes.begin(), bytes.end()));
  }
  std::string openPlayer() {
    return captureStdout([&] { player->open(kMusic, kProject, kSyncBase); });
  }
  double updateAt(double seconds) {
    clock->setSeconds(seconds);
    double result = 0.0;
    lastLog = captureStdout([&] { result = player->update(); });
    input.applyPendingReleases();
    return result;
  }

  TempDir dir;
  KeyStateTable input;
  ManualClockStream* clock = nullptr;
  std::unique_ptr<MusicPlayer> player;
  std::string lastLog;
};
}  // namespace

TEST_F(MusicPlayerTest, OpensMusicTracksAndSpectrum) {
  const std::string log = openPlayer();
  EXPECT_NE(log.find("Freqency: 44100.000000\n"), std::string::npos) << log;
  EXPECT_NE(log.find("fftCacheName: demosrc\\norde\\data\\tone.cache\n"), std::string::npos);
  EXPECT_EQ(log.find("failed"), std::string::npos);
  EXPECT_NEAR(player->length, 2.0f, 0.03f);
  EXPECT_EQ(player->sampleRate, 44100.0f);
  EXPECT_FALSE(player->started);
  EXPECT_EQ(player->spectrum.frameCount, static_cast<int>(player->length * 30.0f));
  EXPECT_TRUE(std::filesystem::exists("demosrc/norde/data/tone.cache"));
  ASSERT_NE(player->syncDevice, nullptr);
  ASSERT_EQ(player->syncDevice->tracks.size(), 64u);
  for (int i = 0; i < kSyncTrackCount; ++i) EXPECT_EQ(player->tracks[i]->name, std::to_string(i));
}

TEST_F(MusicPlayerTest, FirstUpdateStartsPlaybackAndEvaluatesAtSixteenRowsPerSecond) {
  openPlayer();
  clock->setSeconds(1.0);  // the first update restarts from the beginning
  EXPECT_EQ(player->update(), 0.0);
  EXPECT_TRUE(player->started);
  EXPECT_TRUE(clock->started());
  EXPECT_TRUE(clock->playing());
  EXPECT_EQ(clock->volume(), 100.0f);  // stored as given; the stream caps the gain

  EXPECT_DOUBLE_EQ(updateAt(0.5), 0.5);  // row 8
  EXPECT_FLOAT_EQ(player->values[0], 0.5f);
  EXPECT_FLOAT_EQ(player->values[63], 2.0f);
  EXPECT_FLOAT_EQ(player->values[1], 0.0f);  // no file
  updateAt(0.53125);  // row 8.5, less the part of a sample frame the clock can't show
  EXPECT_NEAR(player->values[0], 0.53125f, 1e-5f);
  updateAt(1.0);  // row 16
  EXPECT_FLOAT_EQ(player->values[0], 1.0f);
  EXPECT_FLOAT_EQ(player->values[63], 7.0f);
  EXPECT_FLOAT_EQ(player->time, 1.0f);
}

TEST_F(MusicPlayerTest, KeyKTogglesVolumeAndKeyIRestarts) {
  openPlayer();
  player->update();
  tap(input, 'K');
  updateAt(0.2);
  EXPECT_EQ(lastLog, "offvolume: 0.000000\n");
  EXPECT_EQ(player->volume, 0.0f);
  EXPECT_EQ(clock->volume(), 0.0f);
  input.keyDown('K');  // pressed again and held
  updateAt(0.25);
  EXPECT_EQ(lastLog, "onvolume: 1.000000\n");
  EXPECT_EQ(player->volume, 1.0f);
  updateAt(0.3);  // still held: no new toggle
  EXPECT_EQ(lastLog, "");
  input.keyUp('K');
  updateAt(0.35);
  EXPECT_EQ(lastLog, "");

  tap(input, 'I');
  EXPECT_DOUBLE_EQ(updateAt(1.0), 1.0);
  EXPECT_EQ(clock->position(), 0);

  // Without focus both keys are ignored.
  input.setFocus(false);
  tap(input, 'K');
  tap(input, 'I');
  updateAt(1.0);
  EXPECT_EQ(lastLog, "");
  EXPECT_EQ(player->volume, 1.0f);
  EXPECT_GT(clock->position(), 0);
}

TEST_F(MusicPlayerTest, RestartsWithinFiftyMillisecondsOfTheEnd) {
  openPlayer();
  player->update();
  input.setFocus(false);  // the end-of-music restart does not need focus
  const double nearEnd = player->length - 0.06;
  EXPECT_NEAR(updateAt(nearEnd), nearEnd, 1e-4);
  EXPECT_GT(clock->position(), 0);
  const double pastMargin = player->length - 0.04;
  EXPECT_NEAR(updateAt(pastMargin), pastMargin, 1e-4);
  EXPECT_EQ(clock->position(), 0);
  EXPECT_EQ(player->update(), 0.0);
}

TEST_F(MusicPlayerTest, MissingMusicIsReportedAndTheShowGoesOn) {
  std::filesystem::remove("demosrc/norde/data/tone.mp3");
  const std::string log = openPlayer();
  EXPECT_NE(log.find("failed to open tune\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Freqency: 0.000000\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("demosrc/norde/data/tone.cache"));
  EXPECT_EQ(player->length, 0.0f);
  EXPECT_EQ(player->update(), 0.0);
  EXPECT_FLOAT_EQ(player->values[0], 0.0f);
  EXPECT_FLOAT_EQ(player->values[63], 2.0f);  // tracks still load
  EXPECT_EQ(player->spectrum.value(0, 1), 0.0f);
}

TEST_F(MusicPlayerTest, DestructorSaysGoodbye) {
  openPlayer();
  EXPECT_EQ(captureStdout([&] { player.reset(); }), "Rydd minnet ditt sjael\n");
}
