// The music's analysis as GET /api/music gives it to the page: times to the
// millisecond, the nearest sync row, bars marked; without a pulse no beats
// and tempo 0; and why there is none when the music could not be analysed.
#include "editor/music_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

using Json = nlohmann::json;

TEST(MusicJson, GivesThePageBeatsAndOnsetsInSecondsAndRows) {
  MusicAnalysis analysis;
  analysis.pulse = true;
  analysis.tempo = 127.9634;
  analysis.beats = {{0.51249, true}, {0.98125, false}};
  analysis.onsets = {0.0312, 0.51249};
  const Json json = Json::parse(musicJson(analysis));
  EXPECT_EQ(json, Json::parse(R"({"ready": true, "tempo": 127.96, "pulse": true,
      "beats": [{"time": 0.512, "row": 8, "bar": true}, {"time": 0.981, "row": 16, "bar": false}],
      "onsets": [{"time": 0.031, "row": 0}, {"time": 0.512, "row": 8}]})"));

  analysis.pulse = false;
  analysis.beats.clear();
  EXPECT_EQ(Json::parse(musicJson(analysis))["tempo"], 0.0);
  EXPECT_EQ(Json::parse(musicJson(analysis))["beats"], Json::array());
  const Json failed = Json::parse(musicErrorJson("cannot read x.mp3: No such file or directory"));
  EXPECT_EQ(failed["ready"], false);
  EXPECT_EQ(failed["error"], "cannot read x.mp3: No such file or directory");
}
