// Rendering in pieces, headless: a range rendered whole and as three shards
// gives the same files byte for byte; a video assembled from the shards'
// frames has every frame and its sound in step; hashes written for a range
// check out, and a changed shader or a changed hash is named by frame.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/e2e_support.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kRange = "30:36";  // six frames at 30 fps: 1.0 s to 1.2 s
constexpr int kFrames = 6;

int render(const std::string& production, std::vector<std::string> arguments, const std::string& console) {
  std::vector<std::string> argv = {builtProgram("tarvo-render"), "--fps", "30", "--size", "160x90"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return runProgram(argv, {"-DISPLAY"}, console, production);
}

double probeValue(const std::string& info, const std::string& streamType, const std::string& key) {
  const size_t stream = info.find("codec_type=" + streamType);
  if (stream == std::string::npos) return -1.0;
  const size_t at = info.find(key + "=", stream);
  return at == std::string::npos ? -1.0 : std::atof(info.c_str() + at + key.size() + 1);
}
}  // namespace

TEST(RenderPieces, ShardsMatchTheWholeRangeAndAssembleIntoAVideoInStep) {
  TempDir dir(false);
  makeTestProduction(dir.path());
  const std::string console = dir.path() + "/console.txt";
  ASSERT_EQ(render(dir.path(), {"--output", "whole", "--frames", kRange}, console), 0) << readFile(console);
  for (int i = 0; i < 3; ++i) {
    const std::string shard = std::to_string(i) + "/3";
    ASSERT_EQ(render(dir.path(), {"--output", "shards", "--frames", kRange, "--shard", shard}, console), 0)
        << readFile(console);
  }
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir.path() + "/whole")) {
    ++files;
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(readBytes(entry.path().string()), readBytes(dir.path() + "/shards/" + name)) << name;
  }
  EXPECT_EQ(files, kFrames);
  EXPECT_TRUE(fs::exists(dir.path() + "/whole/00030.png"));
  EXPECT_TRUE(fs::exists(dir.path() + "/shards/00035.png"));

  ASSERT_EQ(render(dir.path(), {"--encode", "shards", "--output", "pieces.mp4", "--frames", kRange}, console), 0)
      << readFile(console);
  const std::string probe = dir.path() + "/probe.txt";
  ASSERT_EQ(runProgram({"ffprobe", "-v", "error", "-count_frames", "-show_entries",
                        "stream=codec_type,nb_read_frames,duration", "-of", "default=noprint_wrappers=1",
                        dir.path() + "/pieces.mp4"},
                       {}, probe),
            0);
  const std::string info = readFile(probe);
  EXPECT_EQ(probeValue(info, "video", "nb_read_frames"), kFrames) << info;
  const double video = probeValue(info, "video", "duration");
  const double audio = probeValue(info, "audio", "duration");
  EXPECT_NEAR(video, kFrames / 30.0, 1e-3) << info;
  // One AAC frame is 1024 samples.
  EXPECT_NEAR(audio, video, 1024.0 / 44100.0) << info;
}

TEST(RenderPieces, HashesCheckOutAndAChangeIsNamedByFrame) {
  TempDir dir(false);
  makeTestProduction(dir.path());
  const std::string console = dir.path() + "/console.txt";
  ASSERT_EQ(render(dir.path(), {"--output", "frames", "--frames", kRange, "--hashes", "hashes.txt"}, console), 0)
      << readFile(console);
  const std::string hashes = readFile(dir.path() + "/hashes.txt");
  EXPECT_EQ(countOccurrences(hashes, "\n"), static_cast<size_t>(kFrames));
  EXPECT_EQ(hashes.compare(0, 12, "30 1.000000 "), 0) << hashes;

  ASSERT_EQ(render(dir.path(), {"--check", "hashes.txt"}, console), 0) << readFile(console);
  EXPECT_NE(readFile(console).find("checked 6 frames: 0 differ"), std::string::npos) << readFile(console);

  // One hash altered: that frame, and only that one, is named.
  std::string altered = hashes;
  const size_t line = altered.find("\n34 ") + 1;
  const size_t hash = altered.find(' ', altered.find(' ', line) + 1) + 1;
  altered[hash] = altered[hash] == '0' ? '1' : '0';
  writeFile(dir.path() + "/altered.txt", altered);
  EXPECT_EQ(render(dir.path(), {"--check", "altered.txt"}, console), 1);
  EXPECT_NE(readFile(console).find("frame 34 differs"), std::string::npos) << readFile(console);
  EXPECT_EQ(countOccurrences(readFile(console), " differs: "), 1u);

  // A changed composition shader: every frame differs.
  const std::string shader = dir.path() + "/demosrc/norde/data/postProc-1.glsl";
  std::string text = readFile(shader);
  const std::string last = "gl_FragColor = vec4(clamp(colour, 0.0, 1.0), 1.0);";
  ASSERT_NE(text.find(last), std::string::npos);
  text.replace(text.find(last), last.size(), "gl_FragColor = vec4(clamp(colour.bgr, 0.0, 1.0), 1.0);");
  writeFile(shader, text);
  EXPECT_EQ(render(dir.path(), {"--check", "hashes.txt"}, console), 1);
  EXPECT_NE(readFile(console).find("checked 6 frames: 6 differ"), std::string::npos) << readFile(console);
}
