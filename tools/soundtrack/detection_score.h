// How well detected times match the true ones: the F-measure of a
// one-to-one matching within a tolerance, and for beats the best of the
// true beats, twice as many, and every other one (a tracker that taps at
// double or half the tempo still follows the music). Pure.
#pragma once

#include <vector>

namespace soundtrack {

constexpr double kBeatToleranceSeconds = 0.07;
constexpr double kOnsetToleranceSeconds = 0.05;

// 2PR / (P + R); 1 when both lists are empty, 0 when only one is. Both
// lists ascending.
double fMeasure(const std::vector<double>& detected, const std::vector<double>& truth, double tolerance);

double beatFMeasure(const std::vector<double>& detected, const std::vector<double>& truth,
                    double tolerance = kBeatToleranceSeconds);

}  // namespace soundtrack
