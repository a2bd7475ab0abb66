// The score of a piece: which instrument plays what, when, how loud, where in
// the stereo field. Plain data; the arrangement writes it and the
// instruments render it.
#pragma once

#include <vector>

namespace soundtrack {

enum class Instrument {
  Kick,
  Snare,
  Clap,
  ClosedHat,
  OpenHat,
  Crash,
  Bass,
  Pad,
  Lead,
  Arp,
  Bell,
  Riser,
  Downsweep,
  Wind,
};

struct Note {
  Instrument instrument = Instrument::Pad;
  double start = 0.0;   // seconds
  double length = 0.0;  // seconds the note is held; release comes after
  double pitch = 60.0;  // MIDI note number (fractions allowed)
  float velocity = 1.0f;
  float pan = 0.0f;     // -1 left .. +1 right
  float tone = 0.5f;    // instrument brightness 0..1 (filter opening)
};

struct Score {
  double length = 0.0;  // seconds of audio to render
  std::vector<Note> notes;
  // Times of the kick drum: the bass and pads duck under them.
  std::vector<double> kickTimes;
  // Seconds of fade-out at the end of the rendered audio.
  double fadeOut = 0.0;
};

}  // namespace soundtrack
