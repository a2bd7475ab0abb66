// libFuzzer target: tarvo-render's frame hash files.
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneFrameHashes(data, size); }
