#include "dsp.h"

#include <algorithm>
#include <cmath>

namespace soundtrack {

double midiToHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

float hashNoise(uint32_t index, uint32_t seed) {
  // A murmur-style finaliser: cheap, well mixed, and the same everywhere.
  uint32_t h = index * 0x9E3779B1u ^ (seed + 0x7F4A7C15u) * 0x85EBCA77u;
  h ^= h >> 16;
  h *= 0x7FEB352Du;
  h ^= h >> 15;
  h *= 0x846CA68Bu;
  h ^= h >> 16;
  return static_cast<float>(h * (1.0 / 4294967295.0) * 2.0 - 1.0);
}

namespace {

// The polyBLEP correction that removes the aliasing step of a naive edge.
double polyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

double wrapPhase(double phase) { return phase - std::floor(phase); }

}  // namespace

double SawOscillator::next(double hz) {
  const double increment = hz / kSampleRate;
  const double value = 2.0 * phase_ - 1.0 - polyBlep(phase_, increment);
  phase_ = wrapPhase(phase_ + increment);
  return value;
}

double PulseOscillator::next(double hz, double width) {
  const double increment = hz / kSampleRate;
  const double shifted = wrapPhase(phase_ + width);
  const double sawA = 2.0 * phase_ - 1.0 - polyBlep(phase_, increment);
  const double sawB = 2.0 * shifted - 1.0 - polyBlep(shifted, increment);
  phase_ = wrapPhase(phase_ + increment);
  return sawA - sawB;
}

double SineOscillator::next(double hz) {
  const double value = std::sin(kTwoPi * phase_);
  phase_ = wrapPhase(phase_ + hz / kSampleRate);
  return value;
}

StateVariableFilter::Outputs StateVariableFilter::process(double input, double cutoffHz,
                                                          double resonance) {
  const double clamped = std::clamp(cutoffHz, 10.0, kSampleRate * 0.45);
  const double g = std::tan(kPi * clamped / kSampleRate);
  const double k = 1.0 / std::max(resonance, 0.05);
  const double a1 = 1.0 / (1.0 + g * (g + k));
  const double a2 = g * a1;
  const double a3 = g * a2;
  const double v3 = input - state2_;
  const double v1 = a1 * state1_ + a2 * v3;
  const double v2 = state2_ + a2 * state1_ + a3 * v3;
  state1_ = 2.0 * v1 - state1_;
  state2_ = 2.0 * v2 - state2_;
  return {v2, v1, input - k * v1 - v2};
}

double adsr(double t, double length, double attack, double decay, double sustain,
            double release) {
  if (t < 0.0) return 0.0;
  auto held = [&](double u) {
    if (u < attack) return u / attack;
    return sustain + (1.0 - sustain) * std::exp(-(u - attack) / decay);
  };
  if (t < length) return held(t);
  return held(length) * std::exp(-(t - length) / release);
}

namespace {

class Comb {
 public:
  explicit Comb(size_t length) : buffer_(length, 0.0f) {}
  float process(float input, float feedback, float damping) {
    const float output = buffer_[index_];
    filtered_ = output * (1.0f - damping) + filtered_ * damping;
    buffer_[index_] = input + filtered_ * feedback;
    index_ = (index_ + 1) % buffer_.size();
    return output;
  }

 private:
  std::vector<float> buffer_;
  size_t index_ = 0;
  float filtered_ = 0.0f;
};

class Allpass {
 public:
  explicit Allpass(size_t length) : buffer_(length, 0.0f) {}
  float process(float input) {
    const float delayed = buffer_[index_];
    const float output = delayed - input;
    buffer_[index_] = input + delayed * 0.5f;
    index_ = (index_ + 1) % buffer_.size();
    return output;
  }

 private:
  std::vector<float> buffer_;
  size_t index_ = 0;
};

void reverbChannel(std::vector<float>& samples, size_t spread, double roomSize, double damping) {
  static const size_t kCombLengths[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
  static const size_t kAllpassLengths[] = {556, 441, 341, 225};
  std::vector<Comb> combs;
  for (size_t length : kCombLengths) combs.emplace_back(length + spread);
  std::vector<Allpass> allpasses;
  for (size_t length : kAllpassLengths) allpasses.emplace_back(length + spread);
  const float feedback = static_cast<float>(roomSize);
  const float damp = static_cast<float>(damping);
  for (float& sample : samples) {
    const float input = sample * 0.015f;
    float sum = 0.0f;
    for (Comb& comb : combs) sum += comb.process(input, feedback, damp);
    for (Allpass& allpass : allpasses) sum = allpass.process(sum);
    sample = sum;
  }
}

}  // namespace

void applyReverb(std::vector<float>& left, std::vector<float>& right, double roomSize,
                 double damping) {
  constexpr size_t kStereoSpread = 23;
  reverbChannel(left, 0, roomSize, damping);
  reverbChannel(right, kStereoSpread, roomSize, damping);
}

void applyPingPongDelay(std::vector<float>& left, std::vector<float>& right,
                        double delaySeconds, double feedback, double toneHz) {
  const size_t length = static_cast<size_t>(delaySeconds * kSampleRate);
  if (length == 0 || left.size() != right.size()) return;
  std::vector<float> lineLeft(length, 0.0f), lineRight(length, 0.0f);
  StateVariableFilter toneLeft, toneRight;
  size_t index = 0;
  for (size_t i = 0; i < left.size(); ++i) {
    const float echoLeft = lineLeft[index];
    const float echoRight = lineRight[index];
    // Mono input enters the left line; each line feeds the other one.
    const double input = 0.5 * (left[i] + right[i]);
    lineLeft[index] = static_cast<float>(toneLeft.lowpass(input + echoRight * feedback, toneHz, 0.7));
    lineRight[index] = static_cast<float>(toneRight.lowpass(echoLeft * feedback, toneHz, 0.7));
    left[i] = echoLeft;
    right[i] = echoRight;
    index = (index + 1) % length;
  }
}

}  // namespace soundtrack
