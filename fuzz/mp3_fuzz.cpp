// libFuzzer target: MP3 decoding from memory.
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneMp3(data, size); }
