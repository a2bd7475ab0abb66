// The music's analysis kept beside it: made once, loaded while the music is
// the same, made again when the music or the cache changes; the cache's
// bytes refused when they do not hold what they announce; music that is not
// music named. And synctool beats and onsets printing it.
#include "audio/music_analysis_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "audio/music_analysis_format.h"
#include "audio/wav_decoder.h"
#include "resources/little_endian.h"
#include "support/test_support.h"

namespace {
constexpr int kRate = 44100;

// Clicks on every beat, with a low thump on each bar's first: a song whose
// beats and bars are plain.
DecodedAudio clickTrack(double beatsPerMinute, double seconds) {
  DecodedAudio audio;
  audio.sampleRate = kRate;
  audio.samples.assign(static_cast<size_t>(seconds * kRate) * 2, 0);
  const double beat = 60.0 / beatsPerMinute;
  uint32_t noise = 1;
  for (int b = 0; b * beat + 0.3 < seconds; ++b) {
    const size_t first = static_cast<size_t>((0.25 + b * beat) * kRate);
    const size_t length = static_cast<size_t>(0.4 * kRate);
    for (size_t i = 0; i < length && first + i < audio.samples.size() / 2; ++i) {
      const double t = double(i) / kRate;
      const double fade = double(length - i) / double(length);
      noise = noise * 1664525u + 1013904223u;
      double s = (double(noise >> 8) / double(1 << 24) - 0.5) * std::exp(-t * 60.0);
      if (b % 4 == 0) s += 0.8 * std::sin(6.2831853 * 70.0 * t) * std::exp(-t * 12.0);
      const int16_t v = static_cast<int16_t>(std::lround(s * fade * 20000.0));
      audio.samples[2 * (first + i)] = v;
      audio.samples[2 * (first + i) + 1] = v;
    }
  }
  return audio;
}

std::vector<unsigned char> wavBytes(const DecodedAudio& audio) {
  std::vector<uint8_t> bytes = {'R', 'I', 'F', 'F'};
  const uint32_t data = static_cast<uint32_t>(audio.samples.size() * 2);
  appendInt32LE(bytes, static_cast<int32_t>(36 + data));
  for (char c : std::string("WAVEfmt ")) bytes.push_back(static_cast<uint8_t>(c));
  appendInt32LE(bytes, 16);
  appendInt32LE(bytes, 1 | 2 << 16);  // PCM, two channels
  appendInt32LE(bytes, kRate);
  appendInt32LE(bytes, kRate * 4);
  appendInt32LE(bytes, 4 | 16 << 16);  // block align, bits
  for (char c : std::string("data")) bytes.push_back(static_cast<uint8_t>(c));
  appendInt32LE(bytes, static_cast<int32_t>(data));
  for (int16_t s : audio.samples) {
    bytes.push_back(static_cast<uint8_t>(s & 0xFF));
    bytes.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
  }
  return std::vector<unsigned char>(bytes.begin(), bytes.end());
}
}  // namespace

TEST(MusicAnalysisCache, IsMadeOnceKeptBesideTheMusicAndMadeAgainWhenEitherChanges) {
  TempDir dir;
  EXPECT_EQ(musicAnalysisCacheName("demosrc\\norde\\data\\brivel-669.mp3"),
            "demosrc\\norde\\data\\brivel-669.analysis.cache");
  EXPECT_EQ(musicAnalysisCacheName("../v1.2/song"), "../v1.2/song.analysis.cache");

  writeBytes("song.wav", wavBytes(clickTrack(120.0, 12.0)));
  const MusicAnalysisOutcome made = loadOrAnalyseMusic("song.wav");
  ASSERT_TRUE(made.ok) << made.error;
  EXPECT_FALSE(made.fromCache);
  EXPECT_TRUE(made.cacheNote.empty()) << made.cacheNote;
  EXPECT_TRUE(made.analysis.pulse);
  EXPECT_NEAR(made.analysis.tempo, 120.0, 1.0);
  ASSERT_GE(made.analysis.beats.size(), 20u);
  for (const TrackedBeat& beat : made.analysis.beats) {
    const double fromClick = beat.time - 0.25 - 0.5 * std::round((beat.time - 0.25) / 0.5);
    EXPECT_LT(std::fabs(fromClick), 0.03) << beat.time;
    // The thump every fourth click starts the bars.
    EXPECT_EQ(beat.bar, std::lround((beat.time - 0.25) / 0.5) % 4 == 0) << beat.time;
  }
  EXPECT_TRUE(std::filesystem::exists("song.analysis.cache"));

  const MusicAnalysisOutcome loaded = loadOrAnalyseMusic("song.wav");
  ASSERT_TRUE(loaded.ok);
  EXPECT_TRUE(loaded.fromCache);
  EXPECT_TRUE(loaded.analysis == made.analysis);

  // New music under the same name: analysed again, and the cache with it.
  writeBytes("song.wav", wavBytes(clickTrack(100.0, 12.0)));
  const MusicAnalysisOutcome remade = loadOrAnalyseMusic("song.wav");
  ASSERT_TRUE(remade.ok);
  EXPECT_FALSE(remade.fromCache);
  EXPECT_NE(remade.cacheNote.find("is of other music"), std::string::npos) << remade.cacheNote;
  EXPECT_NEAR(remade.analysis.tempo, 100.0, 1.0);
  EXPECT_TRUE(loadOrAnalyseMusic("song.wav").fromCache);

  // A damaged cache is made again, never trusted.
  std::vector<unsigned char> cache = readBytes("song.analysis.cache");
  cache.pop_back();
  writeBytes("song.analysis.cache", cache);
  const MusicAnalysisOutcome repaired = loadOrAnalyseMusic("song.wav");
  EXPECT_FALSE(repaired.fromCache);
  EXPECT_NE(repaired.cacheNote.find("is not a usable cache"), std::string::npos) << repaired.cacheNote;
  EXPECT_TRUE(repaired.analysis == remade.analysis);

  writeFile("notes.mp3", "these are my notes, not music\n");
  MusicAnalysisOutcome refused = loadOrAnalyseMusic("notes.mp3");
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error.rfind("notes.mp3 is not music this program reads", 0), 0u) << refused.error;
  EXPECT_FALSE(std::filesystem::exists("notes.analysis.cache"));
  refused = loadOrAnalyseMusic("missing.mp3");
  EXPECT_EQ(refused.error, "cannot read missing.mp3: No such file or directory");
}

