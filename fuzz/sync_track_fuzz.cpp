// libFuzzer target: sync track files (.track).
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneSyncTrack(data, size); }
