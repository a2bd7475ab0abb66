// The music's tempo as it goes: the autocorrelation of the onset envelope in
// windows of a few seconds (a tempogram), weighted towards 120 BPM, and the
// path of beat periods through it that best balances strong periodicity
// against changes of tempo (Viterbi), so a tempo change is followed and a
// steady tempo does not jump between double and half. Pure computation.
#pragma once

#include <vector>

#include "audio/onset_envelope.h"

struct TempoTrack {
  // The beat period in envelope frames at every envelope frame.
  std::vector<double> period;
  // The tempo heard longest, in beats per minute.
  double mainBeatsPerMinute = 0.0;
  // How periodic the music is at the chosen periods: the mean normalised
  // autocorrelation there, 0 for silence and noise, towards 1 for a
  // metronome.
  double pulseStrength = 0.0;
};

// The envelope the tempo and the beats are found in: the flux less its
// local mean, log-compressed (so one loud kick does not outweigh the
// pattern around it) and scaled to unit deviation.
std::vector<float> beatEnvelope(const OnsetEnvelope& envelope);

TempoTrack trackTempo(const std::vector<float>& beatEnvelope, double framesPerSecond);
