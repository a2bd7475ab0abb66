// The terrain's two costly per-point functions, the jitter hash and the
// height power, for many arguments at once, each result equal bit for bit to
// the one-at-a-time computation. On processors with AVX2 and FMA a
// vectorised approximation with a known error bound decides almost every
// result; whatever the bound cannot decide (and everything on other
// processors) goes through the C library exactly as the scalar code does.
#pragma once

// results[i] = jitterFromArgument(arguments[i]). Results may overwrite the
// arguments (the same array for both).
void jitterBatch(const float* arguments, float* results, int count);

// results[i] = (float)pow((double)bases[i], power); in place allowed.
void powerBatch(const float* bases, double power, float* results, int count);

// Whether this processor takes the vectorised paths.
bool batchMathVectorised();

// The vectorised approximations themselves, four at a time (for tests; only
// callable when batchMathVectorised()): sine within kFastSineError for
// |x| <= kFastSineLimit, and x^y with a relative error within
// kFastPowerError for x > 0 and |y · log2 x| <= kFastPowerExponentLimit.
void fastSine4(const double* x, double* sine);
void fastPower4(const double* x, double y, double* power);
constexpr double kFastSineLimit = 262144.0;  // 2^18
constexpr double kFastSineError = 0x1p-50;
constexpr double kFastPowerExponentLimit = 1000.0;
constexpr double kFastPowerError = 0x1p-40;
