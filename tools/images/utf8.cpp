#include "utf8.h"

namespace images {

namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::u32string decodeUtf8(const std::string& text) {
  std::u32string out;
  const size_t size = text.size();
  size_t i = 0;
  while (i < size) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    // Length and payload bits of the lead byte, and the smallest value that
    // needs this many bytes (anything smaller is an overlong form).
    int length;
    char32_t value, minimum;
    if ((lead & 0xE0) == 0xC0) {
      length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
      out.push_back(kReplacementCharacter);  // stray continuation or 0xF8..0xFF
      ++i;
      continue;
    }
    size_t next = i + 1;
    while (next < size && next < i + length && isContinuation(static_cast<unsigned char>(text[next]))) {
      value = (value << 6) | (static_cast<unsigned char>(text[next]) & 0x3F);
      ++next;
    }
    const bool complete = next == i + length;
    const bool valid = complete && value >= minimum && value <= 0x10FFFF &&
                       !(value >= 0xD800 && value <= 0xDFFF);
    out.push_back(valid ? value : kReplacementCharacter);
    // A cut-short sequence resumes at the byte that broke it.
    i = next;
  }
  return out;
}

}  // namespace images
