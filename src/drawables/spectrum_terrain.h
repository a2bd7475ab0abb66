// The spectrum landscape on the CPU: 256 rows of 256 points, each row the
// spectrum at one moment around the music time, bent by a sync value from a
// flat terrain into half a tunnel; a normal per point; and the analysis of
// the present row for bands that are changing. Plain lists only: the mesh
// and its upload are SpectrumGrid's, the drawing is the scene's.
#pragma once

#include <cstdint>
#include <vector>

#include "base/vector_math.h"
#include "drawables/spectrum_sampling.h"

class SpectrumTerrain {
 public:
  static constexpr int kColumns = 256;
  static constexpr int kRows = 256;
  static constexpr int kInitialColumns = 128;
  // The row sampled at the music time; rows before it look ahead.
  static constexpr int kPresentRow = 192;
  static constexpr float kLookAhead = 0.75f;
  static constexpr float kTunnelRadius = 247.46153f;
  // Columns from here on repeat the height of kRepeatedBand.
  static constexpr int kFirstRepeatedColumn = 254;
  static constexpr int kRepeatedBand = 123;
  static constexpr float kPeakThreshold = 0.0001f;

  SpectrumTerrain();

  // Regenerates points, normals and the peak lists from the music time and
  // the sync values `heightScale` (entry 7), `heightPower` (entry 8) and
  // `bend` (entry 9). After the first call it allocates nothing.
  void update(float time, float heightScale, float heightPower, float bend, const SpectrumView& view);

  // The set-up content of `points` (no normals, no peaks); the first update
  // replaces it.
  void fill(float time, const SpectrumView& view);

  int32_t columns = kInitialColumns;
  int32_t rows = kRows;
  std::vector<vec4> points;   // point (n, j) at n * columns + j; w = j
  std::vector<vec3> normals;  // one per point, not normalised
  std::vector<int32_t> peakColumns;
  std::vector<float> peakStrengths;

 private:
  // What depends on the column alone, computed once.
  struct ColumnTerms {
    float band;  // j × 0.5
    float x;     // j × 4
    float sine;  // of the bend angle
    float cosine;
    float k;         // 1 / sqrt(cos² + sin²)
    float jitterA;   // band × kJitterScaleA
    float jitterAx;  // (band + 32) × kJitterScaleA
  };

  struct RowJob {
    SpectrumTerrain* terrain;
    const SpectrumView* view;
    float time;
    float heightScale;
    float heightPower;
    float bend;
  };

  static void computeRows(void* job, int begin, int end);
  void computeRow(const RowJob& job, int n);
  void analysePeaks(const SpectrumView& view, float t);

  ColumnTerms columnTerms_[kColumns];
};

// Time of row n: (T − n / rows) + 0.75 in single precision.
float terrainRowTime(float time, int row, int rows);
