#include <gtest/gtest.h>

#include "app/player_options.h"

namespace {
const std::vector<MusicSection> kSections = {
    {"intro", 0.0, 30.0},
    {"build-up", 30.0, 60.0},
    {"drop", 60.0, 90.0},
    {"second build-up", 90.0, 120.0},
    {"breakdown", 120.0, 150.0},
};

// Parses, then resolves the times the way the player does before opening a window.
std::string parseAndResolve(const std::vector<std::string>& args,
                            const std::vector<MusicSection>& sections, PlayerOptions& options,
                            ResolvedTimes& times) {
  const ParsedPlayerOptions parsed = parsePlayerOptions(args);
  options = parsed.options;
  if (!parsed.error.empty()) return parsed.error;
  std::string error;
  resolvePlayerTimes(options, sections, times, error);
  return error;
}
}  // namespace

TEST(PlayerOptions, GoodArgumentsParseAndResolve) {
  constexpr double kNone = -1.0;
  struct Case {
    std::vector<std::string> args;
    bool live;
    int width, height;  // 0: no window asked for
    bool fullscreen;
    double start;            // kNone: not given
    double loopFrom, loopTo;  // kNone: no loop
    bool mute, help;
  };
  const Case cases[] = {
      {{}, false, 0, 0, false, kNone, kNone, kNone, false, false},
      {{"--live"}, true, 1280, 720, false, kNone, kNone, kNone, false, false},
      {{"--window", "640x360", "--live"}, true, 640, 360, false, kNone, kNone, kNone, false, false},
      {{"--live", "--fullscreen"}, true, 0, 0, true, kNone, kNone, kNone, false, false},
      {{"--start", "75.5"}, false, 0, 0, false, 75.5, kNone, kNone, false, false},
      {{"--start", "1:15.5"}, false, 0, 0, false, 75.5, kNone, kNone, false, false},
      {{"--start", "drop"}, false, 0, 0, false, 60.0, kNone, kNone, false, false},
      {{"--start", "second build-up"}, false, 0, 0, false, 90.0, kNone, kNone, false, false},
      {{"--loop", "1:15:1:30"}, false, 0, 0, false, kNone, 75.0, 90.0, false, false},
      {{"--loop", "10:20"}, false, 0, 0, false, kNone, 10.0, 20.0, false, false},
      {{"--loop", "drop"}, false, 0, 0, false, kNone, 60.0, 90.0, false, false},
      {{"--loop", "drop:breakdown"}, false, 0, 0, false, kNone, 60.0, 120.0, false, false},
      // More than one colon reading parses: "drop:1" + "30" takes a colon into a name.
      {{"--loop", "drop:1:30"}, false, 0, 0, false, kNone, 60.0, 90.0, false, false},
      // "1:15" + "30" runs backwards, so "1" + "15:30" wins.
      {{"--loop", "1:15:30"}, false, 0, 0, false, kNone, 1.0, 930.0, false, false},
      {{"--loop", "drop", "--loop", "5:6"}, false, 0, 0, false, kNone, 5.0, 6.0, false, false},
      {{"--mute", "--start", "0"}, false, 0, 0, false, 0.0, kNone, kNone, true, false},
      {{"--help"}, false, 0, 0, false, kNone, kNone, kNone, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    PlayerOptions o;
    ResolvedTimes t;
    ASSERT_EQ(parseAndResolve(c.args, kSections, o, t), "");
    EXPECT_EQ(o.any(), !c.args.empty());
    EXPECT_EQ(o.live, c.live);
    EXPECT_EQ(o.windowed, c.width > 0);
    EXPECT_EQ(o.width, c.width);
    EXPECT_EQ(o.height, c.height);
    EXPECT_EQ(o.fullscreen, c.fullscreen);
    EXPECT_EQ(t.hasStart, c.start != kNone);
    if (t.hasStart) {
      EXPECT_DOUBLE_EQ(t.start, c.start);
    }
    EXPECT_EQ(o.loop, c.loopTo != kNone);
    EXPECT_EQ(t.hasLoop, c.loopTo != kNone);
    if (t.hasLoop) {
      EXPECT_DOUBLE_EQ(t.loopFrom, c.loopFrom);
      EXPECT_DOUBLE_EQ(t.loopTo, c.loopTo);
    }
    EXPECT_EQ(o.mute, c.mute);
    EXPECT_EQ(o.help, c.help);
  }
}

TEST(PlayerOptions, BadArgumentsAreRefusedNamingTheValue) {
  struct Case {
    std::vector<std::string> args;
    bool withSections;
    std::string mentions;
  };
  const Case cases[] = {
      {{"--wat"}, true, "unknown option '--wat'"},
      {{"--live", "--window"}, true, "--window needs a value"},
      {{"--window", "0x5"}, true, "'0x5' for --window"},
      {{"--window", "12"}, true, "'12' for --window"},
      {{"--window", "16385x10"}, true, "'16385x10' for --window"},
      {{"--window", "640x360", "--fullscreen"}, true, "--fullscreen"},
      {{"--fullscreen", "--window", "640x360"}, true, "--fullscreen"},
      {{"--start", "-3"}, true, "'-3' for --start"},
      {{"--start", "1:75"}, true, "'1:75' for --start"},
      {{"--start", "1:2:3"}, true, "'1:2:3' for --start"},
      {{"--start", ""}, true, "'' for --start"},
      {{"--start", "Drop"}, true, "unknown section 'Drop'"},
      {{"--start", "dorp"}, true,
       "unknown section 'dorp' (sections: intro, build-up, drop, second build-up, breakdown)"},
      {{"--start", "drop"}, false, "unknown section 'drop' (the production has no section table)"},
      {{"--loop", "dorp"}, true, "unknown section 'dorp'"},
      {{"--loop", "drop:dorp"}, true, "unknown section 'dorp'"},
      {{"--loop", "20:10"}, true, "'20:10'"},
      {{"--loop", "drop:intro"}, true, "'drop:intro'"},
      {{"--loop", "10"}, true, "'10' for --loop"},
      {{"--loop", "10:"}, true, "'10:' for --loop"},
      {{"--loop", "0:30:45"}, true, "'0:30:45'"},  // 0 to 30:45 or 0:30 to 45
      {{"--preview-scale", "0.2"}, true, "bad value '0.2' for --preview-scale (a number from 0.25 to 1, or fit)"},
      {{"--preview-scale", "1.5"}, true, "'1.5' for --preview-scale"},
      {{"--preview-scale", "half"}, true, "'half' for --preview-scale"},
      {{"--preview-scale", "nan"}, true, "'nan' for --preview-scale"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    PlayerOptions o;
    ResolvedTimes t;
    const std::vector<MusicSection> sections =
        c.withSections ? kSections : std::vector<MusicSection>{};
    const std::string error = parseAndResolve(c.args, sections, o, t);
    EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
  }
}

// Live mode fits the passes to the window unless told a scale; without it
// nothing changes.
TEST(PlayerOptions, PreviewScaleIsFitInLiveModeAndOneOtherwise) {
  EXPECT_FALSE(parsePlayerOptions({}).options.preview.fit);
  EXPECT_EQ(parsePlayerOptions({}).options.preview.scale, 1.0f);
  EXPECT_TRUE(parsePlayerOptions({"--live"}).options.preview.fit);
  const PlayerOptions half = parsePlayerOptions({"--live", "--preview-scale", "0.5"}).options;
  EXPECT_FALSE(half.preview.fit);
  EXPECT_EQ(half.preview.scale, 0.5f);
  const PlayerOptions fit = parsePlayerOptions({"--preview-scale", "fit"}).options;
  EXPECT_TRUE(fit.any());
  EXPECT_TRUE(fit.preview.fit);

  EXPECT_EQ(fitPreviewScale(360), 1.0f / 3.0f);
  EXPECT_EQ(fitPreviewScale(100), 0.25f);
  EXPECT_EQ(fitPreviewScale(2160), 1.0f);
  EXPECT_EQ(halvedPreviewScale(0.4f), 0.25f);
  EXPECT_EQ(doubledPreviewScale(0.6f), 1.0f);
  EXPECT_EQ(describePreviewScale(0.5f), "preview 0.50 (960x540)");
  EXPECT_EQ(describePreviewScale(1.0f / 3.0f), "preview 0.33 (640x360)");
}

TEST(PlayerOptions, UsageNamesEveryOptionAndLiveKey) {
  const std::string usage = playerUsage();
  for (const char* word : {"--live", "--window WxH", "--fullscreen", "--start WHEN",
                           "--loop FROM:TO", "--mute", "--help", "1:15.5", "sections.txt", "Space",
                           "Left / Right", "PageUp / PageDown", "Home", "H ", "full screen", "--preview-scale S",
                           "[ / ]"}) {
    EXPECT_NE(usage.find(word), std::string::npos) << word;
  }
}
