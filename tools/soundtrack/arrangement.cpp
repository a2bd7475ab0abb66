#include "arrangement.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace soundtrack {

namespace {

struct Chord {
  std::array<int, 4> pad;  // voicing around the third octave
  int bassRoot;            // MIDI note of the bass root
};

const Chord kDm = {{50, 53, 57, 62}, 38};
const Chord kBb = {{50, 53, 58, 62}, 34};
const Chord kF = {{48, 53, 57, 60}, 41};
const Chord kC = {{48, 52, 55, 60}, 36};
const Chord kGm = {{50, 55, 58, 62}, 43};
const Chord kA = {{49, 52, 57, 61}, 33};

const Chord* const kMainProgression[4] = {&kDm, &kBb, &kF, &kC};
const Chord* const kBreakProgression[4] = {&kGm, &kDm, &kBb, &kA};

// The lead's eight-bar theme: (bar, step, length in steps, MIDI note).
struct ThemeNote {
  int bar, step, steps, pitch;
};
const ThemeNote kTheme[] = {
    {0, 0, 6, 81}, {0, 6, 2, 79}, {0, 8, 4, 77}, {0, 12, 2, 76}, {0, 14, 2, 77},
    {1, 0, 6, 74}, {1, 6, 2, 77}, {1, 8, 6, 82}, {1, 14, 2, 81},
    {2, 0, 4, 81}, {2, 4, 4, 84}, {2, 8, 4, 81}, {2, 12, 4, 79},
    {3, 0, 6, 79}, {3, 6, 2, 76}, {3, 8, 8, 72},
    {4, 0, 4, 86}, {4, 4, 2, 84}, {4, 6, 2, 81}, {4, 8, 4, 77}, {4, 12, 4, 81},
    {5, 0, 4, 82}, {5, 4, 2, 81}, {5, 6, 2, 77}, {5, 8, 8, 74},
    {6, 0, 3, 84}, {6, 3, 3, 81}, {6, 6, 2, 77}, {6, 8, 4, 81}, {6, 12, 4, 84},
    {7, 0, 4, 79}, {7, 4, 4, 76}, {7, 8, 8, 74},
};

// The harmony voice: two steps down the D natural minor scale (a third).
int thirdBelow(int pitch) {
  static const int kPitchClasses[7] = {0, 2, 4, 5, 7, 9, 10};  // C D E F G A Bb
  std::vector<int> scale;
  for (int octave = 0; octave < 11; ++octave)
    for (int pitchClass : kPitchClasses) scale.push_back(12 * octave + pitchClass);
  const auto found = std::find(scale.begin(), scale.end(), pitch);
  if (found == scale.end() || found - scale.begin() < 2) return pitch - 3;
  return *(found - 2);
}

class Arranger {
 public:
  explicit Arranger(Score& score) : score_(score) {}

  static double at(double bar, double step = 0.0) { return bar * kSecondsPerBar + step * kSecondsPerStep; }

  void note(Instrument instrument, double start, double length, double pitch, float velocity,
            float pan = 0.0f, float tone = 0.5f) {
    Note n;
    n.instrument = instrument;
    n.start = start;
    n.length = length;
    n.pitch = pitch;
    n.velocity = velocity;
    n.pan = pan;
    n.tone = tone;
    score_.notes.push_back(n);
    if (instrument == Instrument::Kick) score_.kickTimes.push_back(start);
  }

  void pad(int bar, const Chord& chord, float tone, float velocity = 1.0f, double bars = 1.0) {
    const float pans[4] = {-0.35f, 0.15f, -0.1f, 0.35f};
    for (int i = 0; i < 4; ++i)
      note(Instrument::Pad, at(bar), bars * kSecondsPerBar - 0.05, chord.pad[i], velocity, pans[i], tone);
  }

  void fourOnTheFloor(int bar, float velocity = 1.0f, bool pushLastStep = false) {
    for (int beat = 0; beat < 4; ++beat) note(Instrument::Kick, at(bar, beat * 4), 0.3, 0, velocity);
    if (pushLastStep) note(Instrument::Kick, at(bar, 14), 0.3, 0, velocity * 0.7f);
  }

  void backbeat(int bar, float velocity = 1.0f) {
    note(Instrument::Snare, at(bar, 4), 0.2, 0, velocity, 0.05f);
    note(Instrument::Snare, at(bar, 12), 0.2, 0, velocity, 0.05f);
  }

  // A clap layered on the backbeat, a little left of the snare.
  void claps(int bar, float velocity) {
    note(Instrument::Clap, at(bar, 4), 0.2, 0, velocity, -0.15f);
    note(Instrument::Clap, at(bar, 12), 0.2, 0, velocity, -0.15f);
  }

