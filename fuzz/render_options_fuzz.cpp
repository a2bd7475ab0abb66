// libFuzzer target: tarvo-render's command line and its frame range.
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneRenderOptions(data, size); }
