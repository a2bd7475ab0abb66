#include "audio/spectrum_cache.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "audio/manual_clock_stream.h"
#include "audio/spectrum_analysis.h"
#include "audio/spectrum_cache_format.h"
#include "audio_test_util.h"
#include "support/test_support.h"

namespace {
// Frequency of the centre of bin k at 44.1 kHz.
double binFrequency(int k) { return k * 44100.0 / kFftSize; }

// Band holding bin k.
int bandOfBin(int k) {
  int first = 0;
  for (int b = 0; b < kSpectrumBandCount; ++b) {
    const int width = spectrumBandWidths()[b];
    if (k >= first && k < first + width) return b;
    first += width;
  }
  return -1;
}

std::string openCache(SpectrumCache& cache, AudioStream& stream, const std::string& path) {
  return captureStdout([&] { cache.open(stream, path); });
}
}  // namespace

TEST(SpectrumBands, WidthsGrowAsAPowerOfTheBandIndex) {
  const auto& widths = spectrumBandWidths();
  const int expected[][3] = {{0, 0, 0},    {1, 4, 1},    {5, 12, 2},   {13, 23, 3}, {24, 38, 4},
                             {39, 57, 5},  {58, 81, 6},  {82, 110, 7}, {111, 127, 8}};
  for (const auto& range : expected) {
    for (int b = range[0]; b <= range[1]; ++b) EXPECT_EQ(widths[b], range[2]) << "band " << b;
  }
  EXPECT_EQ(spectrumBinsCovered(), 691);
  EXPECT_EQ(bandOfBin(0), 1);
  EXPECT_EQ(bandOfBin(690), 127);
  EXPECT_EQ(bandOfBin(691), -1);
}

TEST(SpectrumBands, FrameCountAndStartFollowThirtyFramesPerSecond) {
  EXPECT_EQ(spectrumFrameCount(10.0f), 300);
  EXPECT_EQ(spectrumFrameCount(0.02f), 0);
  EXPECT_EQ(spectrumFrameCount(-1.0f), 0);
  EXPECT_EQ(spectrumFrameCount(NAN), 0);
  EXPECT_EQ(spectrumFrameStart(299, 44100), 439530);  // 9.9667 s
}

TEST(SpectrumAnalysis, SineCentredOnABinRaisesOnlyItsBand) {
  for (int k : {3, 40, 200, 600}) {
    const DecodedAudio audio = sineAudio(1.0, binFrequency(k));
    SpectrumAnalyzer analyzer;
    std::vector<float> bins(kFftBinCount);
    analyzer.magnitudes(audio, 1000, bins.data());
    EXPECT_NEAR(bins[k], 1.0f, 0.02f) << "bin " << k;
    float bands[kSpectrumBandCount];
    groupSpectrumBands(bins.data(), bands);
    const int home = bandOfBin(k);
    EXPECT_GT(bands[home], 0.9f);
    for (int b = 0; b < kSpectrumBandCount; ++b) {
      if (std::abs(b - home) > 2) {
        EXPECT_LT(bands[b], 1e-3f) << "bin " << k << " band " << b;
      }
    }
    EXPECT_EQ(bands[0], 0.0f);
  }
}

TEST(SpectrumAnalysis, ZerosPastTheEndAndSameResultOnAnyThreadCount) {
  const DecodedAudio audio = sineAudio(3.0, 1234.0);
  SpectrumAnalyzer analyzer;
  std::vector<float> bins(kFftBinCount, 5.0f);
  analyzer.magnitudes(audio, audio.frameCount() + 10, bins.data());
  for (float v : bins) ASSERT_EQ(v, 0.0f);

  const int32_t frames = spectrumFrameCount(3.0f);
  const SpectrumTable one = analyseSpectrum(audio, frames, 1);
  const SpectrumTable two = analyseSpectrum(audio, frames, 2);
  const SpectrumTable seven = analyseSpectrum(audio, frames, 7);
  ASSERT_EQ(one.bandValues.size(), size_t(frames) * kSpectrumBandCount);
  EXPECT_EQ(std::memcmp(one.bandValues.data(), two.bandValues.data(), one.bandValues.size() * 4), 0);
  EXPECT_EQ(std::memcmp(one.bandValues.data(), seven.bandValues.data(), one.bandValues.size() * 4), 0);
}

