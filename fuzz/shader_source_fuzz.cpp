// libFuzzer target: the shader preprocessor, its includes and compiler logs.
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneShaderSource(data, size); }