TEST(MusicAnalysisFormat, KeepsTheAnalysisAndRefusesBytesThatDoNotHoldIt) {
  MusicAnalysisFile file;
  file.version = kMusicAnalysisVersion;
  file.musicHash = 0x0123456789abcdefULL;
  file.analysis.pulse = true;
  file.analysis.tempo = 128.25;
  file.analysis.beats = {{0.5, true}, {0.96875, false}};
  file.analysis.onsets = {0.5, 0.75, 0.96875};
  const std::vector<uint8_t> bytes = writeMusicAnalysis(file);
  ASSERT_EQ(bytes.size(), kMusicAnalysisHeaderBytes + 2 * 12 + 3 * 8);
  const MusicAnalysisParse parsed = parseMusicAnalysis(bytes.data(), bytes.size());
  ASSERT_TRUE(parsed.problem.empty()) << parsed.problem;
  EXPECT_EQ(parsed.file.musicHash, file.musicHash);
  EXPECT_TRUE(parsed.file.analysis == file.analysis);

  const auto refusal = [&](size_t offset, std::vector<uint8_t> patch, size_t size) {
    std::vector<uint8_t> damaged = bytes;
    std::copy(patch.begin(), patch.end(), damaged.begin() + static_cast<long>(offset));
    return parseMusicAnalysis(damaged.data(), size).problem;
  };
  EXPECT_EQ(refusal(0, {}, 31), "shorter than its header (31 bytes)");
  EXPECT_EQ(refusal(0, {}, bytes.size() - 1), "79 bytes where the header announces 80");
  EXPECT_EQ(refusal(24, {0xFF, 0xFF, 0xFF, 0x7F}, bytes.size()),
            "80 bytes where the header announces " + std::to_string(32 + 2147483647ull * 12 + 3 * 8));
  EXPECT_EQ(refusal(28, {0xFF, 0xFF, 0xFF, 0xFF}, bytes.size()), "negative count");
  EXPECT_EQ(refusal(12, {2}, bytes.size()), "pulse flag 2 is not 0 or 1");
  EXPECT_EQ(refusal(40, {2, 0, 0, 0}, bytes.size()), "a beat's bar flag is not 0 or 1");
  // The second beat before the first.
  std::vector<uint8_t> early;
  appendDoubleLE(early, 0.25);
  EXPECT_EQ(refusal(44, early, bytes.size()), "beat times are not ascending seconds");
  EXPECT_EQ(parseMusicAnalysis(nullptr, 0).problem, "shorter than its header (0 bytes)");
}

// The tool itself, when this build has it.
TEST(SyncTool, PrintsTheBeatsAndOnsetsOfMusic) {
  const std::string tool = std::string(TARVO_BINARY_DIR) + "/synctool";
  if (!std::filesystem::exists(tool)) GTEST_SKIP() << "synctool not built in this tree";
  TempDir dir;
  writeBytes("song.wav", wavBytes(clickTrack(120.0, 12.0)));
  ASSERT_EQ(std::system((tool + " beats song.wav > beats.txt").c_str()), 0);
  const std::string beats = readFile("beats.txt");
  EXPECT_EQ(beats.rfind("# tempo 120.0 BPM\n", 0), 0u) << beats;
  EXPECT_NEAR(std::strtod(beats.c_str() + beats.find('\n') + 1, nullptr), 0.25, 0.01) << beats;
  // "seconds row [bar]": 0.25 s is row 4, 0.75 s row 12, the fifth click a bar's first.
  EXPECT_NE(beats.find("\n0.75"), std::string::npos) << beats;
  EXPECT_NE(beats.find(" 4 bar\n"), std::string::npos) << beats;
  EXPECT_NE(beats.find(" 12\n"), std::string::npos) << beats;
  EXPECT_NE(beats.find(" 36 bar\n"), std::string::npos) << beats;
  ASSERT_EQ(std::system((tool + " onsets song.wav > onsets.txt").c_str()), 0);
  const std::string onsets = readFile("onsets.txt");
  EXPECT_EQ(std::count(onsets.begin(), onsets.end(), '\n'), 24) << onsets;
  EXPECT_NEAR(std::strtod(onsets.c_str(), nullptr), 0.25, 0.01) << onsets;
  EXPECT_EQ(onsets.substr(5, 3), " 4\n") << onsets;

  DecodedAudio silence;
  silence.sampleRate = kRate;
  silence.samples.assign(kRate * 2 * 3, 0);
  writeBytes("silence.wav", wavBytes(silence));
  ASSERT_EQ(std::system((tool + " beats silence.wav > beats.txt").c_str()), 0);
  EXPECT_EQ(readFile("beats.txt"), "# tempo none: no steady pulse\n");

  writeFile("notes.mp3", "these are my notes, not music\n");
  EXPECT_EQ(std::system((tool + " beats notes.mp3 > beats.txt 2> error.txt").c_str()), 1 << 8);
  EXPECT_EQ(readFile("beats.txt"), "");
  EXPECT_NE(readFile("error.txt").find("notes.mp3 is not music this program reads"), std::string::npos);
}
