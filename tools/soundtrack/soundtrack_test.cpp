#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

#include "arrangement.h"
#include "dsp.h"
#include "render.h"
#include "wav_writer.h"

namespace soundtrack {
namespace {

uint32_t read32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}

TEST(WavWriter, HeaderDescribesStereo16BitPcm) {
  const std::vector<int16_t> samples = {1, -1, 32767, -32768};
  const std::vector<uint8_t> wav = encodeWav16(samples, 2, 44100);
  ASSERT_EQ(wav.size(), 44u + 8u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(read32(wav, 4), 36u + 8u);
  EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(read32(wav, 24), 44100u);
  EXPECT_EQ(read32(wav, 28), 44100u * 4);  // bytes per second
  EXPECT_EQ(wav[32], 4);                   // block align
  EXPECT_EQ(wav[34], 16);                  // bits
  EXPECT_EQ(read32(wav, 40), 8u);
  // Little-endian samples: -1 is FF FF, -32768 is 00 80.
  EXPECT_EQ(wav[46], 0xFF);
  EXPECT_EQ(wav[47], 0xFF);
  EXPECT_EQ(wav[50], 0x00);
  EXPECT_EQ(wav[51], 0x80);
  std::string error;
  EXPECT_FALSE(writeBytes("/nonexistent-dir/x.wav", wav, &error));
  EXPECT_FALSE(error.empty());
}

TEST(Dsp, NoiseIsDeterministicAndBounded) {
  double sum = 0.0;
  for (uint32_t i = 0; i < 100000; ++i) {
    const float v = hashNoise(i, 7);
    ASSERT_GE(v, -1.0f);
    ASSERT_LE(v, 1.0f);
    sum += v;
  }
  EXPECT_LT(std::fabs(sum / 100000.0), 0.01);  // no DC to speak of
  EXPECT_EQ(hashNoise(1234, 5), hashNoise(1234, 5));
  EXPECT_NE(hashNoise(1234, 5), hashNoise(1234, 6));
  EXPECT_DOUBLE_EQ(midiToHz(69.0), 440.0);
  EXPECT_NEAR(midiToHz(57.0), 220.0, 1e-9);
}

TEST(Dsp, EnvelopeAttacksSustainsAndReleases) {
  EXPECT_EQ(adsr(-0.1, 1.0, 0.1, 0.2, 0.5, 0.3), 0.0);
  EXPECT_NEAR(adsr(0.05, 1.0, 0.1, 0.2, 0.5, 0.3), 0.5, 1e-12);
  EXPECT_NEAR(adsr(0.1, 1.0, 0.1, 0.2, 0.5, 0.3), 1.0, 1e-12);
  EXPECT_NEAR(adsr(0.99, 1.0, 0.1, 0.02, 0.5, 0.3), 0.5, 1e-6);
  EXPECT_LT(adsr(2.0, 1.0, 0.1, 0.02, 0.5, 0.3), 0.02);
}

TEST(Dsp, LowpassPassesBassAndStopsTreble) {
  auto gainAt = [](double hz) {
    StateVariableFilter filter;
    SineOscillator sine;
    double peak = 0.0;
    for (int i = 0; i < 44100; ++i) {
      const double y = filter.lowpass(sine.next(hz), 500.0, 0.707);
      if (i > 22050) peak = std::max(peak, std::fabs(y));
    }
    return peak;
  };
  EXPECT_NEAR(gainAt(50.0), 1.0, 0.05);
  EXPECT_LT(gainAt(8000.0), 0.01);
}

TEST(Render, TestClipIsFiveSecondsDeterministicAndLoud) {
  const Score score = composeTestClip();
  const std::vector<int16_t> first = renderScore(score);
  ASSERT_EQ(first.size(), size_t(5 * 44100 * 2));
  EXPECT_EQ(first, renderScore(composeTestClip()));
  int peak = 0;
  double energy = 0.0;
  for (int16_t s : first) {
    peak = std::max(peak, std::abs(int(s)));
    energy += double(s) * s;
  }
  EXPECT_LE(peak, int(kPeakLevel * 32767) + 1);
  EXPECT_GT(peak, int(kPeakLevel * 32767 * 0.95));
  const double rms = std::sqrt(energy / first.size()) / 32767.0;
  EXPECT_GT(rms, 0.08);
  // The fade-out ends in silence.
  EXPECT_LT(std::abs(int(first[first.size() - 2])), 200);
}

TEST(Arrangement, FullPieceHasItsSections) {
  const Score score = composeFullPiece();
  EXPECT_GE(score.length, 120.0);
  EXPECT_LE(score.length, 180.0);

  // The sections tile the bars from 0 without gaps, and the last one ends
  // before the audio does.
  const std::vector<Section>& sections = fullPieceSections();
  ASSERT_EQ(sections.size(), 7u);
  int nextBar = 0;
  for (const Section& section : sections) {
    EXPECT_EQ(section.firstBar, nextBar) << section.name;
    EXPECT_GT(section.bars, 0) << section.name;
    nextBar = section.firstBar + section.bars;
  }
  EXPECT_LE(nextBar * kSecondsPerBar, score.length);
  auto secondsOf = [&](const char* name) {
    for (const Section& s : sections)
      if (std::string(s.name) == name) return std::make_pair(s.firstBar * kSecondsPerBar, (s.firstBar + s.bars) * kSecondsPerBar);
    ADD_FAILURE() << "no section " << name;
    return std::make_pair(0.0, 0.0);
  };

  auto countIn = [&](Instrument instrument, std::pair<double, double> range) {
    return std::count_if(score.notes.begin(), score.notes.end(), [&](const Note& n) {
      return n.instrument == instrument && n.start >= range.first && n.start < range.second;
    });
  };
  // No kick in the intro or the breakdown; a kick on every beat of both drops.
  EXPECT_EQ(countIn(Instrument::Kick, secondsOf("intro")), 0);
  EXPECT_EQ(countIn(Instrument::Kick, secondsOf("breakdown")), 0);
  for (const char* drop : {"drop", "second drop"}) {
    const auto range = secondsOf(drop);
    EXPECT_GE(countIn(Instrument::Kick, range), (range.second - range.first) * 2) << drop;
    EXPECT_GT(countIn(Instrument::Lead, range), 30) << drop;
    EXPECT_GT(countIn(Instrument::Clap, range), 0) << drop;
    EXPECT_EQ(countIn(Instrument::Downsweep, {range.first, range.first + 0.01}), 1) << drop;
  }
  EXPECT_GT(countIn(Instrument::Arp, secondsOf("breakdown")), 100);
  EXPECT_GT(countIn(Instrument::Riser, secondsOf("build-up")), 0);
  EXPECT_GT(countIn(Instrument::Riser, secondsOf("second build-up")), 0);
  // The outro's beat stops half way, so the piece ends on held chords.
  const auto outro = secondsOf("outro");
  EXPECT_EQ(countIn(Instrument::Kick, {outro.first + 8.0, score.length}), 0);
  for (const Note& n : score.notes) {
    ASSERT_GE(n.start, 0.0);
    ASSERT_LT(n.start, score.length);
  }
  EXPECT_TRUE(std::is_sorted(score.kickTimes.begin(), score.kickTimes.end()));
}

TEST(Arrangement, SectionTableGivesSecondsAndSyncRows) {
  const std::vector<Section> sections = {{"intro", 0, 2}, {"drop", 2, 3}};
  const std::string table = describeSections(sections, 11.5);
  // Bars are two seconds, rows sixteen per second; the last section runs to
  // the end of the audio.
  EXPECT_NE(table.find("intro                   0.0     4.0          0       64\n"), std::string::npos) << table;
  EXPECT_NE(table.find("drop                    4.0    11.5         64      184\n"), std::string::npos) << table;
  EXPECT_EQ(table.front(), '#');
  EXPECT_EQ(describeSections({}, 10.0).find("intro"), std::string::npos);
}

}  // namespace
}  // namespace soundtrack
