#include "groove_songs.h"

#include <algorithm>
#include <cmath>

namespace soundtrack {

namespace {
constexpr int kBeatsPerBar = 4;
constexpr double kRingOutSeconds = 1.5;
// The bass roots of the four bars that repeat: D, Bb, F, C.
constexpr int kBassRoots[4] = {38, 34, 41, 36};

// One hit of a groove: where in the bar (in beats, before swing), what, how
// loud, and for the bass how many beats it is held.
struct Hit {
  double beat;
  Instrument instrument;
  float velocity;
  double beats = 0.0;
};

std::vector<Hit> barOf(Groove groove) {
  using I = Instrument;
  switch (groove) {
    case Groove::kFourToTheFloor:
      return {{0, I::Kick, 1.0f},       {1, I::Kick, 0.95f},      {2, I::Kick, 1.0f},
              {3, I::Kick, 0.95f},      {1, I::Clap, 0.8f},       {3, I::Clap, 0.8f},
              {0.5, I::ClosedHat, 0.7f}, {1.5, I::ClosedHat, 0.6f}, {2.5, I::ClosedHat, 0.7f},
              {3.5, I::OpenHat, 0.5f},  {0.5, I::Bass, 0.9f, 0.4}, {1.5, I::Bass, 0.8f, 0.4},
              {2.5, I::Bass, 0.9f, 0.4}, {3.5, I::Bass, 0.8f, 0.4}};
    case Groove::kBrokenBeat:
      return {{0, I::Kick, 1.0f},        {0.75, I::Kick, 0.8f},      {2.5, I::Kick, 0.9f},
              {1, I::Snare, 0.9f},       {2.75, I::Snare, 0.35f},    {3, I::Snare, 0.9f},
              {0, I::ClosedHat, 0.6f},   {0.5, I::ClosedHat, 0.4f},  {1, I::ClosedHat, 0.6f},
              {1.5, I::ClosedHat, 0.4f}, {2, I::ClosedHat, 0.6f},    {2.5, I::ClosedHat, 0.4f},
              {3, I::ClosedHat, 0.6f},   {3.5, I::OpenHat, 0.4f},    {0, I::Bass, 1.0f, 0.6},
              {0.75, I::Bass, 0.8f, 0.5}, {2.5, I::Bass, 0.9f, 0.8}};
    case Groove::kDrumAndBass:
      return {{0, I::Kick, 1.0f},       {2.5, I::Kick, 0.9f},     {1, I::Snare, 1.0f},
              {3, I::Snare, 1.0f},      {0, I::ClosedHat, 0.5f},  {0.5, I::ClosedHat, 0.4f},
              {1, I::ClosedHat, 0.5f},  {1.5, I::ClosedHat, 0.4f}, {2, I::ClosedHat, 0.5f},
              {2.5, I::ClosedHat, 0.4f}, {3, I::ClosedHat, 0.5f},  {3.5, I::ClosedHat, 0.4f},
              {0, I::Bass, 1.0f, 1.8},   {2.5, I::Bass, 0.9f, 1.2}};
    case Groove::kSwung:
      return {{0, I::Kick, 1.0f},       {1.5, I::Kick, 0.7f},      {2, I::Kick, 0.95f},
              {1, I::Snare, 0.9f},      {3, I::Snare, 0.9f},       {0, I::ClosedHat, 0.6f},
              {0.5, I::ClosedHat, 0.4f}, {1, I::ClosedHat, 0.6f},   {1.5, I::ClosedHat, 0.4f},
              {2, I::ClosedHat, 0.6f},  {2.5, I::ClosedHat, 0.4f}, {3, I::ClosedHat, 0.6f},
              {3.5, I::ClosedHat, 0.4f}, {0, I::Bass, 1.0f, 1.2},   {2, I::Bass, 0.9f, 1.2}};
    case Groove::kBackbeat:
      return {{0, I::Kick, 1.0f},       {2, I::Kick, 0.8f},        {2.5, I::Kick, 0.7f},
              {1, I::Snare, 0.95f},     {3, I::Snare, 0.95f},      {0, I::ClosedHat, 0.55f},
              {0.5, I::ClosedHat, 0.4f}, {1, I::ClosedHat, 0.55f},  {1.5, I::ClosedHat, 0.4f},
              {2, I::ClosedHat, 0.55f}, {2.5, I::ClosedHat, 0.4f}, {3, I::ClosedHat, 0.55f},
              {3.5, I::ClosedHat, 0.4f}, {0, I::Bass, 1.0f, 0.9},   {2, I::Bass, 0.9f, 0.4},
              {2.5, I::Bass, 0.8f, 0.9}};
  }
  return {};
}

double tempoOfBar(const GrooveSongPlan& plan, int bar) {
  double bpm = plan.tempos.empty() ? 120.0 : plan.tempos.front().beatsPerMinute;
  for (const TempoChange& change : plan.tempos) {
    if (change.bar <= bar) bpm = change.beatsPerMinute;
  }
  return bpm;
}

// Offbeat eighths move to the swing point; other positions stay.
double swung(double beat, double swing) {
  const double whole = std::floor(beat);
  return std::fabs(beat - whole - 0.5) < 1e-9 ? whole + swing : beat;
}
}  // namespace

GrooveSong composeGrooveSong(const GrooveSongPlan& plan) {
  GrooveSong song;
  song.name = plan.name;
  const std::vector<Hit> bar = barOf(plan.groove);
  std::vector<double> starts;
  double barStart = kLeadInSeconds;
  for (int b = 0; b < plan.bars; ++b) {
    const double secondsPerBeat = 60.0 / tempoOfBar(plan, b);
    song.downbeats.push_back(barStart);
    for (int beat = 0; beat < kBeatsPerBar; ++beat) song.beats.push_back(barStart + beat * secondsPerBeat);
    for (const Hit& hit : bar) {
      Note note;
      note.instrument = hit.instrument;
      note.start = barStart + swung(hit.beat, plan.swing) * secondsPerBeat;
      note.velocity = hit.velocity;
      note.length = hit.instrument == Instrument::Bass ? hit.beats * secondsPerBeat : 0.1;
      note.pitch = kBassRoots[b % 4] + (hit.beat == std::floor(hit.beat) ? 0 : 12);
      note.tone = 0.6f;
      note.pan = hit.instrument == Instrument::ClosedHat || hit.instrument == Instrument::OpenHat ? 0.3f : 0.0f;
      song.score.notes.push_back(note);
      if (note.instrument == Instrument::Kick) song.score.kickTimes.push_back(note.start);
      starts.push_back(note.start);
    }
    // A crash opens every fourth bar, on the kick.
    if (b % 4 == 0) {
      Note crash;
      crash.instrument = Instrument::Crash;
      crash.start = barStart;
      crash.length = 2.0;
      crash.velocity = 0.6f;
      crash.pan = -0.2f;
      song.score.notes.push_back(crash);
    }
    barStart += kBeatsPerBar * secondsPerBeat;
  }
  song.score.length = barStart + kRingOutSeconds;
  song.score.fadeOut = 0.0;
  std::sort(starts.begin(), starts.end());
  for (double start : starts) {
    if (song.onsets.empty() || start - song.onsets.back() > kOnsetMergeSeconds) song.onsets.push_back(start);
  }
  return song;
}

const std::vector<GrooveSongPlan>& measuredGrooveSongs() {
  static const std::vector<GrooveSongPlan> kSongs = {
      {"steady four-to-the-floor 128", Groove::kFourToTheFloor, {{0, 128.0}}, 16, 0.5},
      {"broken beat 93", Groove::kBrokenBeat, {{0, 93.0}}, 12, 0.5},
      {"drum and bass 174", Groove::kDrumAndBass, {{0, 174.0}}, 24, 0.5},
      {"swung 100", Groove::kSwung, {{0, 100.0}}, 12, 2.0 / 3.0},
      {"tempo change 120 to 150", Groove::kBackbeat, {{0, 120.0}, {10, 150.0}}, 20, 0.5},
  };
  return kSongs;
}

}  // namespace soundtrack
