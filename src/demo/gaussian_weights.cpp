#include "demo/gaussian_weights.h"

#include <cmath>

namespace {
// 2 sigma^2 and pi sigma^2 for sigma = 25 / 6, as single-precision values.
constexpr double kTwoSigmaSquared = 34.72221957312695;
constexpr double kPiSigmaSquared = 54.54152297973633;
constexpr int kHalfWidth = 12;
}  // namespace

std::array<float, kBlurTaps> GaussianWeights() {
  std::array<float, kBlurTaps> weights{};
  const float n = static_cast<float>(std::sqrt(kPiSigmaSquared));
  for (int i = -kHalfWidth; i <= kHalfWidth; ++i) {
    const double e = std::exp(-static_cast<double>(i * i) / kTwoSigmaSquared);
    weights[static_cast<size_t>(i + kHalfWidth)] = static_cast<float>(e / n);
  }
  float sum = 0.0f;
  for (float w : weights) sum += w;
  for (float& w : weights) w = w / sum;
  return weights;
}
