// 16-bit PCM WAV encoding (RIFF/WAVE, "fmt " and "data" chunks) and writing
// it to a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace soundtrack {

// The complete file image of interleaved 16-bit samples.
std::vector<uint8_t> encodeWav16(const std::vector<int16_t>& interleaved, int channels,
                                 int sampleRate);

// Writes the bytes; false (with the reason in *error) when the file fails.
bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

}  // namespace soundtrack
