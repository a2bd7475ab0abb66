// The sound layer's interface and the clock a caller drives.
#include <gtest/gtest.h>

#include "audio/manual_clock_stream.h"
#include "audio_test_util.h"
#include "support/test_support.h"

TEST(AudioStream, ConvertsBetweenBytesAndSeconds) {
  ManualClockStream stream;
  EXPECT_EQ(stream.bytesToSeconds(4000), 0.0);  // closed stream
  EXPECT_EQ(stream.secondsToBytes(1.0), 0);
  stream.openDecoded(sineAudio(3.0, 100.0, 48000));
  EXPECT_EQ(stream.lengthBytes(), 3 * 48000 * 4);
  EXPECT_FLOAT_EQ(stream.sampleRate(), 48000.0f);
  EXPECT_DOUBLE_EQ(stream.bytesToSeconds(stream.lengthBytes()), 3.0);
  EXPECT_EQ(stream.secondsToBytes(0.5), 24000 * 4);
  EXPECT_EQ(stream.secondsToBytes(1.0 / 30.0), 1600 * 4);
  EXPECT_EQ(stream.secondsToBytes(-1.0), 0);
  EXPECT_FLOAT_EQ(playbackGain(100.0f), 1.0f);
  EXPECT_FLOAT_EQ(playbackGain(0.25f), 0.25f);
  EXPECT_FLOAT_EQ(playbackGain(-3.0f), 0.0f);
}

TEST(ManualClockStream, PositionFollowsTheCallersFrames) {
  ManualClockStream stream;
  stream.openDecoded(sineAudio(10.0, 100.0));
  stream.start();
  stream.play(true);
  stream.setFrame(45, 30.0);  // 1.5 s
  EXPECT_DOUBLE_EQ(stream.bytesToSeconds(stream.position()), 1.5);
  stream.setVolume(100.0f);
  EXPECT_EQ(stream.volume(), 100.0f);
  stream.setSeconds(60.0);  // clamped to the end
  EXPECT_EQ(stream.position(), stream.lengthBytes());
  stream.play(true);
  EXPECT_EQ(stream.position(), 0);

  // Driven by a renderer: only the clock controls move it.
  stream.setDriven(true);
  stream.setSeconds(2.0);
  stream.play(true);
  stream.setPosition(0);
  EXPECT_DOUBLE_EQ(stream.bytesToSeconds(stream.position()), 2.0);
  stream.setFrame(90, 60.0);
  EXPECT_DOUBLE_EQ(stream.bytesToSeconds(stream.position()), 1.5);
}

TEST(AudioStream, ADecodeStartedAheadOpensAsTheFileWould) {
  ManualClockStream plain;
  ASSERT_TRUE(plain.open(fixturePath("tone_stereo_44k.mp3")));
  ManualClockStream ahead;
  ahead.prefetch(fixturePath("tone_stereo_44k.mp3"));
  ASSERT_TRUE(ahead.open(fixturePath("tone_stereo_44k.mp3")));
  EXPECT_EQ(ahead.decoded().samples, plain.decoded().samples);
  EXPECT_EQ(ahead.lengthBytes(), plain.lengthBytes());
  EXPECT_EQ(ahead.openNotice(), plain.openNotice());

  // Another file than the one fetched is decoded when opened; a failure
  // reads the same either way.
  ManualClockStream other;
  other.prefetch(fixturePath("tone_mono_22k.mp3"));
  ASSERT_TRUE(other.open(fixturePath("tone_stereo_44k.mp3")));
  EXPECT_EQ(other.decoded().samples, plain.decoded().samples);
  ManualClockStream missing;
  missing.prefetch(fixturePath("none.mp3"));
  EXPECT_FALSE(missing.open(fixturePath("none.mp3")));
  EXPECT_NE(missing.openError().find("cannot open"), std::string::npos) << missing.openError();
}
