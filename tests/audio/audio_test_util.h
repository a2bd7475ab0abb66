// Generated sound for the audio tests.
#pragma once

#include <cmath>
#include <string>

#include "audio/mp3_decoder.h"

inline DecodedAudio sineAudio(double seconds, double frequency, int sampleRate = 44100,
                              double amplitude = 32767.0) {
  DecodedAudio audio;
  audio.sampleRate = sampleRate;
  const int64_t frames = static_cast<int64_t>(std::llround(seconds * sampleRate));
  audio.samples.resize(static_cast<size_t>(frames) * 2);
  for (int64_t n = 0; n < frames; ++n) {
    const int16_t v = static_cast<int16_t>(
        std::lrint(amplitude * std::sin(2.0 * 3.14159265358979323846 * frequency * n / sampleRate)));
    audio.samples[2 * n] = v;
    audio.samples[2 * n + 1] = v;
  }
  return audio;
}

inline std::string fixturePath(const std::string& name) {
  return std::string(TARVO_SOURCE_DIR) + "/tests/audio/fixtures/" + name;
}
