// libFuzzer target: the section table (sections.txt).
#include "entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzOneSectionTable(data, size); }