TEST(SpectrumCacheFormat, RefusesInconsistentBytes) {
  SpectrumCacheData data;
  data.frameCount = 2;
  data.bandCount = 3;
  data.framesPerSecond = 30;
  data.fftFlags = kSpectrumFftFlags;
  data.bandValues = {1, 2, 3, 4, 5, 6.5f};
  std::vector<uint8_t> bytes = writeSpectrumCache(data);
  ASSERT_EQ(bytes.size(), 16u + 24u);
  SpectrumCacheParseResult parsed = parseSpectrumCache(bytes.data(), bytes.size());
  ASSERT_TRUE(parsed.problem.empty()) << parsed.problem;
  EXPECT_EQ(parsed.data.bandValues, data.bandValues);
  EXPECT_EQ(parsed.data.fftFlags, kSpectrumFftFlags);

  EXPECT_FALSE(parseSpectrumCache(bytes.data(), bytes.size() - 1).problem.empty());
  bytes.push_back(0);
  EXPECT_FALSE(parseSpectrumCache(bytes.data(), bytes.size()).problem.empty());
  EXPECT_FALSE(parseSpectrumCache(bytes.data(), 15).problem.empty());
  const int32_t badHeaders[][3] = {{-1, 128, 30}, {1, -128, 30}, {1, 0, 30}, {1, 1 << 30, 30}, {1, 128, 0}};
  for (const auto& header : badHeaders) {
    SpectrumCacheData bad;
    bad.frameCount = header[0];
    bad.bandCount = header[1];
    bad.framesPerSecond = header[2];
    const std::vector<uint8_t> badBytes = writeSpectrumCache(bad);
    const SpectrumCacheParseResult refused = parseSpectrumCache(badBytes.data(), badBytes.size());
    EXPECT_FALSE(refused.problem.empty());
    EXPECT_TRUE(refused.data.bandValues.empty());
  }
}

TEST(SpectrumCache, BuildsTenSecondsThenLoadsTheSameTable) {
  TempDir dir;
  std::filesystem::create_directories("music/data");
  ManualClockStream stream;
  stream.openDecoded(sineAudio(10.0, binFrequency(100), 44100, 16000.0));
  EXPECT_EQ(SpectrumCache::cacheFileName("music.d\\data\\tune.mp3"), "music.cache");
  EXPECT_EQ(SpectrumCache::cacheFileName("music\\tune"), "music\\tune.cache");

  SpectrumCache built;
  std::string log = openCache(built, stream, "music\\data\\tune.mp3");
  EXPECT_EQ(built.length, 10.0f);
  EXPECT_EQ(built.frameCount, 300);
  EXPECT_EQ(built.bandCount, 128);
  EXPECT_EQ(built.framesPerSecond, 30);
  EXPECT_EQ(built.fftFlags, static_cast<int32_t>(0x80000005u));
  EXPECT_EQ(readBytes("music/data/tune.cache").size(), 153616u);
  EXPECT_EQ(log.rfind("fftCacheName: music\\data\\tune.cache\nCreating music\\data\\tune.cache\n"
                      "\tWriting 300 samples and 128 bands\n0 0@0.000000 - ", 0), 0u) << log.substr(0, 200);
  EXPECT_NE(log.find("\n1758120 38272@9.966666 - "), std::string::npos);  // frame 299 at 9.9667 s
  EXPECT_NE(log.find("music\\data\\tune.cache is Successfully Created\n"), std::string::npos);
  EXPECT_EQ(log.find("Loading"), std::string::npos);

  SpectrumCache loaded;
  log = openCache(loaded, stream, "music\\data\\tune.mp3");
  EXPECT_EQ(log, "fftCacheName: music\\data\\tune.cache\nLoading FFT Cache: music\\data\\tune.cache\n"
                 "\tLoaded Successfully\n");
  EXPECT_EQ(loaded.bandValues, built.bandValues);
  ASSERT_EQ(loaded.statistics.size(), 128u);
  const int home = bandOfBin(100);
  for (int f = 0; f < 300; ++f) EXPECT_EQ(loaded.bandValues[f * 128], 0.0f);
  EXPECT_EQ(loaded.statistics[0].mean, 0.0f);
  // The band holds bins 97 to 100; the window spreads half the peak into bin 99.
  EXPECT_NEAR(loaded.statistics[home].mean, 1.5f * 16000.0f / 32768.0f, 0.02f);
  EXPECT_GE(loaded.statistics[home].maximum, loaded.statistics[home].mean);
  EXPECT_LE(loaded.statistics[home].minimum, loaded.statistics[home].mean);
  EXPECT_GE(loaded.statistics[home].variance, 0.0f);
  for (int b = 0; b < 128; ++b) {
    EXPECT_EQ(loaded.statistics[b].mean, built.statistics[b].mean);
    EXPECT_EQ(loaded.statistics[b].variance, built.statistics[b].variance);
  }
  const SpectrumView view = loaded.view();
  EXPECT_EQ(view.values, loaded.bandValues.data());
  EXPECT_EQ(view.frameCount, 300);
  EXPECT_EQ(view.length, 10.0f);
  EXPECT_EQ(loaded.value(5000, home), loaded.value(299, home));  // clamped
}

