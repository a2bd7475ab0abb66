// The production's data files agree with each other: the committed track
// files are what the sync text compiles to, the camera key indices and
// overlay image numbers that the tracks name exist, and the camera keys are
// usable views. Checked for the real production and the test production.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "audio/music_sections.h"
#include "audio/sync_text.h"
#include "audio/sync_track.h"
#include "camera/camera_key_file.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {

const fs::path kProduction = fs::path(TARVO_SOURCE_DIR) / "demosrc" / "norde";
const fs::path kTestProduction =
    fs::path(TARVO_SOURCE_DIR) / "tests" / "e2e" / "production" / "demosrc" / "norde";

SyncTextResult parseText(const fs::path& production) {
  return parseSyncText(readFile((production / "sync.txt").string()));
}

SyncTrack trackOf(const SyncTextResult& text, const std::string& name) {
  SyncTrack track(name);
  for (const TextTrack& t : text.tracks)
    if (t.name == name) track.keys = t.keys;
  return track;
}

std::vector<CameraKey> cameraKeysOf(const fs::path& production) {
  const std::vector<unsigned char> bytes = readBytes((production / "cam1.cam").string());
  const ParsedCameraKeys parsed = parseCameraKeys(bytes.data(), bytes.size());
  EXPECT_EQ(parsed.trailingBytes, 0u);
  return parsed.keys;
}

// Every committed track file is exactly the compiled text, and there are no
// others.
void expectTrackFilesMatchText(const fs::path& production) {
  const SyncTextResult text = parseText(production);
  ASSERT_TRUE(text.error.empty()) << text.error;
  std::set<std::string> expected;
  for (const TextTrack& track : text.tracks) {
    const std::string file = "_" + track.name + ".track";
    expected.insert(file);
    const std::vector<unsigned char> bytes = readBytes((production / "data" / "sync" / file).string());
    EXPECT_EQ(bytes, writeTrackBytes(track.keys)) << file << " is stale: rebuild it with synctool";
  }
  std::set<std::string> present;
  for (const auto& entry : fs::directory_iterator(production / "data" / "sync"))
    present.insert(entry.path().filename().string());
  EXPECT_EQ(present, expected);
}

// Samples a track densely over the show (every row and half row).
std::vector<float> samples(const SyncTrack& track, double seconds) {
  std::vector<float> values;
  for (double row = 0.0; row <= seconds * kRowsPerSecond; row += 0.5)
    values.push_back(static_cast<float>(track.valueAt(row)));
  return values;
}

std::vector<MusicSection> musicSections() {
  const SectionTableParse parsed = parseSectionTable(readFile((kProduction / "sections.txt").string()));
  EXPECT_TRUE(parsed.problem.empty()) << parsed.problem;
  return parsed.sections;
}

// The production's music length: where its last section ends.
double showSeconds() {
  const std::vector<MusicSection> sections = musicSections();
  return sections.empty() ? 0.0 : sections.back().end;
}

const double kShowSeconds = showSeconds();

}  // namespace

TEST(ProductionData, TrackFilesAreTheCompiledSyncText) {
  expectTrackFilesMatchText(kProduction);
  expectTrackFilesMatchText(kTestProduction);
  const SyncTextResult text = parseText(kProduction);
  for (int i = 0; i <= 21; ++i)
    EXPECT_FALSE(trackOf(text, std::to_string(i)).keys.empty()) << "track " << i << " has no keys";
}

TEST(ProductionData, CameraKeysAreUsableViewsAndTheTracksNameOnlyThose) {
  for (const fs::path& production : {kProduction, kTestProduction}) {
    const std::vector<CameraKey> keys = cameraKeysOf(production);
    ASSERT_GE(keys.size(), 2u) << production;
    for (const CameraKey& key : keys) {
      const vec3 look = {key.lookAt.x - key.eyePos.x, key.lookAt.y - key.eyePos.y,
                         key.lookAt.z - key.eyePos.z};
      const vec3 up = key.upVector;
      const float lookLength = std::sqrt(look.x * look.x + look.y * look.y + look.z * look.z);
      const float upLength = std::sqrt(up.x * up.x + up.y * up.y + up.z * up.z);
      ASSERT_GT(lookLength, 1.0f);
      ASSERT_GT(upLength, 0.5f);
      // The up vector must not lie along the view direction.
      const float alignment = (look.x * up.x + look.y * up.y + look.z * up.z) / (lookLength * upLength);
      EXPECT_LT(std::fabs(alignment), 0.95f);
      EXPECT_GT(key.fov, 20.0f);
      EXPECT_LT(key.fov, 120.0f);
      EXPECT_GT(key.near, 0.0f);
      EXPECT_GT(key.far, key.near * 1000.0f);
      EXPECT_EQ(key.ratio, -1.0f);
    }
    // Tracks 1 and 2 name keys by their integer part.
    const SyncTextResult text = parseText(production);
    for (const char* name : {"1", "2"}) {
      for (float value : samples(trackOf(text, name), kShowSeconds)) {
        ASSERT_GE(value, 0.0f) << "track " << name;
        ASSERT_LT(static_cast<int>(value), static_cast<int>(keys.size())) << "track " << name;
      }
    }
  }
}