  // The downbeat that opens a section: a crash and a falling noise sweep
  // over the first bar and a half.
  void impact(int bar, float velocity, float pan) {
    note(Instrument::Crash, at(bar), 2.0, 0, velocity, pan);
    note(Instrument::Downsweep, at(bar), kSecondsPerBar * 1.5, 0, velocity);
  }

  void snareEighths(int bar) {
    for (int step = 0; step < 16; step += 2)
      note(Instrument::Snare, at(bar, step), 0.1, 0, 0.35f + 0.03f * step, 0.05f);
  }

  void offbeatHats(int bar, float velocity) {
    for (int step = 2; step < 16; step += 4) note(Instrument::ClosedHat, at(bar, step), 0.05, 0, velocity, 0.3f);
  }

  void sixteenthHats(int bar, float velocity, bool openHats) {
    static const float kAccent[4] = {0.55f, 0.3f, 0.9f, 0.35f};
    for (int step = 0; step < 16; ++step) {
      if (openHats && (step == 6 || step == 14)) {
        note(Instrument::OpenHat, at(bar, step), 0.2, 0, velocity * 0.8f, -0.25f);
        continue;
      }
      note(Instrument::ClosedHat, at(bar, step), 0.05, 0, velocity * kAccent[step % 4], 0.3f);
    }
  }

  void bassLine(int bar, const Chord& chord, float tone, float velocity = 1.0f) {
    // Syncopated root with octave jumps: (step, steps, octave up).
    static const int kPattern[][3] = {{0, 2, 0}, {3, 1, 0}, {4, 2, 0}, {6, 2, 1},
                                      {8, 2, 0}, {10, 1, 0}, {11, 2, 0}, {14, 2, 1}};
    for (const auto& hit : kPattern)
      note(Instrument::Bass, at(bar, hit[0]), hit[1] * kSecondsPerStep * 0.9,
           chord.bassRoot + 12 * hit[2], velocity, 0.0f, tone);
  }

  void sustainedBass(int bar, const Chord& chord, float tone, float velocity) {
    note(Instrument::Bass, at(bar), kSecondsPerBar * 0.95, chord.bassRoot, velocity, 0.0f, tone);
  }

  void arpeggio(int bar, const Chord& chord, float velocity, float tone) {
    static const int kOrder[16] = {0, 1, 2, 3, 4, 3, 2, 1, 0, 2, 4, 5, 4, 2, 1, 3};
    for (int step = 0; step < 16; ++step) {
      const int index = kOrder[step];
      const int pitch = chord.pad[index % 4] + 24 + 12 * (index / 4);
      const float pan = (step % 2 == 0) ? -0.45f : 0.45f;
      note(Instrument::Arp, at(bar, step), kSecondsPerStep * 0.8, pitch, velocity, pan, tone);
    }
  }

  void theme(int firstBar, int transpose, float velocity, float tone, bool harmony, int bars = 8) {
    for (const ThemeNote& t : kTheme) {
      if (t.bar >= bars) continue;
      const double start = at(firstBar + t.bar, t.step);
      const double length = t.steps * kSecondsPerStep * 0.92;
      note(Instrument::Lead, start, length, t.pitch + transpose, velocity, 0.12f, tone);
      if (harmony)
        note(Instrument::Lead, start, length, thirdBelow(t.pitch) + transpose, velocity * 0.55f, -0.35f, tone * 0.7f);
    }
  }

  void snareRoll(int bar, int fromStep, bool doubleTimeLastBeat) {
    for (int step = fromStep; step < 16; ++step) {
      const float v = 0.3f + 0.6f * (step - fromStep) / float(16 - fromStep);
      if (doubleTimeLastBeat && step >= 12) {
        note(Instrument::Snare, at(bar, step), 0.1, 0, v, 0.05f);
        note(Instrument::Snare, at(bar, step + 0.5), 0.1, 0, v, 0.05f);
      } else {
        note(Instrument::Snare, at(bar, step), 0.1, 0, v, 0.05f);
      }
    }
  }

 private:
  Score& score_;
};

}  // namespace

const std::vector<Section>& fullPieceSections() {
  static const std::vector<Section> kSections = {
      {"intro", 0, 8},       {"build-up", 8, 8},  {"drop", 16, 16},  {"breakdown", 32, 8},
      {"second build-up", 40, 8}, {"second drop", 48, 16}, {"outro", 64, 8},
  };
  return kSections;
}

