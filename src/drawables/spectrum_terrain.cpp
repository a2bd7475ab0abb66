#include "drawables/spectrum_terrain.h"

#include <algorithm>
#include <cmath>

#include "base/work_splitter.h"
#include "drawables/batch_math.h"

namespace {
constexpr double kPi = 3.141592;                 // the bend's own value of pi
constexpr float kBendPerUnitX = 0.00048828125f;  // 1/2048: 1024 units of x make half a turn
constexpr float kBandsPerColumn = 0.5f;
constexpr float kUnitsPerColumn = 4.0f;
constexpr float kUnitsPerRow = 12.0f;
constexpr float kJitterBandOffsetX = 32.0f;
// The jitter's time offsets are double constants added to the float time and
// rounded back to float, like the peak analysis's look-back offsets.
constexpr double kJitterTimeOffsetX = 3.23;
constexpr double kJitterTimeOffsetZ = 10.0;
constexpr double kPeakLookBack[3] = {0.033, 0.066, 0.099};
constexpr float kPeakWeights[3] = {0.75f, 0.5f, 0.25f};
constexpr float kFillHeight = 250.0f;
constexpr double kFillPower = 0.25;
constexpr float kFillUnitsPerRow = 8.0f;

float offsetTime(float t, double offset) { return static_cast<float>(static_cast<double>(t) + offset); }
}  // namespace

float terrainRowTime(float time, int row, int rows) {
  return (time - static_cast<float>(row) / static_cast<float>(rows)) + SpectrumTerrain::kLookAhead;
}

SpectrumTerrain::SpectrumTerrain() {
  for (int j = 0; j < kColumns; ++j) {
    ColumnTerms& terms = columnTerms_[j];
    terms.band = static_cast<float>(j) * kBandsPerColumn;
    terms.x = static_cast<float>(j) * kUnitsPerColumn;
    const float angle = static_cast<float>(-2.0 * kPi * (static_cast<double>(terms.x * kBendPerUnitX) + 0.5));
    terms.sine = static_cast<float>(std::sin(static_cast<double>(angle)));
    terms.cosine = static_cast<float>(std::cos(static_cast<double>(angle)));
    terms.k = static_cast<float>(
        1.0 / std::sqrt(static_cast<double>(terms.cosine * terms.cosine + terms.sine * terms.sine)));
    terms.jitterA = terms.band * kJitterScaleA;
    terms.jitterAx = (terms.band + kJitterBandOffsetX) * kJitterScaleA;
  }
}

void SpectrumTerrain::update(float time, float heightScale, float heightPower, float bend,
                             const SpectrumView& view) {
  columns = kColumns;
  const int rowCount = std::max(rows, 0);
  // Every entry is rewritten below, so resizing (which keeps the capacity)
  // stands for clearing and appending.
  points.resize(static_cast<size_t>(rowCount) * columns);
  normals.resize(points.size());
  peakColumns.clear();
  peakStrengths.clear();
  const size_t maxPeaks = static_cast<size_t>(std::max(2 * view.bandCount - 5, 0));
  if (peakColumns.capacity() < maxPeaks) {
    peakColumns.reserve(maxPeaks);
    peakStrengths.reserve(maxPeaks);
  }

  // The peak lists do not depend on the points, so the present row's
  // analysis runs first and the rows can then be computed in any order.
  if (rowCount > kPresentRow) analysePeaks(view, terrainRowTime(time, kPresentRow, rowCount));

  RowJob job{this, &view, time, heightScale, heightPower, bend};
  WorkSplitter::shared().run(rowCount, &SpectrumTerrain::computeRows, &job);
}

void SpectrumTerrain::computeRows(void* context, int begin, int end) {
  const RowJob& job = *static_cast<const RowJob*>(context);
  for (int n = begin; n < end; ++n) job.terrain->computeRow(job, n);
}

