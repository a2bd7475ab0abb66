// libFuzzer target: indexed geometry meshes (.ig).
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneIndexedGeometry(data, size); }
