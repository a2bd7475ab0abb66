// libFuzzer target: texture images (PNG through libpng, JPEG through
// libjpeg-turbo, Radiance HDR through stb_image) decoded for the upload.
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneImage(data, size); }
