#include "drawables/batch_math.h"

#include <cmath>

#include "drawables/spectrum_sampling.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TARVO_BATCH_AVX2 1
#include <immintrin.h>
#endif

namespace {
float powerExact(float base, double power) {
  return static_cast<float>(std::pow(static_cast<double>(base), power));
}

void jitterExact(const float* arguments, float* results, int begin, int end) {
  for (int i = begin; i < end; ++i) results[i] = jitterFromArgument(arguments[i]);
}

void powerExactRange(const float* bases, double power, float* results, int begin, int end) {
  for (int i = begin; i < end; ++i) results[i] = powerExact(bases[i], power);
}
}  // namespace

#ifdef TARVO_BATCH_AVX2
// How the vectorised paths stay exact: every step from the library's value
// to the stored float (scaling, fraction, rounding to float) is monotonic.
// The library's value is known to lie within a margin of the approximation;
// when both ends of that interval give the same float, the library's value
// gives it too. Otherwise the lane is computed by the library.
#define TARVO_AVX2 __attribute__((target("avx2,fma")))
namespace {
constexpr double kTwoOverPi = 0.6366197723675814;
// pi/2 in three parts, the first two of 33 significant bits, so that their
// products with a quadrant number below 2^19 are exact.
constexpr double kHalfPi1 = 1.5707963267341256;      // 0x3ff921fb54400000
constexpr double kHalfPi2 = 6.077100506303966e-11;   // 0x3dd0b4611a600000
constexpr double kHalfPi3 = 2.0222662487959506e-21;  // 0x3ba3198a2e037073
// Minimax polynomials for sin and cos on [-pi/4, pi/4] (fdlibm's kernels).
constexpr double kS1 = -1.66666666666666324348e-01, kS2 = 8.33333333332248946124e-03,
                 kS3 = -1.98412698298579493134e-04, kS4 = 2.75573137070700676789e-06,
                 kS5 = -2.50507602534068634195e-08, kS6 = 1.58969099521155010221e-10;
constexpr double kC1 = 4.16666666666666019037e-02, kC2 = -1.38888888888741095749e-03,
                 kC3 = 2.48015872894767294178e-05, kC4 = -2.75573143513906633035e-07,
                 kC5 = 2.08757232129817482790e-09, kC6 = -1.13596475577881948265e-11;
// The library's sine is within an ulp or so (2^-52 near 1) of the true
// value and the approximation within kFastSineError: the margin covers both
// four times over.
constexpr double kSineMargin = 0x1p-48;
constexpr double kJitterScale = 43758.5453;
// The library's pow is within an ulp (2^-52 relative), the approximation
// within kFastPowerError; the margin covers both sixteen times over.
constexpr double kPowerMargin = 0x1p-36;
constexpr double kInverseLn2 = 1.4426950408889634;
constexpr double kLn2 = 0.6931471805599453;
constexpr double kSqrtHalf = 0.7071067811865476;

// Lanes the bound could not decide, from the inputs as loaded (the results
// may overwrite the inputs).
template <class Exact>
TARVO_AVX2 void undecided(__m128 input, int decided, float* results, Exact exact) {
  alignas(16) float inputs[4];
  _mm_store_ps(inputs, input);
  for (int lane = 0; lane < 4; ++lane)
    if (!(decided & (1 << lane))) results[lane] = exact(inputs[lane]);
}

TARVO_AVX2 inline __m256d splat(double value) { return _mm256_set1_pd(value); }

TARVO_AVX2 __m256d fastSineLanes(__m256d x) {
  const __m256d quadrant =
      _mm256_round_pd(_mm256_mul_pd(x, splat(kTwoOverPi)), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  // r = x − quadrant·pi/2, |r| <= pi/4 plus rounding; the fused steps are
  // exact or lose less than an ulp of r.
  __m256d r = _mm256_fnmadd_pd(quadrant, splat(kHalfPi1), x);
  r = _mm256_fnmadd_pd(quadrant, splat(kHalfPi2), r);
  r = _mm256_fnmadd_pd(quadrant, splat(kHalfPi3), r);
  const __m256d z = _mm256_mul_pd(r, r);

  __m256d sinPoly = _mm256_fmadd_pd(z, splat(kS6), splat(kS5));
  sinPoly = _mm256_fmadd_pd(z, sinPoly, splat(kS4));
  sinPoly = _mm256_fmadd_pd(z, sinPoly, splat(kS3));
  sinPoly = _mm256_fmadd_pd(z, sinPoly, splat(kS2));
  sinPoly = _mm256_fmadd_pd(z, sinPoly, splat(kS1));
  const __m256d sine = _mm256_fmadd_pd(_mm256_mul_pd(z, r), sinPoly, r);

  __m256d cosPoly = _mm256_fmadd_pd(z, splat(kC6), splat(kC5));
  cosPoly = _mm256_fmadd_pd(z, cosPoly, splat(kC4));
  cosPoly = _mm256_fmadd_pd(z, cosPoly, splat(kC3));
  cosPoly = _mm256_fmadd_pd(z, cosPoly, splat(kC2));
  cosPoly = _mm256_fmadd_pd(z, cosPoly, splat(kC1));
  // 1 − (z/2 − z²·poly)
  const __m256d cosine =
      _mm256_sub_pd(splat(1.0), _mm256_fmsub_pd(splat(0.5), z, _mm256_mul_pd(_mm256_mul_pd(z, z), cosPoly)));

  // Quadrant q: sin r, cos r, −sin r, −cos r.
  const __m256i q = _mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(quadrant));
  const __m256i one = _mm256_set1_epi64x(1);
  const __m256d useCosine = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(q, one), one));
  const __m256d negate =
      _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_and_si256(q, _mm256_set1_epi64x(2)), 62));
  return _mm256_xor_pd(_mm256_blendv_pd(sine, cosine, useCosine), negate);
}

