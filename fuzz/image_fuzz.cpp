// libFuzzer target: texture images decoded by stb_image and widened to RGBA.
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneImage(data, size); }
