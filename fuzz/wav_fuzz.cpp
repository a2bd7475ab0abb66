// libFuzzer target: WAV files given to the music analysis.
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneWav(data, size); }
