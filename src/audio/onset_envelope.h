// The music's onset envelope: how much new sound starts in each short frame
// (spectral flux of log-compressed, log-spaced bands, half-wave rectified),
// at 200 frames a second, for the mix above 100 Hz and for the low bands
// where the kick drum and the bass sit. What onsets, tempo, beats and bars
// are found from.
// Pure computation on decoded samples: no files, no logging.
#pragma once

#include <vector>

#include "audio/mp3_decoder.h"

constexpr double kEnvelopeFramesPerSecond = 200.0;

struct OnsetEnvelope {
  double framesPerSecond = kEnvelopeFramesPerSecond;
  // The music time of frame 0; frame i is at firstFrameTime + i / framesPerSecond.
  double firstFrameTime = 0.0;
  std::vector<float> flux;     // the bands above 100 Hz
  std::vector<float> lowFlux;  // the bands below 150 Hz

  size_t size() const { return flux.size(); }
  double timeOf(double frame) const { return firstFrameTime + frame / framesPerSecond; }
};

// Empty for audio without samples or with a sample rate outside 8 to 384 kHz.
OnsetEnvelope computeOnsetEnvelope(const DecodedAudio& audio);
