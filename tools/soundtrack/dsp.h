// Small signal-processing blocks for the soundtrack generator: a fixed-seed
// noise hash, band-limited oscillators, a state-variable filter, a stereo
// reverb and a ping-pong delay. Owns no buffers of the mix; the instruments
// and the mixer decide what is rendered where.
#pragma once

#include <cstdint>
#include <vector>

namespace soundtrack {

constexpr double kSampleRate = 44100.0;
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// Equal-tempered frequency of a MIDI note number (69 = A4 = 440 Hz).
double midiToHz(double note);

// Deterministic white noise in [-1, 1]: an integer hash of the sample index
// and a per-voice seed. The same arguments always give the same value.
float hashNoise(uint32_t index, uint32_t seed);

// Band-limited sawtooth with polyBLEP edges; phase in [0, 1).
class SawOscillator {
 public:
  explicit SawOscillator(double startPhase = 0.0) : phase_(startPhase) {}
  double next(double hz);

 private:
  double phase_;
};

// Band-limited pulse made of two sawtooths; width in (0, 1).
class PulseOscillator {
 public:
  double next(double hz, double width);

 private:
  double phase_ = 0.0;
};

// Sine oscillator with a running phase (so frequency sweeps stay continuous).
class SineOscillator {
 public:
  double next(double hz);
  double phase() const { return phase_; }

 private:
  double phase_ = 0.0;
};

// Topology-preserving state-variable filter; one call gives all three outputs.
class StateVariableFilter {
 public:
  struct Outputs {
    double low, band, high;
  };
  Outputs process(double input, double cutoffHz, double resonance);
  double lowpass(double input, double cutoffHz, double resonance) {
    return process(input, cutoffHz, resonance).low;
  }
  double highpass(double input, double cutoffHz, double resonance) {
    return process(input, cutoffHz, resonance).high;
  }
  double bandpass(double input, double cutoffHz, double resonance) {
    return process(input, cutoffHz, resonance).band;
  }

 private:
  double state1_ = 0.0, state2_ = 0.0;
};

// Linear attack, exponential decay towards a sustain level, exponential
// release after the note's length. t is the time since the note began.
double adsr(double t, double length, double attack, double decay, double sustain, double release);

// Stereo reverb of damped feedback combs and allpasses (Schroeder/Moorer
// structure with the right channel's delays spread for width). Processes the
// send buffers in place into the wet signal.
void applyReverb(std::vector<float>& left, std::vector<float>& right, double roomSize,
                 double damping);

// Ping-pong delay in place: the echo alternates between the channels.
void applyPingPongDelay(std::vector<float>& left, std::vector<float>& right,
                        double delaySeconds, double feedback, double toneHz);

}  // namespace soundtrack
