// libFuzzer target: the player's command line and its times.
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOnePlayerOptions(data, size); }
