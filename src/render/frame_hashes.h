// Hashes of rendered frames, for comparing renders made apart (a farm's
// pieces, another driver, a code change) with a known-good one. A hash file
// has one line per frame: "FRAME TIME HASH", the frame number at the frame
// rate, its music time in seconds (6 decimals) and a 64-bit FNV-1a hash of
// the frame's RGBA bytes in 16 hexadecimal digits. "#" starts a comment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

uint64_t hashFramePixels(const std::vector<unsigned char>& rgba);

std::string frameHashLine(long long frame, int fps, uint64_t hash);

struct FrameHash {
  long long frame = 0;
  uint64_t hash = 0;
};

struct FrameHashFile {
  std::vector<FrameHash> frames;
  std::string problem;  // "line N: reason" for the first malformed line
};

FrameHashFile parseFrameHashes(const std::string& text);
