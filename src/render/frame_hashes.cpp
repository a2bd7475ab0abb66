#include "render/frame_hashes.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "base/fnv1a.h"

uint64_t hashFramePixels(const std::vector<unsigned char>& rgba) {
  return fnv1aUpdate(kFnv1aStart, rgba.data(), rgba.size());
}

std::string frameHashLine(long long frame, int fps, uint64_t hash) {
  char line[96];
  std::snprintf(line, sizeof line, "%lld %.6f %016" PRIx64 "\n", frame,
                static_cast<double>(frame) / static_cast<double>(fps), hash);
  return line;
}

FrameHashFile parseFrameHashes(const std::string& text) {
  FrameHashFile file;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    long long frame = -1;
    double time = 0.0;
    char hex[32] = {};
    char extra = 0;
    if (std::sscanf(line.c_str(), "%lld %lf %31s %c", &frame, &time, hex, &extra) != 3 || frame < 0) {
      file.problem = "line " + std::to_string(number) + ": not \"FRAME TIME HASH\"";
      return file;
    }
    char* end = nullptr;
    const unsigned long long hash = std::strtoull(hex, &end, 16);
    if (!end || *end != '\0' || std::string(hex).size() != 16) {
      file.problem = "line " + std::to_string(number) + ": the hash is not 16 hexadecimal digits";
      return file;
    }
    file.frames.push_back({frame, static_cast<uint64_t>(hash)});
  }
  return file;
}
