// libFuzzer target: the sync text (sync.txt).
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneSyncText(data, size); }