// fract(s · 43758.5453) rounded to float, each step the same IEEE operation
// as jitterFromArgument's. The empty asm keeps the product rounded on its
// own, so it cannot be fused into the subtraction.
TARVO_AVX2 void fractionLanes(__m256d sine, __m128& fraction, __m256d& whole) {
  __m256d scaled = _mm256_mul_pd(sine, splat(kJitterScale));
  __asm__("" : "+x"(scaled));
  whole = _mm256_floor_pd(scaled);
  fraction = _mm256_cvtpd_ps(_mm256_sub_pd(scaled, whole));
}

TARVO_AVX2 void jitterVectorised(const float* arguments, float* results, int count) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128 input = _mm_loadu_ps(arguments + i);
    const __m256d x = _mm256_cvtps_pd(input);
    const __m256d sine = fastSineLanes(x);
    __m128 fractionLow, fractionHigh;
    __m256d wholeLow, wholeHigh;
    fractionLanes(_mm256_sub_pd(sine, splat(kSineMargin)), fractionLow, wholeLow);
    fractionLanes(_mm256_add_pd(sine, splat(kSineMargin)), fractionHigh, wholeHigh);
    const __m256d inRange =
        _mm256_cmp_pd(_mm256_andnot_pd(splat(-0.0), x), splat(kFastSineLimit), _CMP_LE_OQ);
    const __m256d sameWhole = _mm256_and_pd(_mm256_cmp_pd(wholeLow, wholeHigh, _CMP_EQ_OQ), inRange);
    const __m128 sameFraction = _mm_cmpeq_ps(fractionLow, fractionHigh);
    const int decided = _mm256_movemask_pd(sameWhole) & _mm_movemask_ps(sameFraction);
    _mm_storeu_ps(results + i, _mm_mul_ps(fractionLow, _mm_set1_ps(1.75f)));
    if (decided != 0xF) undecided(input, decided, results + i, [](float a) { return jitterFromArgument(a); });
  }
  jitterExact(arguments, results, i, count);
}

// log2 x for positive finite x: x = m·2^e with m in [sqrt(1/2), sqrt(2)),
// ln m = 2·atanh((m − 1)/(m + 1)) as an odd series in u = (m − 1)/(m + 1),
// |u| < 0.1716, whose terms past u^23 are below 2^-58.
TARVO_AVX2 __m256d fastLog2Lanes(__m256d x) {
  const __m256i bits = _mm256_castpd_si256(x);
  const __m256i mantissaMask = _mm256_set1_epi64x(0x000FFFFFFFFFFFFFLL);
  const __m256i exponentOfOne = _mm256_set1_epi64x(0x3FF0000000000000LL);
  __m256d m = _mm256_castsi256_pd(_mm256_or_si256(_mm256_and_si256(bits, mantissaMask), exponentOfOne));
  // Biased exponent to double through the 2^52 trick (exact for 0..2047).
  const __m256i biased = _mm256_srli_epi64(bits, 52);
  const __m256d magic = splat(4503599627370496.0);  // 2^52
  __m256d e = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(biased, _mm256_castpd_si256(magic))), magic);
  e = _mm256_sub_pd(e, splat(1023.0));
  const __m256d high = _mm256_cmp_pd(m, splat(2.0 * kSqrtHalf), _CMP_GE_OQ);
  m = _mm256_blendv_pd(m, _mm256_mul_pd(m, splat(0.5)), high);
  e = _mm256_add_pd(e, _mm256_and_pd(high, splat(1.0)));

  const __m256d u = _mm256_div_pd(_mm256_sub_pd(m, splat(1.0)), _mm256_add_pd(m, splat(1.0)));
  const __m256d w = _mm256_mul_pd(u, u);
  // P(w) = 1/3 + w/5 + ... + w^10/23.
  __m256d p = splat(1.0 / 23.0);
  for (int k = 21; k >= 3; k -= 2) p = _mm256_fmadd_pd(w, p, splat(1.0 / k));
  // ln m = 2u + 2u·w·P(w)
  const __m256d twoU = _mm256_add_pd(u, u);
  const __m256d lnM = _mm256_fmadd_pd(_mm256_mul_pd(twoU, w), p, twoU);
  return _mm256_fmadd_pd(lnM, splat(kInverseLn2), e);
}

