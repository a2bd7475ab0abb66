// The player on copies of the test production with one file damaged at a
// time, as files get truncated, half-written or replaced by the wrong thing:
// each run ends normally (exit code 0, the farewell line), a log line names
// the bad file, and every file of the author's is byte for byte what it was.
// Only the spectrum cache may be rewritten, and then it is a usable cache.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include "audio/manual_clock_stream.h"
#include "audio/spectrum_cache.h"
#include "audio/spectrum_cache_format.h"
#include "base/log.h"
#include "support/e2e_support.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
const std::string kData = "/demosrc/norde/data/";
const std::string kMusic = kData + "brivel-669.mp3";
const std::string kCache = kData + "brivel-669.cache";

struct Damage {
  std::string name;
  std::function<void(const std::string& dir)> apply;
  std::string logText;         // a line of the log that names the bad file
  bool musicUnusable = false;  // then the show stays at time 0 until Escape
};

std::vector<unsigned char> randomBytes(size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::vector<unsigned char> bytes(count);
  for (unsigned char& b : bytes) b = static_cast<unsigned char>(generator());
  return bytes;
}

void cutTo(const std::string& path, size_t size) {
  std::vector<unsigned char> bytes = readBytes(path);
  bytes.resize(std::min(size, bytes.size()));
  writeBytes(path, bytes);
}

// The cache the player would write for the production's music, made here so
// that the cut-cache case starts from a real one.
void writeGoodCache(const std::string& dir) {
  logFileName = dir + "/cache-build-log.txt";  // not into the test's working directory
  ManualClockStream stream;
  ASSERT_TRUE(stream.open(dir + kMusic));
  SpectrumCache cache;
  cache.length = static_cast<float>(stream.bytesToSeconds(stream.lengthBytes()));
  ASSERT_TRUE(cache.build(dir + kCache, stream));
}

std::vector<Damage> damages() {
  const std::string music = "demosrc\\norde\\data\\brivel-669.mp3: ";
  const std::string track = "sync track demosrc\\norde\\data\\sync\\_1.track: ";
  const std::string cache = "Not a usable cache: demosrc\\norde\\data\\brivel-669.cache: ";
  return {
      {"MusicEmpty", [](const std::string& d) { writeBytes(d + kMusic, {}); }, music + "empty file", true},
      {"MusicRandom", [](const std::string& d) { writeBytes(d + kMusic, randomBytes(60000, 1)); },
       music, true},
      {"MusicCutInHalf", [](const std::string& d) { cutTo(d + kMusic, fs::file_size(d + kMusic) / 2); },
       music + "the header announces 5.00 s"},
      {"MusicHeaderClaimsAnAbsurdLength",
       [](const std::string& d) {
         // The encoder's Info header: its frame count follows the tag and the flags.
         std::vector<unsigned char> bytes = readBytes(d + kMusic);
         const std::string tag = "Info";
         const auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
         ASSERT_NE(at, bytes.end());
         std::fill(at + 8, at + 12, 0xFF);
         writeBytes(d + kMusic, bytes);
       },
       music + "the header announces "},
      {"TrackRandom", [](const std::string& d) { writeBytes(d + kData + "sync/_1.track", randomBytes(300, 2)); },
       track},
      {"TrackCutMidKey",
       [](const std::string& d) { cutTo(d + kData + "sync/_1.track", fs::file_size(d + kData + "sync/_1.track") - 4); },
       track + "holds fewer keys than its count"},
      {"CameraKeysRandom", [](const std::string& d) { writeBytes(d + "/demosrc/norde/cam1.cam", randomBytes(4000, 3)); },
       "of demosrc\\norde\\cam1.cam"},
      {"ShaderOfOneMegabyteOfRandomBytes",
       [](const std::string& d) { writeBytes(d + kData + "bg.glsl", randomBytes(1 << 20, 4)); },
       "Debug Info for: demosrc\\norde\\data\\bg.glsl"},
      {"OverlayImageRandom", [](const std::string& d) { writeBytes(d + kData + "1.png", randomBytes(5000, 5)); },
       "Texture demosrc\\norde\\data\\1.png failed to load"},
      {"CacheRandom", [](const std::string& d) { writeBytes(d + kCache, randomBytes(5000, 6)); }, cache},
      {"CacheCut",
       [](const std::string& d) {
         writeGoodCache(d);
         cutTo(d + kCache, fs::file_size(d + kCache) / 2);
       },
       cache},
  };
}

// Every file of the production but the player's own output and the cache.
std::map<std::string, std::vector<unsigned char>> authorsFiles(const std::string& dir) {
  std::map<std::string, std::vector<unsigned char>> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    if (name == "output2.txt" || name == "console.txt" || entry.path().extension() == ".cache") continue;
    files[entry.path().string()] = readBytes(entry.path().string());
  }
  return files;
}

void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name; }

class DamagedProduction : public testing::TestWithParam<Damage> {};
}  // namespace

TEST_P(DamagedProduction, PlaysToTheEndNamesTheFileAndChangesNothingOfTheAuthors) {
  const Damage& damage = GetParam();
  TempDir dir(false);
  makeTestProduction(dir.path());
  damage.apply(dir.path());
  const auto before = authorsFiles(dir.path());

  XvfbServer x(640, 360);
  ASSERT_TRUE(x.running());
  const std::string log = dir.path() + "/output2.txt";
  const std::string console = dir.path() + "/console.txt";
  ChildProcess player({builtProgram("tarvo")}, dir.path(),
                      {"DISPLAY=" + x.display(), "SDL_AUDIODRIVER=dummy"}, console);
  if (damage.musicUnusable) {
    // Without music the clock never moves: frames are drawn at time 0 until
    // the viewer leaves.
    ASSERT_TRUE(waitForText(log, "Profiler::Reset\n", 180s)) << readFile(console);
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(player.running()) << readFile(console);
    pressKey(x.display(), "Escape");
  }
  ASSERT_EQ(player.wait(300s), 0) << readFile(console);

  const std::string text = readFile(log);
  EXPECT_NE(text.find(damage.logText), std::string::npos) << "no line with \"" << damage.logText << "\"\n" << text;
  const std::string farewell = "Rydd minnet ditt sjael\n";
  ASSERT_GE(text.size(), farewell.size());
  EXPECT_EQ(text.substr(text.size() - farewell.size()), farewell);

  EXPECT_TRUE(before == authorsFiles(dir.path())) << "an author's file was changed";
  // A cache, when there is one after the run, is one the player can use.
  const std::string cachePath = dir.path() + kCache;
  if (!damage.musicUnusable) {
    const std::vector<unsigned char> cache = readBytes(cachePath);
    const SpectrumCacheParseResult parsed = parseSpectrumCache(cache.data(), cache.size());
    EXPECT_TRUE(parsed.problem.empty()) << parsed.problem;
    EXPECT_EQ(parsed.data.bandCount, 128);
  }
}

INSTANTIATE_TEST_SUITE_P(OneFileAtATime, DamagedProduction, testing::ValuesIn(damages()),
                         [](const testing::TestParamInfo<Damage>& info) { return info.param.name; });
