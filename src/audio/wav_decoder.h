// 16-bit PCM WAV files (RIFF/WAVE, mono or stereo) decoded into the same
// interleaved stereo samples the MP3 decoder gives: what tools and tests
// hand the music analysis besides the production's MP3. Bytes in, samples
// or the reason out; no files.
#pragma once

#include <cstddef>
#include <cstdint>

#include "audio/mp3_decoder.h"

// True when the bytes begin like a WAV file ("RIFF", size, "WAVE").
bool looksLikeWav(const uint8_t* data, size_t size);

DecodeResult decodeWav(const uint8_t* data, size_t size);
