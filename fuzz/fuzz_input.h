// Turning a fuzzer's bytes into the inputs of the entry points: parts split
// at NUL bytes (argument lists, a file and its includes), and small numbers
// taken from the bytes. Nothing here knows any of the formats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The bytes split at every NUL: "a\0b" gives {"a", "b"}, "a\0" gives
// {"a", ""}, no bytes give no parts.
std::vector<std::string> splitAtNul(const uint8_t* data, size_t size);

// The bytes as one text, NULs included.
std::string textOf(const uint8_t* data, size_t size);

// Stops the process with a message when a property the entry point promises
// does not hold: libFuzzer reports it as a crash, a test binary fails.
void fuzzCheck(bool holds, const char* what);
