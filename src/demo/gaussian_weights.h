// The 25-tap Gaussian kernel of the blur (sigma 25/6), normalised to sum 1.
#pragma once

#include <array>

constexpr int kBlurTaps = 25;

// Entry j is the weight of the sample at offset j - 12 sample steps.
std::array<float, kBlurTaps> GaussianWeights();