Score composeFullPiece() {
  Score score;
  Arranger a(score);
  // The sections give the bars; four seconds more let the last chord ring.
  const Section& last = fullPieceSections().back();
  score.length = (last.firstBar + last.bars) * kSecondsPerBar + 4.0;
  score.fadeOut = 4.0;

  // Intro (bars 0-7): cold wind, bells and a slowly opening pad; from bar 4
  // hats on the offbeat, a held bass and a quiet arpeggio.
  a.note(Instrument::Wind, 0.0, 16.0, 0, 1.0f, 0.0f, 0.6f);
  a.note(Instrument::Bell, Arranger::at(0), 1.0, 81, 0.9f, 0.3f);
  a.note(Instrument::Bell, Arranger::at(2), 1.0, 74, 0.8f, -0.3f);
  for (int bar = 0; bar < 4; ++bar) a.pad(bar, *kMainProgression[bar % 4], 0.08f + 0.06f * bar, 0.9f);
  for (int bar = 4; bar < 8; ++bar) {
    const Chord& chord = *kMainProgression[bar % 4];
    a.pad(bar, chord, 0.3f + 0.03f * (bar - 4));
    a.offbeatHats(bar, 0.45f + 0.1f * (bar - 4));
    a.sustainedBass(bar, chord, 0.1f, 0.8f);
    a.arpeggio(bar, chord, 0.25f + 0.08f * (bar - 4), 0.3f);
  }
  a.note(Instrument::Bell, Arranger::at(4), 1.0, 86, 0.7f, 0.0f);

  // Build-up (bars 8-15): kick and bass, then snare, sixteenths and a riser.
  for (int bar = 8; bar < 16; ++bar) {
    const Chord& chord = *kMainProgression[bar % 4];
    const float rise = (bar - 8) / 7.0f;
    a.pad(bar, chord, 0.4f + 0.15f * rise);
    a.fourOnTheFloor(bar, 0.85f + 0.15f * rise);
    a.bassLine(bar, chord, 0.25f + 0.35f * rise);
    if (bar < 12) a.offbeatHats(bar, 0.7f);
    else a.sixteenthHats(bar, 0.75f, false);
    if (bar >= 12) a.backbeat(bar, 0.8f);
  }
  a.note(Instrument::Riser, Arranger::at(14), 2 * kSecondsPerBar, 0, 0.9f);
  a.snareRoll(15, 8, true);

  // Drop (bars 16-31): everything, clap on the backbeat, the theme twice.
  for (int bar = 16; bar < 32; ++bar) {
    const Chord& chord = *kMainProgression[bar % 4];
    a.pad(bar, chord, 0.62f);
    a.fourOnTheFloor(bar, 1.0f, bar % 4 == 3);
    a.backbeat(bar);
    a.claps(bar, 0.8f);
    a.sixteenthHats(bar, 0.9f, true);
    a.bassLine(bar, chord, 0.6f);
  }
  a.impact(16, 1.0f, -0.2f);
  a.note(Instrument::Crash, Arranger::at(24), 2.0, 0, 0.8f, 0.2f);
  a.theme(16, 0, 1.0f, 0.6f, false);
  a.theme(24, 0, 1.0f, 0.7f, true);

  // Breakdown (bars 32-39): the minor turn; no drums, arpeggio and bells.
  a.impact(32, 0.9f, 0.0f);
  a.note(Instrument::Bell, Arranger::at(32), 1.0, 86, 1.0f, -0.2f);
  a.note(Instrument::Bell, Arranger::at(34), 1.0, 81, 0.8f, 0.25f);
  a.note(Instrument::Bell, Arranger::at(36), 1.0, 78, 0.8f, -0.25f);
  a.note(Instrument::Bell, Arranger::at(38), 1.0, 81, 0.7f, 0.2f);
  a.note(Instrument::Wind, Arranger::at(32), 14.0, 0, 0.7f, 0.0f, 0.8f);
  for (int bar = 32; bar < 40; ++bar) {
    const Chord& chord = *kBreakProgression[bar % 4];
    a.pad(bar, chord, 0.3f + 0.03f * (bar - 32));
    a.arpeggio(bar, chord, 0.8f, 0.45f + 0.05f * (bar - 32));
    a.sustainedBass(bar, chord, 0.15f + 0.03f * (bar - 32), 0.9f);
  }

  // Second build-up (bars 40-47): half-time kicks, then the full beat, a
  // long riser, snare eighths and a roll into the drop.
  for (int bar = 40; bar < 48; ++bar) {
    const Chord& chord = *kMainProgression[bar % 4];
    const float rise = (bar - 40) / 7.0f;
    a.pad(bar, chord, 0.45f + 0.25f * rise);
    a.arpeggio(bar, chord, 0.4f + 0.3f * rise, 0.4f + 0.5f * rise);
    if (bar < 44) {
      a.note(Instrument::Kick, Arranger::at(bar, 0), 0.3, 0, 0.85f);
      a.note(Instrument::Kick, Arranger::at(bar, 8), 0.3, 0, 0.8f);
      a.offbeatHats(bar, 0.6f);
      a.sustainedBass(bar, chord, 0.2f + 0.1f * rise, 0.9f);
    } else {
      a.fourOnTheFloor(bar, 0.9f + 0.1f * rise);
      a.sixteenthHats(bar, 0.8f, false);
      a.bassLine(bar, chord, 0.3f + 0.3f * rise);
      if (bar < 46) a.backbeat(bar, 0.8f);
    }
  }
  a.note(Instrument::Riser, Arranger::at(44), 4 * kSecondsPerBar, 0, 1.0f);
  a.snareEighths(46);
  a.snareRoll(47, 0, true);

  // Second drop (bars 48-63): the theme an octave higher, then with its
  // harmony, the arpeggio running under it.
  for (int bar = 48; bar < 64; ++bar) {
    const Chord& chord = *kMainProgression[bar % 4];
    a.pad(bar, chord, 0.72f);
    a.fourOnTheFloor(bar, 1.0f, bar % 4 == 3);
    a.backbeat(bar);
    a.claps(bar, 0.9f);
    a.sixteenthHats(bar, 1.0f, true);
    a.bassLine(bar, chord, 0.7f);
    a.arpeggio(bar, chord, 0.35f, 0.5f);
  }
  a.impact(48, 1.0f, -0.2f);
  a.note(Instrument::Crash, Arranger::at(56), 2.0, 0, 0.9f, 0.2f);
  a.theme(48, 12, 0.85f, 0.55f, false);
  a.theme(56, 0, 1.0f, 0.75f, true);

  // Outro (bars 64-71): one last hit, the beat thins out over four bars, then
  // pads, bells and wind ring out on D minor.
  a.impact(64, 1.0f, 0.0f);
  a.note(Instrument::Bell, Arranger::at(64), 1.0, 74, 1.0f);
  for (int bar = 64; bar < 68; ++bar) {
    const Chord& chord = *kMainProgression[bar % 4];
    const float fade = 1.0f - 0.15f * (bar - 64);
    a.fourOnTheFloor(bar, 0.9f * fade);
    a.offbeatHats(bar, 0.7f * fade);
    a.sustainedBass(bar, chord, 0.3f, 0.85f * fade);
    a.pad(bar, chord, 0.6f - 0.05f * (bar - 64));
  }
  a.note(Instrument::Wind, Arranger::at(66), 14.0, 0, 0.9f, 0.0f, 0.5f);
  a.note(Instrument::Bell, Arranger::at(68), 1.0, 74, 0.9f, -0.2f);
  a.note(Instrument::Bell, Arranger::at(70), 1.0, 69, 0.7f, 0.3f);
  const Chord* outro[4] = {&kBb, &kF, &kDm, &kDm};
  for (int bar = 68; bar < 71; ++bar) a.pad(bar, *outro[bar - 68], 0.45f - 0.1f * (bar - 68));
  a.pad(71, kDm, 0.2f, 0.9f, 1.0);

  std::sort(score.kickTimes.begin(), score.kickTimes.end());
  return score;
}

