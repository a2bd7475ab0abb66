// Whole-string number parsing for command-line values: a value parses only
// when every character is used and the number is finite and in range. No
// locale tricks, no exceptions; what the numbers mean is the caller's business.
#pragma once

#include <string>

// A finite decimal (strtod syntax) filling the whole text.
bool parseDouble(const std::string& text, double& value);

// A base-10 integer that fits an int, filling the whole text.
bool parseInt(const std::string& text, int& value);

// "WxH" as two integers; the sides' range is checked by the caller.
bool parseSize(const std::string& text, int& width, int& height);
