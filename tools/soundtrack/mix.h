// The mix buses of one rendering: dry stereo, reverb send and delay send,
// plus the sidechain envelope that the kick drum imposes on ducked voices.
// finish() runs the effects and turns the sum into 16-bit stereo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace soundtrack {

struct Sends {
  float reverb = 0.0f;
  float delay = 0.0f;
  bool ducked = false;  // follows the kick's sidechain envelope
};

class Mix {
 public:
  Mix(double seconds, const std::vector<double>& kickTimes);

  size_t frames() const { return dryLeft_.size(); }
  // Adds one mono sample at frame i, panned (-1..1) and sent as given.
  // Frames outside the buffer are ignored.
  void add(size_t frame, double sample, float pan, const Sends& sends);

  // Runs reverb and delay, sums the buses, fades out the last fadeSeconds,
  // soft-clips and normalises the peak to peakLevel. Interleaved L/R.
  std::vector<int16_t> finish(double fadeSeconds, double peakLevel);

 private:
  std::vector<float> dryLeft_, dryRight_;
  std::vector<float> reverbLeft_, reverbRight_;
  std::vector<float> delayLeft_, delayRight_;
  std::vector<float> duck_;
};

}  // namespace soundtrack
