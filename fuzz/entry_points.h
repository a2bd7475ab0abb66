// One function per fuzzed format or option parser: it feeds the bytes to the
// parser the program uses, then does with the result what the program does
// next (evaluate, sample, build vertex data, resolve times), checking the
// promises the parser's header makes. Each returns 0, as libFuzzer expects.
// The libFuzzer targets (fuzz/*_fuzz.cpp) and the regression test
// (tests/fuzz) both call them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

int fuzzOneSyncTrack(const uint8_t* data, size_t size);      // .track bytes
int fuzzOneSyncText(const uint8_t* data, size_t size);       // sync.txt
int fuzzOneSectionTable(const uint8_t* data, size_t size);   // sections.txt
int fuzzOneSpectrumCache(const uint8_t* data, size_t size);  // .cache bytes
int fuzzOneMusicAnalysisCache(const uint8_t* data, size_t size);  // .analysis.cache bytes
int fuzzOneWav(const uint8_t* data, size_t size);
int fuzzOneRawGeometry(const uint8_t* data, size_t size);    // .rg bytes
int fuzzOneIndexedGeometry(const uint8_t* data, size_t size);  // .ig bytes
int fuzzOneCameraKeys(const uint8_t* data, size_t size);     // .cam bytes
// A shader file, then (after a NUL) the text served for every include, then
// (after another NUL) a compiler info log to map back onto the shader.
int fuzzOneShaderSource(const uint8_t* data, size_t size);
int fuzzOneMp3(const uint8_t* data, size_t size);
int fuzzOneImage(const uint8_t* data, size_t size);          // PNG, JPEG, HDR ... for textures
int fuzzOneFrameHashes(const uint8_t* data, size_t size);    // tarvo-render --check files
// Argument lists, one argument per NUL-separated part.
int fuzzOnePlayerOptions(const uint8_t* data, size_t size);
int fuzzOneRenderOptions(const uint8_t* data, size_t size);
// The sync editor's request bodies (edit and transport JSON).
int fuzzOneEditRequest(const uint8_t* data, size_t size);

struct FuzzEntry {
  std::string name;  // the folder of its inputs under fuzz/corpus and fuzz/regressions
  int (*run)(const uint8_t* data, size_t size);
};

// Every entry point above, by name.
const std::vector<FuzzEntry>& fuzzEntries();