void SpectrumTerrain::computeRow(const RowJob& job, int n) {
  const float t = terrainRowTime(job.time, n, rows);
  const SpectrumMoment moment = spectrumMomentAt(*job.view, t);
  const float zf = (static_cast<float>(n) - static_cast<float>(rows) * 0.5f) * kUnitsPerRow;
  const float timeArgumentX = offsetTime(t, kJitterTimeOffsetX) * kJitterScaleB;
  const float timeArgumentY = t * kJitterScaleB;
  const float timeArgumentZ = offsetTime(t, kJitterTimeOffsetZ) * kJitterScaleB;
  const float repeatedBand = static_cast<float>(std::min(job.view->bandCount - 1, kRepeatedBand));
  const double power = static_cast<double>(job.heightPower);
  const float G = job.heightScale;
  const float B = job.bend;

  // The row's heights and its 3 × 256 jitters in batches, then the points.
  float powered[kColumns];
  for (int j = 0; j < kColumns; ++j)
    powered[j] = sampleMoment(moment, j >= kFirstRepeatedColumn ? repeatedBand : columnTerms_[j].band);
  powerBatch(powered, power, powered, kColumns);

  float jitterArguments[3 * kColumns];
  float jitters[3 * kColumns];
  for (int j = 0; j < kColumns; ++j) {
    jitterArguments[j] = columnTerms_[j].jitterAx + timeArgumentX;
    jitterArguments[kColumns + j] = columnTerms_[j].jitterA + timeArgumentY;
    jitterArguments[2 * kColumns + j] = columnTerms_[j].jitterA + timeArgumentZ;
  }
  jitterBatch(jitterArguments, jitters, 3 * kColumns);

  vec4* rowPoints = points.data() + static_cast<size_t>(n) * kColumns;
  vec3* rowNormals = normals.data() + static_cast<size_t>(n) * kColumns;
  for (int j = 0; j < kColumns; ++j) {
    const ColumnTerms& terms = columnTerms_[j];
    const float h = G * powered[j];
    const float jx = jitters[j];
    const float jy = jitters[kColumns + j];
    const float jz = jitters[2 * kColumns + j];

    const float s = terms.sine;
    const float c = terms.cosine;
    const float k = terms.k;
    const float xt = s * kTunnelRadius - h * k * s;
    const float yt = c * kTunnelRadius - h * k * c;

    rowPoints[j] =
        vec4{terms.x + B * (xt - terms.x) + jx, h + B * (yt - h) + jy, zf + jz, static_cast<float>(j)};
    rowNormals[j] = vec3{B * (-k * s), 1.0f + B * (-k * c - 1.0f), 0.0f};
  }
}

void SpectrumTerrain::analysePeaks(const SpectrumView& view, float t) {
  SpectrumMoment moments[4];
  moments[0] = spectrumMomentAt(view, t);
  for (int i = 0; i < 3; ++i) moments[i + 1] = spectrumMomentAt(view, offsetTime(t, -kPeakLookBack[i]));

  for (int k = 1; k < 2 * view.bandCount - 4; ++k) {
    const float band = static_cast<float>(k) * kBandsPerColumn;
    float c[4];
    for (int i = 0; i < 4; ++i) c[i] = sampleMoment(moments[i], band);
    const float highest = std::max(std::max(c[0], c[1]), std::max(c[2], c[3]));
    const float lowest = std::min(std::min(c[0], c[1]), std::min(c[2], c[3]));
    if (!(highest - lowest > kPeakThreshold)) continue;

    // Older samples count less, so a rise now weighs more than an old fall.
    float w[4] = {c[0], kPeakWeights[0] * c[1], kPeakWeights[1] * c[2], kPeakWeights[2] * c[3]};
    const float weightedHigh = std::max(std::max(w[0], w[1]), std::max(w[2], w[3]));
    const float weightedLow = std::min(std::min(w[0], w[1]), std::min(w[2], w[3]));
    peakColumns.push_back(k);
    peakStrengths.push_back(weightedHigh - weightedLow);
  }
}

void SpectrumTerrain::fill(float time, const SpectrumView& view) {
  columns = kColumns;
  const int rowCount = std::max(rows, 0);
  points.clear();
  points.reserve(static_cast<size_t>(rowCount) * columns);
  for (int i = 0; i < rowCount; ++i) {
    const float t = terrainRowTime(time, i, rowCount);
    for (int j = 0; j < columns; ++j) {
      const float b = static_cast<float>(j) * kBandsPerColumn;
      const float y = kFillHeight * static_cast<float>(std::pow(
                                        static_cast<double>(sampleSpectrum(view, t, b)), kFillPower));
      const float x = (static_cast<float>(j) - static_cast<float>(columns) * 0.5f) * kUnitsPerColumn;
      const float z = (static_cast<float>(i) - static_cast<float>(rowCount) * 0.5f) * kFillUnitsPerRow -
                      2.0f * (t * 2048.0f / 30.0f);
      points.push_back(vec4{x + jitterHash(b + kJitterBandOffsetX, offsetTime(t, kJitterTimeOffsetX)),
                            y + jitterHash(b, t), z + jitterHash(b, offsetTime(t, kJitterTimeOffsetZ)),
                            static_cast<float>(j)});
    }
  }
}
