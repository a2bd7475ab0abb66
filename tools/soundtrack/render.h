// Renders a whole score to interleaved 16-bit stereo at 44.1 kHz.
#pragma once

#include <cstdint>
#include <vector>

#include "score.h"

namespace soundtrack {

constexpr double kPeakLevel = 0.89;  // about -1 dBFS

std::vector<int16_t> renderScore(const Score& score);

}  // namespace soundtrack
