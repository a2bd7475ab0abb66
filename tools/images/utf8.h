// UTF-8 decoding for the card texts, which carry "·" and "å".
#pragma once

#include <string>

namespace images {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes UTF-8 into code points. Every malformed piece (a stray continuation
// byte, a sequence cut short by the end or by a byte that does not continue
// it, an overlong form, a surrogate, a value past U+10FFFF) becomes one
// U+FFFD, and decoding carries on after it; it never reads past the end.
std::u32string decodeUtf8(const std::string& text);

}  // namespace images
