// Straightforward, single-threaded versions of the per-frame preparation
// (spectrum sample, terrain, face normals, quad positions), written out step
// by step with nothing hoisted or shared, and a synthetic spectrum with the
// texture of real music. The tests compare the engine's optimised code with
// these bit for bit; the benchmark times both.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/vector_math.h"
#include "drawables/spectrum_sampling.h"

namespace reference {

inline float sample(const SpectrumView& view, float t, float b) {
  if (view.values == nullptr || view.frameCount <= 0 || view.bandCount <= 0) return 0.0f;
  const int nb = view.bandCount;
  float band = b;
  if (band < 0.0f) band = 0.0f;
  if (!(band < static_cast<float>(nb - 1))) band = static_cast<float>(nb - 1);
  const int bi = static_cast<int>(band);
  const float bf = band - static_cast<float>(bi);
  float time = t;
  if (time < 0.0f) time = 0.0f;
  if (time > view.length) time = view.length;
  const float u = static_cast<float>(view.framesPerSecond) * time;
  const int ti = static_cast<int>(u);
  const float tf = u - static_cast<float>(ti);
  const int f0 = std::min(ti, view.frameCount - 1);
  const int f1 = std::min(ti + 1, view.frameCount - 1);
  const int b1 = std::min(bi + 1, nb - 1);
  auto V = [&](int f, int k) { return view.values[f * nb + k]; };
  const float lo = V(f0, bi) + (V(f1, bi) - V(f0, bi)) * tf;
  const float hi = V(f0, b1) + (V(f1, b1) - V(f0, b1)) * tf;
  return lo + (hi - lo) * bf;
}

inline float jitter(float a, float b) {
  const float argument = a * 78.233f + b * 12.9898f;
  const double x = std::sin(static_cast<double>(argument)) * 43758.5453;
  return static_cast<float>(x - std::floor(x)) * 1.75f;
}

struct Terrain {
  std::vector<vec4> points;
  std::vector<vec3> normals;
  std::vector<int> peakColumns;
  std::vector<float> peakStrengths;
};

inline Terrain terrainUpdate(float T, float G, float E, float B, const SpectrumView& view) {
  Terrain out;
  const int rows = 256, columns = 256, nb = view.bandCount;
  for (int n = 0; n < rows; ++n) {
    const float t = (T - static_cast<float>(n) / static_cast<float>(rows)) + 0.75f;
    if (n == 192) {
      for (int k = 1; k < 2 * nb - 4; ++k) {
        const float b = k * 0.5f;
        const float c0 = sample(view, t, b);
        const float c1 = sample(view, static_cast<float>(t - 0.033), b);
        const float c2 = sample(view, static_cast<float>(t - 0.066), b);
        const float c3 = sample(view, static_cast<float>(t - 0.099), b);
        if (std::max({c0, c1, c2, c3}) - std::min({c0, c1, c2, c3}) > 0.0001f) {
          const float w1 = 0.75f * c1, w2 = 0.5f * c2, w3 = 0.25f * c3;
          out.peakColumns.push_back(k);
          out.peakStrengths.push_back(std::max({c0, w1, w2, w3}) - std::min({c0, w1, w2, w3}));
        }
      }
    }
    for (int j = 0; j < columns; ++j) {
      const float b = j * 0.5f;
      const float xf = j * 4.0f;
      const float zf = (n - rows * 0.5f) * 12.0f;
      const float heightBand = j >= 254 ? static_cast<float>(std::min(nb - 1, 123)) : b;
      const float h = G * static_cast<float>(std::pow(static_cast<double>(sample(view, t, heightBand)),
                                                      static_cast<double>(E)));
      const float jx = jitter(b + 32, static_cast<float>(t + 3.23));
      const float jy = jitter(b, t);
      const float jz = jitter(b, static_cast<float>(t + 10.0));
      const float theta = static_cast<float>(-2 * 3.141592 * (xf * 0.00048828125f + 0.5));
      const float s = static_cast<float>(std::sin(static_cast<double>(theta)));
      const float c = static_cast<float>(std::cos(static_cast<double>(theta)));
      const float k = static_cast<float>(1.0 / std::sqrt(static_cast<double>(c * c + s * s)));
      const float R = 247.46153f;
      const float xt = s * R - h * k * s;
      const float yt = c * R - h * k * c;
      out.points.push_back({xf + B * (xt - xf) + jx, h + B * (yt - h) + jy, zf + jz, static_cast<float>(j)});
      out.normals.push_back({B * (-k * s), 1 + B * (-k * c - 1), 0});
    }
  }
  return out;
}

// Per-corner positions then (untouched) texture coordinates then normals.
inline void rebuildFaces(const std::vector<float>& positions, const std::vector<unsigned>& indices,
                         std::vector<float>& faceVertices) {
  const size_t triangles = indices.size() / 3;
  auto normalize = [](vec3 v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0 ? vec3{v.x / length, v.y / length, v.z / length} : vec3{};
  };
  for (size_t t = 0; t < triangles; ++t) {
    vec3 p[3];
    for (int i = 0; i < 3; ++i) {
      const float* source = &positions[3 * indices[3 * t + i]];
      p[i] = {source[0], source[1], source[2]};
      faceVertices[9 * t + 3 * i] = p[i].x;
      faceVertices[9 * t + 3 * i + 1] = p[i].y;
      faceVertices[9 * t + 3 * i + 2] = p[i].z;
    }
    const vec3 e1 = normalize({p[1].x - p[0].x, p[1].y - p[0].y, p[1].z - p[0].z});
    const vec3 e2 = normalize({p[2].x - p[0].x, p[2].y - p[0].y, p[2].z - p[0].z});
    const vec3 n =
        normalize({e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x});
    for (int i = 0; i < 3; ++i) {
      faceVertices[15 * triangles + 9 * t + 3 * i] = n.x;
      faceVertices[15 * triangles + 9 * t + 3 * i + 1] = n.y;
      faceVertices[15 * triangles + 9 * t + 3 * i + 2] = n.z;
    }
  }
}

// Quad positions and the corner texture coordinates, rewritten per point.
inline void setQuadPositions(const std::vector<vec4>& points, int quadCount, std::vector<float>& vertices) {
  static const float corners[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  for (size_t i = 0; i < points.size(); ++i) {
    for (int c = 0; c < 4; ++c) {
      vertices[16 * i + 4 * c] = points[i].x;
      vertices[16 * i + 4 * c + 1] = points[i].y;
      vertices[16 * i + 4 * c + 2] = points[i].z;
      vertices[16 * i + 4 * c + 3] = points[i].w;
      vertices[16 * static_cast<size_t>(quadCount) + 8 * i + 2 * c] = corners[c][0];
      vertices[16 * static_cast<size_t>(quadCount) + 8 * i + 2 * c + 1] = corners[c][1];
    }
  }
}

// A 128-band, 30-frames-per-second table shaped like music: silence at the
// start, a kick on every half second in the low bands, hats on the off-beats
// in the high bands, a melody line wandering across the middle bands, a
// sustained bed of noise, and a quiet break in the middle. Deterministic.
struct SyntheticSpectrum {
  std::vector<float> values;
  SpectrumView view;
};

inline SyntheticSpectrum makeSyntheticSpectrum(float seconds) {
  SyntheticSpectrum spectrum;
  const int bands = 128, fps = 30;
  const int frames = static_cast<int>(seconds * 30.0f);
  spectrum.values.assign(static_cast<size_t>(frames) * bands, 0.0f);
  for (int f = 0; f < frames; ++f) {
    const double time = f / 30.0;
    if (time < 2.0) continue;  // silence
    const bool inBreak = time > seconds * 0.45 && time < seconds * 0.5;
    const double beat = std::fmod(time, 0.5);
    const double kick = std::exp(-beat * 14.0);
    const double hat = std::exp(-std::fmod(time + 0.25, 0.5) * 40.0);
    const double melodyBand = 40.0 + 25.0 * std::sin(time * 0.9) + 10.0 * std::sin(time * 3.1);
    for (int b = 1; b < bands; ++b) {
      const double hash = std::sin(b * 12.9898 + f * 78.233) * 43758.5453;
      const double noise = hash - std::floor(hash);
      double v = 0.6 / (1.0 + b / 6.0) * (0.6 + 0.4 * noise);
      if (!inBreak) {
        v += 2.5 * kick * std::exp(-b / 5.0);
        v += 0.4 * hat * (b > 90 ? 1.0 : 0.0) * (0.5 + noise);
        const double distance = (b - melodyBand) / 3.0;
        v += 1.2 * std::exp(-distance * distance) * (0.7 + 0.3 * std::sin(time * 8.0));
      } else {
        v *= 0.2;
      }
      spectrum.values[static_cast<size_t>(f) * bands + b] = static_cast<float>(v);
    }
  }
  spectrum.view = SpectrumView{spectrum.values.data(), frames, bands, fps, seconds};
  return spectrum;
}

}  // namespace reference
