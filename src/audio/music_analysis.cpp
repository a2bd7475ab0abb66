#include "audio/music_analysis.h"

#include "audio/onset_picking.h"
#include "audio/tempo_tracking.h"

namespace {
// Below this mean autocorrelation at the beat period the music has no pulse
// to follow (a pad, noise, near silence).
constexpr double kLeastPulseStrength = 0.2;
// Nor has music with fewer beats than a bar's worth.
constexpr size_t kLeastBeats = 4;
}  // namespace

bool MusicAnalysis::operator==(const MusicAnalysis& other) const {
  if (pulse != other.pulse || tempo != other.tempo || onsets != other.onsets || beats.size() != other.beats.size()) {
    return false;
  }
  for (size_t i = 0; i < beats.size(); ++i) {
    if (beats[i].time != other.beats[i].time || beats[i].bar != other.beats[i].bar) return false;
  }
  return true;
}

MusicAnalysis analyseMusic(const DecodedAudio& audio) {
  MusicAnalysis analysis;
  const OnsetEnvelope envelope = computeOnsetEnvelope(audio);
  // The envelope's last frames reach past the music; nothing is placed there.
  const double length = audio.sampleRate > 0 ? static_cast<double>(audio.frameCount()) / audio.sampleRate : 0.0;
  analysis.onsets = pickOnsets(envelope);
  while (!analysis.onsets.empty() && analysis.onsets.back() > length) analysis.onsets.pop_back();
  const std::vector<float> forBeats = beatEnvelope(envelope);
  const TempoTrack tempo = trackTempo(forBeats, envelope.framesPerSecond);
  if (tempo.pulseStrength < kLeastPulseStrength) return analysis;
  std::vector<TrackedBeat> beats = trackBeats(envelope, forBeats, tempo);
  while (!beats.empty() && beats.back().time > length) beats.pop_back();
  if (beats.size() < kLeastBeats) return analysis;
  analysis.pulse = true;
  analysis.tempo = tempo.mainBeatsPerMinute;
  analysis.beats = std::move(beats);
  return analysis;
}
