#include "audio/tempo_tracking.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {
constexpr double kDetrendSeconds = 0.5;  // each side
constexpr double kWindowSeconds = 10.0;
constexpr double kWindowHopSeconds = 0.5;
constexpr double kFastestBeatsPerMinute = 240.0;
constexpr double kSlowestBeatsPerMinute = 50.0;
// Tempi near 120 BPM are the likelier reading of a rhythm that fits
// several (a log-normal weight, one octave wide).
constexpr double kPreferredBeatsPerMinute = 120.0;
constexpr double kPreferenceOctaves = 1.0;
// What a change of tempo between windows costs, per squared octave: a jump
// to double or half is never worth it, a change of a fifth is when the music
// stays there for a few seconds.
constexpr double kChangeCost = 20.0;
// The least score a window's periods are given (relative to its best).
constexpr double kFloorScore = 1e-3;
// A beat period is backed by the periodicity at twice and four times it
// (half bars and bars): a period that is a beat and a half has none there.
constexpr std::array<int, 3> kMultiples = {1, 2, 4};
constexpr std::array<double, 3> kMultipleWeights = {1.0, 0.5, 0.5};
constexpr int kLongestMultiple = 4;

double beatsPerMinute(double periodFrames, double fps) { return 60.0 * fps / periodFrames; }

std::vector<double> movingMean(const std::vector<float>& values, size_t reach) {
  std::vector<double> prefix(values.size() + 1, 0.0);
  for (size_t i = 0; i < values.size(); ++i) prefix[i + 1] = prefix[i] + values[i];
  std::vector<double> mean(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const size_t from = i >= reach ? i - reach : 0;
    const size_t to = std::min(values.size(), i + reach + 1);
    mean[i] = (prefix[to] - prefix[from]) / static_cast<double>(to - from);
  }
  return mean;
}

// Autocorrelation of one window, mean removed, normalised to 1 at lag 0 and
// corrected for the shrinking overlap; empty when the window is silent.
std::vector<double> windowAutocorrelation(const std::vector<float>& envelope, size_t from, size_t to, int lowLag,
                                          int highLag) {
  const size_t n = to - from;
  std::vector<double> x(n);
  double mean = 0.0;
  for (size_t i = 0; i < n; ++i) mean += envelope[from + i];
  mean /= static_cast<double>(n);
  double energy = 0.0;
  for (size_t i = 0; i < n; ++i) {
    x[i] = envelope[from + i] - mean;
    energy += x[i] * x[i];
  }
  std::vector<double> acf;
  // Lags are taken over at least a third of the window; in short music the
  // longer multiples are left out.
  const int longest = std::min<int>(kLongestMultiple * highLag + 1, static_cast<int>(n * 2 / 3));
  if (energy <= 1e-9 || longest < highLag + 1) return acf;
  acf.assign(static_cast<size_t>(longest + 1), 0.0);
  for (int lag = std::max(1, lowLag - 1); lag <= longest; ++lag) {
    // Only the lags the periods and their multiples are read at.
    if (lag > highLag + 1 && !(lag % 2 == 0 && lag / 2 <= highLag) && !(lag % 4 == 0)) continue;
    double sum = 0.0;
    for (size_t i = 0; i + lag < n; ++i) sum += x[i] * x[i + lag];
    acf[static_cast<size_t>(lag)] = sum / energy * static_cast<double>(n) / static_cast<double>(n - lag);
  }
  return acf;
}
// How periodic the window is at a beat period: the autocorrelation there
// and at those of its multiples the window reaches, weighted; 1 for a
// metronome.
double periodicity(const std::vector<double>& acf, int lag) {
  double sum = 0.0;
  double weights = 0.0;
  for (size_t k = 0; k < kMultiples.size(); ++k) {
    const size_t at = static_cast<size_t>(kMultiples[k] * lag);
    if (at >= acf.size()) break;
    sum += kMultipleWeights[k] * std::max(0.0, acf[at]);
    weights += kMultipleWeights[k];
  }
  return sum / weights;
}
}  // namespace

std::vector<float> beatEnvelope(const OnsetEnvelope& envelope) {
  const std::vector<float>& flux = envelope.flux;
  std::vector<float> out(flux.size(), 0.0f);
  if (flux.empty()) return out;
  const std::vector<double> mean =
      movingMean(flux, static_cast<size_t>(std::lround(kDetrendSeconds * envelope.framesPerSecond)));
  double squares = 0.0;
  for (size_t i = 0; i < flux.size(); ++i) {
    out[i] = static_cast<float>(std::log1p(std::max(0.0, flux[i] - mean[i])));
    squares += double(out[i]) * out[i];
  }
  const double deviation = std::sqrt(squares / static_cast<double>(flux.size()));
  if (deviation <= 0.0) return out;
  for (float& v : out) v = static_cast<float>(v / deviation);
  return out;
}

