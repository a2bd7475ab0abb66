// libFuzzer target: spectrum cache files (.cache).
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneSpectrumCache(data, size); }
