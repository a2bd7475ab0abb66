// libFuzzer target: raw geometry meshes (.rg).
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneRawGeometry(data, size); }
