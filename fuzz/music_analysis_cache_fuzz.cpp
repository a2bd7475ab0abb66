// libFuzzer target: music analysis cache files (.analysis.cache).
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneMusicAnalysisCache(data, size); }
