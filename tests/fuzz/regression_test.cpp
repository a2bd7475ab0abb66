// Every seed under fuzz/corpus and every input under fuzz/regressions (each
// once crashed a fuzzer or a parser) replayed through its entry point, in
// any build: an input that crashes again ends this test binary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "entry_points.h"
#include "fuzz_input.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

namespace {
const fs::path kFuzzFolder = fs::path(TARVO_SOURCE_DIR) / "fuzz";

std::vector<fs::path> filesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::set<std::string> folderNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.is_directory()) names.insert(entry.path().filename().string());
  }
  return names;
}
}  // namespace

TEST(FuzzInputs, EveryFolderBelongsToAnEntryPointAndEveryEntryPointHasSeeds) {
  std::set<std::string> known;
  for (const FuzzEntry& entry : fuzzEntries()) {
    known.insert(entry.name);
    EXPECT_FALSE(filesIn(kFuzzFolder / "corpus" / entry.name).empty()) << entry.name << " has no seeds";
    EXPECT_TRUE(fs::exists(kFuzzFolder / (entry.name + "_fuzz.cpp"))) << entry.name << " has no fuzz target";
  }
  for (const char* kind : {"corpus", "regressions"}) {
    for (const std::string& name : folderNames(kFuzzFolder / kind)) {
      EXPECT_EQ(known.count(name), 1u) << "fuzz/" << kind << "/" << name << " names no entry point";
    }
  }
}

TEST(FuzzInputs, EverySeedAndRegressionRunsThroughItsEntryPoint) {
  size_t replayed = 0;
  size_t regressions = 0;
  for (const FuzzEntry& entry : fuzzEntries()) {
    for (const char* kind : {"corpus", "regressions"}) {
      for (const fs::path& file : filesIn(kFuzzFolder / kind / entry.name)) {
        // Named before it runs: a crash shows which input it was.
        std::printf("replaying %s\n", fs::relative(file, kFuzzFolder).c_str());
        std::fflush(stdout);
        std::vector<unsigned char> bytes = readBytes(file.string());
        const size_t size = bytes.size();
        bytes.push_back(0);  // a valid pointer even for an empty input
        EXPECT_EQ(entry.run(bytes.data(), size), 0) << file;
        ++replayed;
        if (std::string(kind) == "regressions") ++regressions;
      }
    }
  }
  EXPECT_GE(replayed, fuzzEntries().size() + 2);
  EXPECT_GE(regressions, 2u);  // at least the two hand-made faults
}

TEST(FuzzInputs, ArgumentListsSplitAtEveryNul) {
  const auto split = [](const std::string& text) {
    return splitAtNul(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  };
  using Parts = std::vector<std::string>;
  EXPECT_EQ(split(std::string("--output\0frames\0\0--fps", 22)), (Parts{"--output", "frames", "", "--fps"}));
  EXPECT_EQ(split(std::string("--live\0", 7)), (Parts{"--live", ""}));
  EXPECT_EQ(split("--mute"), (Parts{"--mute"}));
  EXPECT_EQ(split(""), Parts{});
}
