#include "base/number_parsing.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

bool parseDouble(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

bool parseInt(const std::string& text, int& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || !end || *end != '\0' || parsed < -INT_MAX || parsed > INT_MAX) return false;
  value = static_cast<int>(parsed);
  return true;
}

bool parseSize(const std::string& text, int& width, int& height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  return parseInt(text.substr(0, x), width) && parseInt(text.substr(x + 1), height);
}

const std::string* takeOptionValue(const std::vector<std::string>& arguments, size_t& i, bool takesValue,
                                   std::string& error) {
  const std::string& option = arguments[i];
  if (!takesValue) {
    error = "unknown option '" + option + "'";
    return nullptr;
  }
  if (i + 1 >= arguments.size()) {
    error = option + " needs a value";
    return nullptr;
  }
  return &arguments[++i];
}
