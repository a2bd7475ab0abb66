#include "editor/access.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace {
constexpr size_t kTokenBytes = 16;

bool fromGetrandom(uint8_t* bytes, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n = ::getrandom(bytes + got, size - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

bool fromUrandom(uint8_t* bytes, size_t size) {
  std::ifstream in("/dev/urandom", std::ios::binary);
  return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(size)));
}

bool sameSecret(std::string_view given, std::string_view token) {
  if (token.empty() || given.size() != token.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < token.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ token[i]);
  }
  return difference == 0;
}
}  // namespace

std::string randomToken() {
  uint8_t bytes[kTokenBytes];
  if (!fromGetrandom(bytes, sizeof bytes) && !fromUrandom(bytes, sizeof bytes)) return "";
  std::string hex;
  char digits[3];
  for (uint8_t byte : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    hex += digits;
  }
  return hex;
}

bool hostAllowed(std::string_view host, int port) {
  const std::string suffix = ":" + std::to_string(port);
  for (const char* name : {"127.0.0.1", "localhost", "[::1]"}) {
    if (host == std::string(name) + suffix) return true;
  }
  return false;
}

bool originAllowed(std::string_view origin, int port) {
  constexpr std::string_view kScheme = "http://";
  return origin.substr(0, kScheme.size()) == kScheme && hostAllowed(origin.substr(kScheme.size()), port);
}

bool tokenAllowed(std::string_view authorization, std::string_view queryToken, std::string_view token) {
  constexpr std::string_view kBearer = "Bearer ";
  if (authorization.substr(0, kBearer.size()) == kBearer &&
      sameSecret(authorization.substr(kBearer.size()), token)) {
    return true;
  }
  return sameSecret(queryToken, token);
}