// 2^y for |y| <= 1000: 2^k · e^(f·ln 2) with k = round(y), |f| <= 1/2, the
// exponential as its Taylor series to the 13th power (remainder < 2^-57).
TARVO_AVX2 __m256d fastExp2Lanes(__m256d y) {
  const __m256d k = _mm256_round_pd(y, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  const __m256d g = _mm256_mul_pd(_mm256_sub_pd(y, k), splat(kLn2));
  static constexpr double kInverseFactorial[14] = {1.0,
                                                   1.0,
                                                   1.0 / 2,
                                                   1.0 / 6,
                                                   1.0 / 24,
                                                   1.0 / 120,
                                                   1.0 / 720,
                                                   1.0 / 5040,
                                                   1.0 / 40320,
                                                   1.0 / 362880,
                                                   1.0 / 3628800,
                                                   1.0 / 39916800,
                                                   1.0 / 479001600,
                                                   1.0 / 6227020800.0};
  __m256d p = splat(kInverseFactorial[13]);
  for (int n = 12; n >= 0; --n) p = _mm256_fmadd_pd(g, p, splat(kInverseFactorial[n]));
  // 2^k from the exponent bits (k + 1023 is within the normal range).
  const __m256d magic = splat(4503599627370496.0);  // 2^52
  const __m256i biased = _mm256_castpd_si256(_mm256_add_pd(_mm256_add_pd(k, splat(1023.0)), magic));
  const __m256i scaleBits = _mm256_slli_epi64(_mm256_and_si256(biased, _mm256_set1_epi64x(0x7FF)), 52);
  return _mm256_mul_pd(p, _mm256_castsi256_pd(scaleBits));
}

TARVO_AVX2 void powerVectorised(const float* bases, double power, float* results, int count) {
  const __m256d exponent = splat(power);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128 input = _mm_loadu_ps(bases + i);
    const __m256d x = _mm256_cvtps_pd(input);
    // Positive and finite only; zero, negatives, infinities and NaN go to
    // the library, as does a power too large for the exponential.
    const __m256d usable = _mm256_and_pd(_mm256_cmp_pd(x, splat(0.0), _CMP_GT_OQ),
                                         _mm256_cmp_pd(x, splat(INFINITY), _CMP_LT_OQ));
    const __m256d safeX = _mm256_blendv_pd(splat(1.0), x, usable);
    const __m256d y = _mm256_mul_pd(exponent, fastLog2Lanes(safeX));
    const __m256d inRange =
        _mm256_cmp_pd(_mm256_andnot_pd(splat(-0.0), y), splat(kFastPowerExponentLimit), _CMP_LE_OQ);
    const __m256d safeY = _mm256_blendv_pd(splat(0.0), y, inRange);
    const __m256d value = fastExp2Lanes(safeY);
    const __m128 low = _mm256_cvtpd_ps(_mm256_mul_pd(value, splat(1.0 - kPowerMargin)));
    const __m128 high = _mm256_cvtpd_ps(_mm256_mul_pd(value, splat(1.0 + kPowerMargin)));
    const int decided =
        _mm256_movemask_pd(_mm256_and_pd(usable, inRange)) & _mm_movemask_ps(_mm_cmpeq_ps(low, high));
    _mm_storeu_ps(results + i, low);
    if (decided != 0xF)
      undecided(input, decided, results + i, [power](float b) { return powerExact(b, power); });
  }
  powerExactRange(bases, power, results, i, count);
}

TARVO_AVX2 void fastSine4Vectorised(const double* x, double* sine) {
  _mm256_storeu_pd(sine, fastSineLanes(_mm256_loadu_pd(x)));
}

TARVO_AVX2 void fastPower4Vectorised(const double* x, double y, double* power) {
  _mm256_storeu_pd(power, fastExp2Lanes(_mm256_mul_pd(splat(y), fastLog2Lanes(_mm256_loadu_pd(x)))));
}

bool detectVectorised() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
}  // namespace

bool batchMathVectorised() {
  static const bool vectorised = detectVectorised();
  return vectorised;
}

void fastSine4(const double* x, double* sine) { fastSine4Vectorised(x, sine); }
void fastPower4(const double* x, double y, double* power) { fastPower4Vectorised(x, y, power); }

void jitterBatch(const float* arguments, float* results, int count) {
  if (batchMathVectorised()) {
    jitterVectorised(arguments, results, count);
  } else {
    jitterExact(arguments, results, 0, count);
  }
}

void powerBatch(const float* bases, double power, float* results, int count) {
  if (batchMathVectorised()) {
    powerVectorised(bases, power, results, count);
  } else {
    powerExactRange(bases, power, results, 0, count);
  }
}
#else
bool batchMathVectorised() { return false; }
void fastSine4(const double*, double*) {}
void fastPower4(const double*, double, double*) {}
void jitterBatch(const float* arguments, float* results, int count) {
  jitterExact(arguments, results, 0, count);
}
void powerBatch(const float* bases, double power, float* results, int count) {
  powerExactRange(bases, power, results, 0, count);
}
#endif
