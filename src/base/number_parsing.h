// Command-line values: whole-string number parsing (a value parses only
// when every character is used and the number is finite and in range; no
// locale tricks, no exceptions) and taking an option's value. What the
// values mean is the caller's business.
#pragma once

#include <string>
#include <vector>

// A finite decimal (strtod syntax) filling the whole text.
bool parseDouble(const std::string& text, double& value);

// A base-10 integer that fits an int, filling the whole text.
bool parseInt(const std::string& text, int& value);

// "WxH" as two integers; the sides' range is checked by the caller.
bool parseSize(const std::string& text, int& width, int& height);

// The value of the option at arguments[i], which moves onto it. Null, with
// `error` set, when the option takes no value (it is then unknown) or is the
// last argument.
const std::string* takeOptionValue(const std::vector<std::string>& arguments, size_t& i, bool takesValue,
                                   std::string& error);
