#include "audio/mp3_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "audio/spectrum_analysis.h"
#include "audio_test_util.h"
#include "support/test_support.h"

namespace {
// Index of the strongest bin of the block starting at frame.
int peakBin(const DecodedAudio& audio, int64_t frame, int channel) {
  DecodedAudio one;
  one.sampleRate = audio.sampleRate;
  one.samples.resize(audio.samples.size());
  for (size_t i = 0; i + 1 < audio.samples.size(); i += 2) {
    one.samples[i] = one.samples[i + 1] = audio.samples[i + channel];
  }
  SpectrumAnalyzer analyzer;
  std::vector<float> bins(kFftBinCount);
  analyzer.magnitudes(one, frame, bins.data());
  return static_cast<int>(std::max_element(bins.begin(), bins.end()) - bins.begin());
}
}  // namespace

TEST(Mp3Decoder, DecodesStereoFixtureWithLengthRateAndTones) {
  const DecodeResult result = decodeMp3File(fixturePath("tone_stereo_44k.mp3"));
  ASSERT_TRUE(result.error.empty()) << result.error;
  const DecodedAudio& audio = result.audio;
  EXPECT_EQ(audio.sampleRate, 44100);
  // 2.0 s encoded; the encoder's header lets the decoder trim its padding.
  EXPECT_EQ(audio.frameCount(), 88200);
  EXPECT_EQ(audio.samples.size() % 2, 0u);
  // 440 Hz left, 660 Hz right: bins 81.7 and 122.6 of an 8192-point FFT.
  EXPECT_NEAR(peakBin(audio, 20000, 0), 82, 1);
  EXPECT_NEAR(peakBin(audio, 20000, 1), 123, 1);
}

TEST(Mp3Decoder, DuplicatesMonoIntoBothChannels) {
  const DecodeResult result = decodeMp3File(fixturePath("tone_mono_22k.mp3"));
  ASSERT_TRUE(result.error.empty()) << result.error;
  EXPECT_EQ(result.audio.sampleRate, 22050);
  EXPECT_EQ(result.audio.frameCount(), 22050);
  const std::vector<int16_t>& s = result.audio.samples;
  bool same = true;
  int16_t loudest = 0;
  for (size_t i = 0; i < s.size(); i += 2) {
    same = same && s[i] == s[i + 1];
    loudest = std::max<int16_t>(loudest, s[i]);
  }
  EXPECT_TRUE(same);
  EXPECT_GT(loudest, 8000);
}

TEST(Mp3Decoder, RefusesMissingEmptyAndNonMp3Bytes) {
  EXPECT_FALSE(decodeMp3File("/nonexistent/tune.mp3").error.empty());
  EXPECT_FALSE(decodeMp3(nullptr, 0).error.empty());
  std::vector<uint8_t> noise(5000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7 + 3);
  const DecodeResult garbage = decodeMp3(noise.data(), noise.size());
  EXPECT_FALSE(garbage.error.empty());
  EXPECT_TRUE(garbage.audio.empty());
  // A fixture cut in half still decodes its first half.
  std::vector<uint8_t> bytes = readBytes(fixturePath("tone_stereo_44k.mp3"));
  bytes.resize(bytes.size() / 2);
  const DecodeResult half = decodeMp3(bytes.data(), bytes.size());
  EXPECT_TRUE(half.error.empty()) << half.error;
  EXPECT_GT(half.audio.frameCount(), 30000);
  EXPECT_LT(half.audio.frameCount(), 60000);
}

TEST(Mp3Decoder, AnAbsurdLengthInTheHeaderIsNotBelieved) {
  // The encoder's Xing header claims 2^32 - 1 frames; the decoder keeps what
  // the file holds (without the claimed end, the padding is not trimmed).
  std::vector<uint8_t> bytes = readBytes(fixturePath("tone_mono_22k.mp3"));
  const auto xing = std::search(bytes.begin(), bytes.end(), std::begin("Xing"), std::end("Xing") - 1);
  ASSERT_NE(xing, bytes.end());
  std::fill(xing + 8, xing + 12, 0xFF);  // after the tag and its flags
  const DecodeResult result = decodeMp3(bytes.data(), bytes.size());
  ASSERT_TRUE(result.error.empty()) << result.error;
  EXPECT_GE(result.audio.frameCount(), 22050);
  EXPECT_LE(result.audio.frameCount(), 41 * 576);  // the file's 41 frames of 576 samples
  EXPECT_LE(result.audio.samples.capacity(), 2u * 41 * 576 * kPcmChannels);
}
