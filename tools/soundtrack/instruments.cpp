#include "instruments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "dsp.h"

namespace soundtrack {

namespace {

// A note's sample range, with a seed that makes its noise its own.
struct Span {
  size_t first;
  size_t count;
  uint32_t seed;
};

Span spanOf(const Note& note, double seconds) {
  const size_t first = static_cast<size_t>(std::max(0.0, note.start) * kSampleRate);
  return {first, static_cast<size_t>(seconds * kSampleRate),
          static_cast<uint32_t>(first * 2654435761u) ^ static_cast<uint32_t>(note.instrument)};
}

void renderKick(const Note& note, Mix& mix) {
  const Span span = spanOf(note, 0.55);
  SineOscillator body;
  StateVariableFilter click;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double hz = 43.0 + 125.0 * std::exp(-t * 30.0) + 40.0 * std::exp(-t * 160.0);
    // The body is still sounding when the span ends: it fades over the last
    // 10 ms instead of stopping with a click.
    const double fade = std::min(1.0, static_cast<double>(span.count - i) / (0.01 * kSampleRate));
    const double amp = std::exp(-t * 5.5) * std::min(1.0, t / 0.0015) * fade;
    double s = std::tanh(body.next(hz) * amp * 1.6);
    s += click.highpass(hashNoise(i, span.seed), 1500.0, 0.7) * std::exp(-t * 350.0) * 0.45;
    mix.add(span.first + i, s * 0.95 * note.velocity, note.pan, {0.02f, 0.0f, false});
  }
}

void renderSnare(const Note& note, Mix& mix) {
  const Span span = spanOf(note, 0.45);
  SineOscillator tone;
  StateVariableFilter body, air;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double noise = hashNoise(i, span.seed);
    double s = tone.next(190.0 + 60.0 * std::exp(-t * 40.0)) * std::exp(-t * 22.0) * 0.55;
    s += body.bandpass(noise, 1900.0, 0.8) * std::exp(-t * 13.0) * 0.9;
    s += air.highpass(noise, 5000.0, 0.7) * std::exp(-t * 18.0) * 0.35;
    mix.add(span.first + i, s * note.velocity * 0.6, note.pan, {0.35f, 0.0f, false});
  }
}

// Three quick bursts of band-passed noise, then a short tail: several hands
// clapping not quite together.
void renderClap(const Note& note, Mix& mix) {
  const Span span = spanOf(note, 0.35);
  StateVariableFilter body, air;
  static const double kBurstStarts[3] = {0.0, 0.011, 0.023};
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    double env = 0.0;
    for (double burst : kBurstStarts)
      if (t >= burst) env = std::max(env, std::exp(-(t - burst) * (burst < 0.02 ? 160.0 : 18.0)));
    const double noise = hashNoise(i, span.seed);
    const double s = body.bandpass(noise, 1250.0, 1.6) * 1.3 + air.highpass(noise, 3500.0, 0.7) * 0.3;
    mix.add(span.first + i, s * env * note.velocity * 0.5, note.pan, {0.45f, 0.0f, false});
  }
}

void renderHat(const Note& note, Mix& mix, double decayRate, double seconds) {
  const Span span = spanOf(note, seconds);
  StateVariableFilter high, ring;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double noise = hashNoise(i, span.seed);
    double s = high.highpass(noise, 7000.0, 0.8);
    s += ring.bandpass(noise, 10500.0, 3.0) * 0.5;
    s *= std::exp(-t * decayRate) * std::min(1.0, t / 0.0008);
    mix.add(span.first + i, s * note.velocity * 0.22, note.pan, {0.12f, 0.0f, false});
  }
}

void renderCrash(const Note& note, Mix& mix) {
  const Span span = spanOf(note, 2.8);
  StateVariableFilter high, body;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double noise = hashNoise(i, span.seed);
    double s = high.highpass(noise, 4500.0, 0.6) + body.bandpass(noise, 2600.0, 1.5) * 0.4;
    s *= std::exp(-t * 1.6) * std::min(1.0, t / 0.002);
    mix.add(span.first + i, s * note.velocity * 0.22, note.pan, {0.4f, 0.0f, false});
  }
}

