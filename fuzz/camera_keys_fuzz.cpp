// libFuzzer target: camera key files (.cam).
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneCameraKeys(data, size); }
