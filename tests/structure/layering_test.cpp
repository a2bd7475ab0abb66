// The source tree's layering: every include between folders of src/ points
// to a lower layer, no two folders include each other, and SDL appears only
// in the window layer and the SDL sound stream.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
// Lower numbers are lower layers; folders on one layer must not include each
// other. Tools sit on top with the entry points.
const std::map<std::string, int> kLayers = {
    {"base", 0},   {"resources", 1}, {"gpu", 2},    {"audio", 2}, {"camera", 3},
    {"drawables", 4}, {"demo", 5},   {"editor", 5}, {"render", 6}, {"live", 6},  {"app", 7},   {"tools", 8},
};

const std::set<std::string> kSdlFiles = {"src/app/window.cpp", "src/app/sdl_audio_stream.cpp"};

struct SourceFile {
  std::string path;    // relative to the repository, e.g. "src/gpu/shader.cpp"
  std::string folder;  // its layer folder: "gpu", or "tools" for any tool
  std::string text;
};

std::string folderOf(const std::string& path) {
  const size_t first = path.find('/');
  const std::string top = path.substr(0, first);
  if (top == "tools") return "tools";
  const size_t second = path.find('/', first + 1);
  return second == std::string::npos ? "" : path.substr(first + 1, second - first - 1);
}

// Every rule the tree breaks, one line each.
std::vector<std::string> layeringProblems(const std::vector<SourceFile>& files) {
  std::vector<std::string> problems;
  std::set<std::pair<std::string, std::string>> edges;
  const std::regex include(R"(^\s*#\s*include\s*\"([A-Za-z_]+)/[^\"]+\")");
  const std::regex sdl(R"(^\s*#\s*include\s*[<\"]SDL)");
  for (const SourceFile& file : files) {
    const auto layer = kLayers.find(file.folder);
    if (layer == kLayers.end()) {
      problems.push_back(file.path + ": folder '" + file.folder + "' has no layer");
      continue;
    }
    std::istringstream lines(file.text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
      ++number;
      const std::string where = file.path + ":" + std::to_string(number);
      if (std::regex_search(line, sdl) && kSdlFiles.count(file.path) == 0) {
        problems.push_back(where + ": SDL outside the window layer and the SDL sound stream");
      }
      std::smatch match;
      if (!std::regex_search(line, match, include)) continue;
      const std::string target = match[1];
      const auto targetLayer = kLayers.find(target);
      if (targetLayer == kLayers.end() || target == file.folder || target == "tools") continue;
      edges.insert({file.folder, target});
      if (targetLayer->second >= layer->second) {
        problems.push_back(where + ": " + file.folder + " includes " + target + ", which is not below it");
      }
    }
  }
  for (const auto& [from, to] : edges) {
    if (from < to && edges.count({to, from})) problems.push_back(from + " and " + to + " include each other");
  }
  return problems;
}

std::vector<SourceFile> sourceTree(const fs::path& root) {
  std::vector<SourceFile> files;
  for (const char* top : {"src", "tools"}) {
    for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
      const std::string extension = entry.path().extension().string();
      if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp")) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      const std::string path = fs::relative(entry.path(), root).generic_string();
      files.push_back({path, folderOf(path), text.str()});
    }
  }
  return files;
}
}  // namespace

TEST(Layering, TheCheckSeesUpwardIncludesCyclesStrayFoldersAndStraySdl) {
  const std::vector<SourceFile> broken = {
      {"src/gpu/shader.cpp", "gpu", "#include \"gpu/shader.h\"\n#include \"base/log.h\"\n#include \"demo/demo.h\"\n"},
      {"src/gpu/quad.cpp", "gpu", "#include \"audio/music_player.h\"\n"},
      {"src/audio/x.cpp", "audio", "#include \"gpu/quad.h\"\n#include <SDL2/SDL.h>\n"},
      {"src/misc/y.cpp", "misc", ""},
      {"src/app/window.cpp", "app", "#include <SDL2/SDL.h>\n#include \"demo/demo.h\"\n"},
      {"tools/render/main.cpp", "tools", "#include \"app/window.h\"\n#include \"band_summary.h\"\n"},
  };
  const std::vector<std::string> problems = layeringProblems(broken);
  const std::vector<std::string> expected = {
      "src/gpu/shader.cpp:3: gpu includes demo, which is not below it",
      "src/gpu/quad.cpp:1: gpu includes audio, which is not below it",
      "src/audio/x.cpp:1: audio includes gpu, which is not below it",
      "src/audio/x.cpp:2: SDL outside the window layer and the SDL sound stream",
      "src/misc/y.cpp: folder 'misc' has no layer",
      "audio and gpu include each other",
  };
  EXPECT_EQ(problems, expected);
}

TEST(Layering, IncludesPointDownwardsAndSdlStaysAtTheEdges) {
  const std::vector<SourceFile> files = sourceTree(TARVO_SOURCE_DIR);
  ASSERT_GT(files.size(), 50u);
  std::string report;
  for (const std::string& problem : layeringProblems(files)) report += problem + "\n";
  EXPECT_TRUE(report.empty()) << report;

  std::set<std::string> sdlFiles;
  for (const SourceFile& file : files) {
    if (std::regex_search(file.text, std::regex(R"(#\s*include\s*[<\"]SDL)"))) sdlFiles.insert(file.path);
  }
  EXPECT_EQ(sdlFiles, kSdlFiles);
}
