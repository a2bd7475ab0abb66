#include "wav_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace soundtrack {

namespace {

void put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void putTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

std::vector<uint8_t> encodeWav16(const std::vector<int16_t>& interleaved, int channels,
                                 int sampleRate) {
  constexpr uint32_t kHeaderBytes = 44;
  const uint32_t dataBytes = static_cast<uint32_t>(interleaved.size() * 2);
  const uint16_t blockAlign = static_cast<uint16_t>(channels * 2);
  std::vector<uint8_t> out;
  out.reserve(kHeaderBytes + dataBytes);
  putTag(out, "RIFF");
  put32(out, kHeaderBytes - 8 + dataBytes);
  putTag(out, "WAVE");
  putTag(out, "fmt ");
  put32(out, 16);  // PCM format chunk size
  put16(out, 1);   // PCM
  put16(out, static_cast<uint16_t>(channels));
  put32(out, static_cast<uint32_t>(sampleRate));
  put32(out, static_cast<uint32_t>(sampleRate) * blockAlign);
  put16(out, blockAlign);
  put16(out, 16);  // bits per sample
  putTag(out, "data");
  put32(out, dataBytes);
  for (int16_t sample : interleaved) put16(out, static_cast<uint16_t>(sample));
  return out;
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
  const bool closed = std::fclose(file) == 0;
  if (written != bytes.size() || !closed) {
    if (error) *error = "short write";
    return false;
  }
  return true;
}

}  // namespace soundtrack