TempoTrack trackTempo(const std::vector<float>& envelope, double fps) {
  TempoTrack track;
  const int lowLag = static_cast<int>(std::floor(60.0 * fps / kFastestBeatsPerMinute));
  const int highLag = static_cast<int>(std::ceil(60.0 * fps / kSlowestBeatsPerMinute));
  const size_t window = static_cast<size_t>(std::lround(kWindowSeconds * fps));
  const size_t hop = static_cast<size_t>(std::lround(kWindowHopSeconds * fps));
  if (envelope.size() < static_cast<size_t>(2 * highLag) || hop == 0) return track;

  const int lagCount = highLag - lowLag + 1;
  std::vector<double> preference(static_cast<size_t>(lagCount));
  for (int l = 0; l < lagCount; ++l) {
    const double octaves = std::log2(beatsPerMinute(lowLag + l, fps) / kPreferredBeatsPerMinute);
    preference[static_cast<size_t>(l)] = std::exp(-0.5 * std::pow(octaves / kPreferenceOctaves, 2.0));
  }

  // The tempogram: one autocorrelation per window, centred every hop.
  std::vector<size_t> centres;
  std::vector<std::vector<double>> acfs;
  for (size_t centre = 0; centre < envelope.size() + hop / 2; centre += hop) {
    const size_t from = centre >= window / 2 ? centre - window / 2 : 0;
    const size_t to = std::min(envelope.size(), centre + window / 2);
    centres.push_back(std::min(centre, envelope.size() - 1));
    acfs.push_back(windowAutocorrelation(envelope, from, to, lowLag, highLag));
  }

  // Viterbi over (window, lag).
  const size_t windows = centres.size();
  std::vector<double> transition(static_cast<size_t>(lagCount) * lagCount);
  for (int a = 0; a < lagCount; ++a) {
    for (int b = 0; b < lagCount; ++b) {
      const double octaves = std::log2(double(lowLag + b) / double(lowLag + a));
      transition[size_t(a) * lagCount + b] = -kChangeCost * octaves * octaves;
    }
  }
  std::vector<double> score(static_cast<size_t>(lagCount), 0.0);
  std::vector<double> next(static_cast<size_t>(lagCount));
  std::vector<std::vector<int>> from(windows, std::vector<int>(static_cast<size_t>(lagCount), 0));
  std::vector<double> emission(static_cast<size_t>(lagCount));
  for (size_t w = 0; w < windows; ++w) {
    const std::vector<double>& acf = acfs[w];
    double best = 0.0;
    for (int l = 0; l < lagCount; ++l) {
      const double value = acf.empty() ? 0.0 : periodicity(acf, lowLag + l) * preference[size_t(l)];
      emission[size_t(l)] = value;
      best = std::max(best, value);
    }
    for (double& e : emission) e = best > 0.0 ? std::log(std::max(kFloorScore, e / best)) : 0.0;
    for (int b = 0; b < lagCount; ++b) {
      double top = -1e300;
      int arg = b;
      if (w == 0) {
        top = 0.0;
      } else {
        for (int a = 0; a < lagCount; ++a) {
          const double s = score[size_t(a)] + transition[size_t(a) * lagCount + b];
          if (s > top) {
            top = s;
            arg = a;
          }
        }
      }
      next[size_t(b)] = top + emission[size_t(b)];
      from[w][size_t(b)] = arg;
    }
    score.swap(next);
  }
  std::vector<int> path(windows);
  path[windows - 1] = static_cast<int>(std::max_element(score.begin(), score.end()) - score.begin());
  for (size_t w = windows - 1; w > 0; --w) path[w - 1] = from[w][size_t(path[w])];

  // Each window's period, refined between whole lags; the strength there.
  std::vector<double> periods(windows);
  std::vector<double> heard;
  double strength = 0.0;
  for (size_t w = 0; w < windows; ++w) {
    const int lag = lowLag + path[w];
    double period = lag;
    const std::vector<double>& acf = acfs[w];
    if (!acf.empty()) {
      const double a = acf[size_t(lag - 1)];
      const double b = acf[size_t(lag)];
      const double c = acf[size_t(lag + 1)];
      const double curve = a - 2.0 * b + c;
      if (curve < 0.0) period += std::clamp(0.5 * (a - c) / curve, -0.5, 0.5);
      strength += periodicity(acf, lag);
      heard.push_back(beatsPerMinute(period, fps));
    }
    periods[w] = period;
  }
  track.period.assign(envelope.size(), periods.front());
  for (size_t w = 0; w + 1 < windows; ++w) {
    for (size_t i = centres[w]; i < centres[w + 1] && i < envelope.size(); ++i) {
      const double t = double(i - centres[w]) / double(centres[w + 1] - centres[w]);
      track.period[i] = periods[w] + t * (periods[w + 1] - periods[w]);
    }
  }
  for (size_t i = centres.back(); i < envelope.size(); ++i) track.period[i] = periods.back();
  if (!heard.empty()) {
    std::nth_element(heard.begin(), heard.begin() + heard.size() / 2, heard.end());
    track.mainBeatsPerMinute = heard[heard.size() / 2];
    track.pulseStrength = strength / static_cast<double>(heard.size());
  }
  return track;
}