void renderBass(const Note& note, Mix& mix) {
  const double hz = midiToHz(note.pitch);
  const Span span = spanOf(note, note.length + releaseTail(note.instrument));
  SawOscillator saw, sawDetuned(0.37);
  SineOscillator sub;
  StateVariableFilter filter;
  const double cutoffBase = 110.0 + 260.0 * note.tone;
  const double cutoffSweep = 500.0 + 1400.0 * note.tone;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double env = adsr(t, note.length, 0.003, 0.12, 0.65, 0.035);
    const double raw = 0.5 * saw.next(hz) + 0.5 * sawDetuned.next(hz * 1.004);
    const double cutoff = cutoffBase + cutoffSweep * std::exp(-t * 14.0);
    double s = filter.lowpass(raw, cutoff, 1.4) * 0.8 + sub.next(hz * 0.5) * 0.55;
    s = std::tanh(s * 1.3) * env;
    mix.add(span.first + i, s * note.velocity * 0.42, note.pan, {0.03f, 0.0f, true});
  }
}

void renderPad(const Note& note, Mix& mix) {
  const double hz = midiToHz(note.pitch);
  const Span span = spanOf(note, note.length + releaseTail(note.instrument));
  constexpr int kVoices = 3;
  const double detune[kVoices] = {-0.09, 0.0, 0.1};  // semitones
  const float spread[kVoices] = {-0.7f, 0.0f, 0.7f};
  SawOscillator voices[kVoices] = {SawOscillator(0.11), SawOscillator(0.53), SawOscillator(0.79)};
  StateVariableFilter filters[kVoices];
  const double cutoffBase = 350.0 + 2600.0 * note.tone;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double absolute = note.start + t;
    const double env = adsr(t, note.length, 0.45, 0.8, 0.8, 0.9);
    // A slow sweep over the whole piece keeps held chords moving.
    const double cutoff = cutoffBase * (1.0 + 0.35 * std::sin(absolute * 0.9 + note.pitch));
    for (int v = 0; v < kVoices; ++v) {
      const double raw = voices[v].next(hz * std::pow(2.0, detune[v] / 12.0));
      const double s = filters[v].lowpass(raw, cutoff, 0.9) * env;
      mix.add(span.first + i, s * note.velocity * 0.14, std::clamp(note.pan + spread[v], -1.0f, 1.0f),
              {0.5f, 0.0f, true});
    }
  }
}

void renderLead(const Note& note, Mix& mix) {
  const double hz = midiToHz(note.pitch);
  const Span span = spanOf(note, note.length + releaseTail(note.instrument));
  PulseOscillator pulse;
  SawOscillator saw(0.25);
  StateVariableFilter filter;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double vibrato = 1.0 + 0.004 * std::sin(kTwoPi * 5.4 * t) * std::min(1.0, std::max(0.0, t - 0.18) * 4.0);
    const double env = adsr(t, note.length, 0.01, 0.25, 0.7, 0.18);
    const double raw = 0.6 * pulse.next(hz * vibrato, 0.32) + 0.4 * saw.next(hz * vibrato * 1.003);
    const double cutoff = 900.0 + 2600.0 * note.tone * (0.6 + 0.4 * std::exp(-t * 6.0));
    const double s = filter.lowpass(raw, cutoff, 1.1) * env;
    mix.add(span.first + i, s * note.velocity * 0.3, note.pan, {0.3f, 0.35f, false});
  }
}

void renderArp(const Note& note, Mix& mix) {
  const double hz = midiToHz(note.pitch);
  const Span span = spanOf(note, note.length + releaseTail(note.instrument));
  SineOscillator modulator;
  StateVariableFilter filter;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double env = std::exp(-t * 9.0) * std::min(1.0, t / 0.002);
    const double index = 1.2 * note.tone * std::exp(-t * 14.0);
    const double s = std::sin(kTwoPi * hz * t + index * modulator.next(hz * 2.0));
    mix.add(span.first + i, filter.lowpass(s, 4000.0, 0.7) * env * note.velocity * 0.22, note.pan,
            {0.35f, 0.4f, true});
  }
}

void renderBell(const Note& note, Mix& mix) {
  const double hz = midiToHz(note.pitch);
  const Span span = spanOf(note, note.length + releaseTail(note.instrument));
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double env = std::exp(-t * 1.3) * std::min(1.0, t / 0.003);
    const double index = 2.5 * std::exp(-t * 2.5);
    const double s = std::sin(kTwoPi * hz * t + index * std::sin(kTwoPi * hz * 3.51 * t)) +
                     0.3 * std::sin(kTwoPi * hz * 2.76 * t) * std::exp(-t * 3.0);
    mix.add(span.first + i, s * env * note.velocity * 0.18, note.pan, {0.6f, 0.3f, false});
  }
}

