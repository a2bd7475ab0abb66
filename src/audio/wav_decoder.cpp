#include "audio/wav_decoder.h"

#include <cstring>
#include <string>

#include "resources/little_endian.h"

namespace {
constexpr size_t kRiffHeaderBytes = 12;
constexpr size_t kChunkHeaderBytes = 8;
constexpr size_t kFormatBytes = 16;
constexpr uint16_t kPcmFormat = 1;
// Sample rates music is recorded at; beyond them a header is damage.
constexpr int kLowestRate = 8000;
constexpr int kHighestRate = 384000;

uint16_t readUint16LE(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }

DecodeResult refused(const std::string& error) {
  DecodeResult result;
  result.error = error;
  return result;
}
}  // namespace

bool looksLikeWav(const uint8_t* data, size_t size) {
  return data != nullptr && size >= kRiffHeaderBytes && std::memcmp(data, "RIFF", 4) == 0 &&
         std::memcmp(data + 8, "WAVE", 4) == 0;
}

DecodeResult decodeWav(const uint8_t* data, size_t size) {
  if (!looksLikeWav(data, size)) return refused("not a WAV file (no RIFF/WAVE header)");
  int channels = 0;
  int rate = 0;
  const uint8_t* samples = nullptr;
  size_t sampleBytes = 0;
  size_t at = kRiffHeaderBytes;
  while (at + kChunkHeaderBytes <= size) {
    const uint32_t length = readUint32LE(data + at + 4);
    const size_t body = at + kChunkHeaderBytes;
    // A data chunk cut short is taken as far as it goes.
    const size_t present = std::min<size_t>(length, size - body);
    if (std::memcmp(data + at, "fmt ", 4) == 0) {
      if (present < kFormatBytes) return refused("WAV format chunk is " + std::to_string(present) + " bytes");
      const uint16_t format = readUint16LE(data + body);
      channels = readUint16LE(data + body + 2);
      rate = static_cast<int>(readUint32LE(data + body + 4));
      const uint16_t bits = readUint16LE(data + body + 14);
      if (format != kPcmFormat || bits != 16) return refused("only 16-bit PCM WAV files are read");
      if (channels < 1 || channels > 2) return refused("WAV with " + std::to_string(channels) + " channels");
      if (rate < kLowestRate || rate > kHighestRate) {
        return refused("WAV at " + std::to_string(rate) + " Hz (read from " + std::to_string(kLowestRate) + " to " +
                       std::to_string(kHighestRate) + " Hz)");
      }
    } else if (std::memcmp(data + at, "data", 4) == 0) {
      samples = data + body;
      sampleBytes = present;
    }
    // Chunks are padded to an even length.
    at = body + length + (length & 1u);
    if (at < body) break;  // a length that wraps around
  }
  if (channels == 0) return refused("WAV without a format chunk");
  if (samples == nullptr) return refused("WAV without a data chunk");
  const size_t frames = sampleBytes / (2u * static_cast<size_t>(channels));
  if (frames == 0) return refused("WAV without samples");
  DecodeResult result;
  result.audio.sampleRate = rate;
  result.audio.samples.resize(frames * kPcmChannels);
  for (size_t f = 0; f < frames; ++f) {
    const uint8_t* frame = samples + f * 2u * static_cast<size_t>(channels);
    const int16_t left = static_cast<int16_t>(readUint16LE(frame));
    const int16_t right = channels == 2 ? static_cast<int16_t>(readUint16LE(frame + 2)) : left;
    result.audio.samples[2 * f] = left;
    result.audio.samples[2 * f + 1] = right;
  }
  return result;
}
