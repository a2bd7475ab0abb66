#include "detection_score.h"

#include <algorithm>
#include <cmath>

namespace soundtrack {

double fMeasure(const std::vector<double>& detected, const std::vector<double>& truth, double tolerance) {
  if (detected.empty() && truth.empty()) return 1.0;
  if (detected.empty() || truth.empty()) return 0.0;
  size_t matched = 0;
  size_t d = 0;
  size_t t = 0;
  while (d < detected.size() && t < truth.size()) {
    if (std::fabs(detected[d] - truth[t]) <= tolerance) {
      ++matched;
      ++d;
      ++t;
    } else if (detected[d] < truth[t]) {
      ++d;
    } else {
      ++t;
    }
  }
  const double precision = double(matched) / double(detected.size());
  const double recall = double(matched) / double(truth.size());
  return matched == 0 ? 0.0 : 2.0 * precision * recall / (precision + recall);
}

double beatFMeasure(const std::vector<double>& detected, const std::vector<double>& truth, double tolerance) {
  std::vector<double> doubled;
  std::vector<double> odd;
  std::vector<double> even;
  for (size_t i = 0; i < truth.size(); ++i) {
    doubled.push_back(truth[i]);
    if (i + 1 < truth.size()) doubled.push_back(0.5 * (truth[i] + truth[i + 1]));
    (i % 2 == 0 ? even : odd).push_back(truth[i]);
  }
  return std::max({fMeasure(detected, truth, tolerance), fMeasure(detected, doubled, tolerance),
                   fMeasure(detected, odd, tolerance), fMeasure(detected, even, tolerance)});
}

}  // namespace soundtrack
