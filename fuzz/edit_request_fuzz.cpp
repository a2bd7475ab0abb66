// libFuzzer target: the sync editor's request bodies.
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneEditRequest(data, size); }