TEST(ProductionData, OverlaysNameExistingImagesAndStayWithinFullOpacity) {
  for (const fs::path& production : {kProduction, kTestProduction}) {
    const SyncTextResult text = parseText(production);
    std::set<int> shown;
    for (const char* name : {"11", "12"}) {
      for (float value : samples(trackOf(text, name), kShowSeconds)) {
        const int image = static_cast<int>(value);
        if (image == 0) continue;
        shown.insert(image);
        // The frame hands the fraction times 1.25 to the overlay as opacity.
        EXPECT_LE((value - std::floor(value)) * 1.25f, 1.0001f) << "track " << name;
      }
    }
    ASSERT_FALSE(shown.empty()) << production;
    for (int image : shown)
      EXPECT_TRUE(fs::exists(production / "data" / (std::to_string(image) + ".png")))
          << production << ": " << image << ".png";
  }
}

TEST(ProductionData, ShapingTracksStayInTheirRanges) {
  const SyncTextResult text = parseText(kProduction);
  auto range = [&](const char* name) {
    const std::vector<float> values = samples(trackOf(text, name), kShowSeconds);
    return std::make_pair(*std::min_element(values.begin(), values.end()),
                          *std::max_element(values.begin(), values.end()));
  };
  EXPECT_GE(range("9").first, 0.0f);   // bend
  EXPECT_LE(range("9").second, 1.0f);
  EXPECT_GE(range("21").first, 0.0f);  // white flash
  EXPECT_LE(range("21").second, 1.0f);
  EXPECT_GT(range("21").second, 0.5f);
  EXPECT_GE(range("16").first, 0.0f);  // background grey stays dark
  EXPECT_LE(range("16").second, 0.1f);
  EXPECT_GT(range("8").first, 0.2f);   // exponent
  EXPECT_LT(range("8").second, 0.7f);
  EXPECT_LE(range("7").second, 300.0f);  // gain

  // The test production: overlay 1 exactly from 1 s to 2 s, flash from 3 s.
  const SyncTextResult test = parseText(kTestProduction);
  const SyncTrack overlay = trackOf(test, "11");
  const SyncTrack flash = trackOf(test, "21");
  EXPECT_EQ(overlay.valueAt(0.99 * kRowsPerSecond), 0.0);
  EXPECT_NEAR(overlay.valueAt(1.0 * kRowsPerSecond), 1.8, 1e-6);
  EXPECT_NEAR(overlay.valueAt(1.99 * kRowsPerSecond), 1.8, 1e-6);
  EXPECT_EQ(overlay.valueAt(2.0 * kRowsPerSecond), 0.0);
  EXPECT_EQ(flash.valueAt(2.99 * kRowsPerSecond), 0.0);
  EXPECT_EQ(flash.valueAt(3.2 * kRowsPerSecond), 1.0);
  EXPECT_EQ(flash.valueAt(3.5 * kRowsPerSecond), 0.0);
}

TEST(ProductionData, SyncFollowsTheMusicSections) {
  const std::vector<MusicSection> sections = musicSections();
  ASSERT_EQ(sections.size(), 7u);
  EXPECT_GE(kShowSeconds, 120.0);
  const SyncTextResult text = parseText(kProduction);
  const SyncTrack blend = trackOf(text, "3");
  const SyncTrack flash = trackOf(text, "21");
  const SyncTrack bend = trackOf(text, "9");
  const SyncTrack overlay = trackOf(text, "11");
  auto at = [](const SyncTrack& track, double seconds) { return track.valueAt(seconds * kRowsPerSecond); };
  auto section = [&](const std::string& name) {
    for (const MusicSection& s : sections)
      if (s.name == name) return s;
    ADD_FAILURE() << "no section " << name;
    return MusicSection{};
  };

  // Every section opens with a camera cut: the blend restarts from 0 there
  // after reaching 1 just before it.
  for (size_t i = 1; i < sections.size(); ++i) {
    const double start = sections[i].start;
    EXPECT_EQ(at(blend, start), 0.0) << sections[i].name;
    EXPECT_EQ(at(blend, start - 1.0 / kRowsPerSecond), 1.0) << sections[i].name;
  }
  // Both drops hit with a full flash that is gone within a second.
  for (const char* drop : {"drop", "second drop"}) {
    const double start = section(drop).start;
    EXPECT_GE(at(flash, start), 0.9) << drop;
    EXPECT_EQ(at(flash, start + 1.0), 0.0) << drop;
  }
  // The land is a tube through the second half of the breakdown, and flat
  // again for the outro.
  EXPECT_EQ(at(bend, section("breakdown").start + 8.0), 1.0);
  EXPECT_EQ(at(bend, section("outro").start), 0.0);
  // The title is shown in the intro, the credits (2) and the farewell (4)
  // in the outro, and nothing at the very end.
  EXPECT_EQ(static_cast<int>(at(overlay, section("intro").start + 6.0)), 1);
  std::set<int> outroImages;
  for (double t = section("outro").start; t < kShowSeconds; t += 0.25)
    outroImages.insert(static_cast<int>(at(overlay, t)));
  EXPECT_TRUE(outroImages.count(2) && outroImages.count(4));
  EXPECT_EQ(at(overlay, kShowSeconds - 0.01), 0.0);

  // No track keys anything after the music has ended.
  for (const TextTrack& track : text.tracks)
    for (const SyncKey& key : track.keys)
      EXPECT_LE(key.row, kShowSeconds * kRowsPerSecond) << "track " << track.name;
}
