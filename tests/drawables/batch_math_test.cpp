#include "drawables/batch_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "drawables/spectrum_sampling.h"

namespace {
bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
}  // namespace

TEST(BatchMath, FastApproximationsStayWithinTheirBounds) {
  if (!batchMathVectorised()) GTEST_SKIP() << "no AVX2/FMA: the batches always use the C library";
  double worstSine = 0.0;
  double x[4], result[4];
  // Float arguments over the whole fast range, many near multiples of pi/2
  // where the reduction cancels.
  for (int i = 0; i < 1 << 19; ++i) {
    for (int lane = 0; lane < 4; ++lane) {
      const double spread = std::ldexp(static_cast<double>((i * 4 + lane) % 9973) / 9973.0, i % 19);
      float argument =
          static_cast<float>((i & 1 ? -spread : spread) + (i % 7) * 1.5707963267948966 * (i % 97));
      if (std::fabs(argument) > kFastSineLimit)
        argument = std::fmod(argument, static_cast<float>(kFastSineLimit));
      x[lane] = argument;
    }
    fastSine4(x, result);
    for (int lane = 0; lane < 4; ++lane)
      worstSine = std::max(worstSine, std::fabs(result[lane] - std::sin(x[lane])));
  }
  EXPECT_LE(worstSine, kFastSineError);

  double worstPower = 0.0;
  for (double y : {-7.5, -1.0, 0.0, 0.25, 0.8, 1.0, 2.0, 3.3, 17.0, 95.0}) {
    for (int i = 0; i < 1 << 15; ++i) {
      for (int lane = 0; lane < 4; ++lane)
        x[lane] = static_cast<float>(std::ldexp(1.0 + ((i * 4 + lane) % 8191) / 8191.0, (i % 40) - 30));
      fastPower4(x, y, result);
      for (int lane = 0; lane < 4; ++lane) {
        const double expected = std::pow(x[lane], y);
        if (std::fabs(std::log2(expected)) > kFastPowerExponentLimit) continue;
        worstPower = std::max(worstPower, std::fabs(result[lane] - expected) / expected);
      }
    }
  }
  EXPECT_LE(worstPower, kFastPowerError);
}

TEST(BatchMath, JitterEqualsTheExactHashBitForBit) {
  // The arguments the terrain forms: band × 78.233 + time × 12.9898 over
  // ten minutes of music, plus awkward values.
  std::vector<float> arguments;
  for (int row = 0; row < 4000; ++row) {
    const float time = row * 0.1537f - 1.0f;
    for (int column = 0; column < 256; ++column)
      arguments.push_back((column * 0.5f + (column & 1 ? 32.0f : 0.0f)) * kJitterScaleA +
                          time * kJitterScaleB);
  }
  const float specials[] = {
      0.0f,       -0.0f,      1e-30f, -1e-30f, 1.5707964f, 3.1415927f, 262144.0f,
      -262144.0f, 262144.05f, 1e7f,   -1e20f,  kInf,       kNaN,       std::numeric_limits<float>::max()};
  arguments.insert(arguments.end(), std::begin(specials), std::end(specials));

  std::vector<float> results(arguments.size());
  jitterBatch(arguments.data(), results.data(), static_cast<int>(arguments.size()));
  int mismatches = 0;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const float expected = jitterFromArgument(arguments[i]);
    if (!sameBits(results[i], expected) && !(std::isnan(expected) && std::isnan(results[i]))) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0);

  // In place, and odd counts whose leftovers take the scalar path.
  std::vector<float> inPlace(arguments.begin(), arguments.begin() + 4099);
  jitterBatch(inPlace.data(), inPlace.data(), 4099);
  for (int i = 0; i < 4099; ++i) ASSERT_TRUE(sameBits(inPlace[i], results[i])) << i;
  jitterBatch(arguments.data(), results.data(), 0);
}

TEST(BatchMath, PowerEqualsTheExactPowerBitForBit) {
  // Spectrum-like bases (small magnitudes, zeros, a few odd values) under
  // the powers a sync track might hold.
  std::vector<float> bases;
  for (int i = 0; i < 60000; ++i) bases.push_back(std::ldexp(1.0f + (i % 977) / 977.0f, (i % 23) - 18));
  const float specials[] = {0.0f, -0.0f, -1.0f, -0.5f, 1.0f, kInf, -kInf, kNaN, 1e-45f, 3e38f, 1e-38f};
  bases.insert(bases.end(), std::begin(specials), std::end(specials));
  // Squares and cubes of short floats land exactly on, or next to, the
  // midpoint between two floats: only the exact library result rounds right.
  for (int k = 1; k < 4096; ++k) bases.push_back(1.0f + k / 4096.0f);
  std::vector<float> results(bases.size());
  for (double power :
       {0.0, 0.25, 0.5, 0.8, 1.0, 1.7, 2.0, 3.0, -1.0, -2.5, 40.0, 1e6, double(kNaN), double(kInf)}) {
    powerBatch(bases.data(), power, results.data(), static_cast<int>(bases.size()));
    int mismatches = 0;
    for (size_t i = 0; i < bases.size(); ++i) {
      const float expected = static_cast<float>(std::pow(static_cast<double>(bases[i]), power));
      if (!sameBits(results[i], expected) && !(std::isnan(expected) && std::isnan(results[i]))) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0) << "power " << power;
  }
  std::vector<float> inPlace(bases.begin(), bases.begin() + 1001);
  powerBatch(inPlace.data(), 0.7, inPlace.data(), 1001);
  for (int i = 0; i < 1001; ++i)
    ASSERT_TRUE(sameBits(inPlace[i], static_cast<float>(std::pow(static_cast<double>(bases[i]), 0.7)))) << i;
}