Score composeTestClip() {
  Score score;
  Arranger a(score);
  score.length = 5.0;
  score.fadeOut = 0.4;
  const Chord* chords[3] = {&kDm, &kBb, &kF};
  a.note(Instrument::Bell, 0.0, 1.0, 81, 0.9f);
  for (int bar = 0; bar < 3; ++bar) {
    a.pad(bar, *chords[bar], 0.6f);
    a.fourOnTheFloor(bar);
    a.backbeat(bar);
    a.sixteenthHats(bar, 0.8f, true);
    a.bassLine(bar, *chords[bar], 0.6f);
  }
  a.theme(0, 0, 1.0f, 0.6f, false, 2);
  std::sort(score.kickTimes.begin(), score.kickTimes.end());
  return score;
}

std::string describeSections(const std::vector<Section>& sections, double pieceLength) {
  std::string text =
      "# Sections of brivel-669, written by soundtrack-gen: do not edit by hand.\n"
      "# 120 BPM, one bar = 2 s = 32 sync rows (16 rows per second).\n"
      "# section            start s   end s  start row  end row\n";
  char line[160];
  for (size_t i = 0; i < sections.size(); ++i) {
    const Section& section = sections[i];
    const double start = section.firstBar * kSecondsPerBar;
    const double end = i + 1 < sections.size() ? (section.firstBar + section.bars) * kSecondsPerBar : pieceLength;
    std::snprintf(line, sizeof line, "%-18s %8.1f %7.1f %10d %8d\n", section.name, start, end,
                  static_cast<int>(start * kSyncRowsPerSecond + 0.5), static_cast<int>(end * kSyncRowsPerSecond + 0.5));
    text += line;
  }
  return text;
}

}  // namespace soundtrack