TEST(SpectrumCache, DamagedCachesAreRebuilt) {
  TempDir dir;
  ManualClockStream stream;
  stream.openDecoded(sineAudio(1.0, 500.0));
  SpectrumCache original;
  openCache(original, stream, "tune.mp3");
  const std::vector<unsigned char> good = readBytes("tune.cache");
  ASSERT_EQ(good.size(), 16u + 30u * 512u);

  std::vector<unsigned char> truncated(good.begin(), good.end() - 100);
  writeBytes("tune.cache", truncated);
  SpectrumCache rebuilt;
  std::string log = openCache(rebuilt, stream, "tune.mp3");
  EXPECT_NE(log.find("Loading FFT Cache: tune.cache\n\tNot a usable cache: "), std::string::npos) << log;
  EXPECT_EQ(log.find("Loaded Successfully"), std::string::npos);
  EXPECT_NE(log.find("Creating tune.cache\n"), std::string::npos);
  EXPECT_EQ(readBytes("tune.cache"), good);
  EXPECT_EQ(rebuilt.bandValues, original.bandValues);

  std::vector<unsigned char> negative = good;
  negative[0] = negative[1] = negative[2] = negative[3] = 0xFF;
  writeBytes("tune.cache", negative);
  SpectrumCache again;
  log = openCache(again, stream, "tune.mp3");
  EXPECT_NE(log.find("negative frame count"), std::string::npos) << log;
  EXPECT_EQ(readBytes("tune.cache"), good);
}

TEST(SpectrumCache, ShortOrMissingMusicGivesAnEmptyTableOfZeros) {
  TempDir dir;
  ManualClockStream tiny;
  tiny.openDecoded(sineAudio(0.02, 500.0));
  SpectrumCache shortCache;
  openCache(shortCache, tiny, "tiny.mp3");
  EXPECT_EQ(shortCache.frameCount, 0);
  EXPECT_EQ(readBytes("tiny.cache").size(), 16u);
  ASSERT_EQ(shortCache.statistics.size(), 128u);
  for (const BandStatistics& s : shortCache.statistics) {
    EXPECT_EQ(s.mean, 0.0f);
    EXPECT_EQ(s.variance, 0.0f);
  }
  EXPECT_EQ(shortCache.value(0, 5), 0.0f);
  EXPECT_EQ(shortCache.view().frameCount, 0);

  ManualClockStream closed;  // a tune that failed to open
  SpectrumCache none;
  const std::string log = openCache(none, closed, "gone.mp3");
  EXPECT_NE(log.find("not written"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("gone.cache"));
  EXPECT_EQ(none.length, 0.0f);
  EXPECT_EQ(none.frameCount, 0);
  EXPECT_EQ(none.value(3, 3), 0.0f);
  EXPECT_EQ(none.view().values, nullptr);
}

TEST(SpectrumCache, ACacheThatDoesNotFitTheMusicIsRebuilt) {
  TempDir dir;
  ManualClockStream twoSeconds;
  twoSeconds.openDecoded(sineAudio(2.0, 500.0));
  SpectrumCache longer;
  openCache(longer, twoSeconds, "tune.mp3");
  ASSERT_EQ(longer.frameCount, 60);

  // Well-formed, but 60 frames for one second of music.
  ManualClockStream oneSecond;
  oneSecond.openDecoded(sineAudio(1.0, 500.0));
  SpectrumCache rebuilt;
  std::string log = openCache(rebuilt, oneSecond, "tune.mp3");
  EXPECT_NE(log.find("\tLoaded Successfully\n\tThe cache does not fit the music: 128 bands and 60 frames "
                     "where 128 and 30 are expected\nCreating tune.cache\n"),
            std::string::npos) << log;
  EXPECT_EQ(rebuilt.frameCount, 30);
  EXPECT_EQ(readBytes("tune.cache").size(), 16u + 30u * 512u);

  // The right frame count but other bands.
  SpectrumCacheData narrow;
  narrow.frameCount = 30;
  narrow.bandCount = 64;
  narrow.framesPerSecond = 30;
  narrow.bandValues.assign(30 * 64, 1.0f);
  writeBytes("tune.cache", writeSpectrumCache(narrow));
  SpectrumCache again;
  log = openCache(again, oneSecond, "tune.mp3");
  EXPECT_NE(log.find("64 bands and 30 frames where 128 and 30 are expected"), std::string::npos) << log;
  EXPECT_EQ(again.bandCount, 128);
  EXPECT_EQ(again.bandValues, rebuilt.bandValues);
}