void renderRiser(const Note& note, Mix& mix) {
  const Span span = spanOf(note, note.length + releaseTail(note.instrument));
  StateVariableFilter filter;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double progress = std::min(1.0, t / note.length);
    const double cutoff = 250.0 * std::pow(16.0, progress);
    const double env = progress * progress * (t < note.length ? 1.0 : std::exp(-(t - note.length) * 12.0));
    const double s = filter.bandpass(hashNoise(i, span.seed), cutoff, 2.2);
    mix.add(span.first + i, s * env * note.velocity * 0.5, std::sin(t * 3.0) * 0.5f, {0.5f, 0.0f, false});
  }
}

// The opposite of the riser: after an impact, noise falls from bright to
// dull and fades, opening the space for the section that starts.
void renderDownsweep(const Note& note, Mix& mix) {
  const Span span = spanOf(note, note.length + releaseTail(note.instrument));
  StateVariableFilter filter;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double progress = std::min(1.0, t / note.length);
    const double cutoff = 7000.0 * std::pow(1.0 / 28.0, progress);
    const double env = (1.0 - progress) * (1.0 - progress) * std::min(1.0, t / 0.005);
    const double s = filter.bandpass(hashNoise(i, span.seed), cutoff, 1.8);
    mix.add(span.first + i, s * env * note.velocity * 0.45, -std::sin(t * 2.0) * 0.6f, {0.6f, 0.0f, false});
  }
}

void renderWind(const Note& note, Mix& mix) {
  const Span span = spanOf(note, note.length + releaseTail(note.instrument));
  StateVariableFilter left, right;
  for (size_t i = 0; i < span.count; ++i) {
    const double t = i / kSampleRate;
    const double env = adsr(t, note.length, note.length * 0.4, 2.0, 1.0, 2.0);
    const double gust = 0.6 + 0.4 * std::sin(t * 0.7) * std::sin(t * 0.23 + 1.0);
    const double cutoff = 350.0 + 500.0 * gust * note.tone;
    const double l = left.bandpass(hashNoise(i, span.seed), cutoff, 3.0);
    const double r = right.bandpass(hashNoise(i, span.seed + 1), cutoff * 1.07, 3.0);
    mix.add(span.first + i, l * env * gust * note.velocity * 0.3, -0.8f, {0.3f, 0.0f, false});
    mix.add(span.first + i, r * env * gust * note.velocity * 0.3, 0.8f, {0.3f, 0.0f, false});
  }
}

}  // namespace

double releaseTail(Instrument instrument) {
  switch (instrument) {
    case Instrument::Bass: return 0.2;
    case Instrument::Pad: return 3.5;
    case Instrument::Lead: return 0.9;
    case Instrument::Arp: return 0.7;
    case Instrument::Bell: return 4.0;
    case Instrument::Riser: return 0.4;
    case Instrument::Downsweep: return 0.2;
    case Instrument::Wind: return 8.0;
    default: return 0.0;
  }
}

void renderNote(const Note& note, Mix& mix) {
  switch (note.instrument) {
    case Instrument::Kick: renderKick(note, mix); break;
    case Instrument::Snare: renderSnare(note, mix); break;
    case Instrument::Clap: renderClap(note, mix); break;
    case Instrument::ClosedHat: renderHat(note, mix, 70.0, 0.12); break;
    case Instrument::OpenHat: renderHat(note, mix, 9.0, 0.5); break;
    case Instrument::Crash: renderCrash(note, mix); break;
    case Instrument::Bass: renderBass(note, mix); break;
    case Instrument::Pad: renderPad(note, mix); break;
    case Instrument::Lead: renderLead(note, mix); break;
    case Instrument::Arp: renderArp(note, mix); break;
    case Instrument::Bell: renderBell(note, mix); break;
    case Instrument::Riser: renderRiser(note, mix); break;
    case Instrument::Downsweep: renderDownsweep(note, mix); break;
    case Instrument::Wind: renderWind(note, mix); break;
  }
}

}  // namespace soundtrack
