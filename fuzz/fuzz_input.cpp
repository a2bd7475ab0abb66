#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>

std::vector<std::string> splitAtNul(const uint8_t* data, size_t size) {
  std::vector<std::string> parts;
  if (size == 0) return parts;
  const char* text = reinterpret_cast<const char*>(data);
  size_t begin = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || text[i] == '\0') {
      parts.emplace_back(text + begin, i - begin);
      begin = i + 1;
    }
  }
  return parts;
}

std::string textOf(const uint8_t* data, size_t size) {
  return size == 0 ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
}

void fuzzCheck(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
