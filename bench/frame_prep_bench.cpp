// One frame's CPU preparation of the spectrum scene: terrain update, grid
// face rebuild and the quad batch's positions, on a synthetic three-minute
// spectrum, at music times spread over the show. The straightforward
// single-threaded version is timed beside it for comparison.
#include <benchmark/benchmark.h>

#include <vector>

#include "../tests/drawables/drawables_reference.h"
#include "drawables/quads.h"
#include "drawables/spectrum_grid.h"
#include "drawables/spectrum_terrain.h"

namespace {
constexpr float kMusicSeconds = 180.0f;
constexpr float kTimeStep = 0.731f;  // not a multiple of a frame: varied moments

const reference::SyntheticSpectrum& music() {
  static const reference::SyntheticSpectrum spectrum = reference::makeSyntheticSpectrum(kMusicSeconds);
  return spectrum;
}

float nextTime(float& time) {
  time += kTimeStep;
  if (time > kMusicSeconds) time -= kMusicSeconds;
  return time;
}

void BM_FramePreparation(benchmark::State& state) {
  SpectrumTerrain terrain;
  SpectrumGrid grid;
  grid.createMesh();
  Quads quadBinary;
  quadBinary.createLayout("quadBinary", 65536);
  float time = 3.0f;
  for (auto _ : state) {
    const float t = nextTime(time);
    terrain.update(t, 120.0f, 0.8f, 0.5f, music().view);
    grid.updateMesh(terrain.points.data(), terrain.points.size(), 256, 256);
    quadBinary.writePositions(terrain.points.data(), terrain.points.size());
    benchmark::DoNotOptimize(quadBinary.vertices.data());
  }
}
BENCHMARK(BM_FramePreparation)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TerrainUpdate(benchmark::State& state) {
  SpectrumTerrain terrain;
  float time = 3.0f;
  for (auto _ : state) {
    terrain.update(nextTime(time), 120.0f, 0.8f, 0.5f, music().view);
    benchmark::DoNotOptimize(terrain.points.data());
  }
}
BENCHMARK(BM_TerrainUpdate)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GridUpdate(benchmark::State& state) {
  SpectrumTerrain terrain;
  terrain.update(42.0f, 120.0f, 0.8f, 0.5f, music().view);
  SpectrumGrid grid;
  grid.createMesh();
  for (auto _ : state) {
    grid.updateMesh(terrain.points.data(), terrain.points.size(), 256, 256);
    benchmark::DoNotOptimize(grid.faceVertices.data());
  }
}
BENCHMARK(BM_GridUpdate)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QuadPositions(benchmark::State& state) {
  SpectrumTerrain terrain;
  terrain.update(42.0f, 120.0f, 0.8f, 0.5f, music().view);
  Quads quadBinary;
  quadBinary.createLayout("quadBinary", 65536);
  for (auto _ : state) {
    quadBinary.writePositions(terrain.points.data(), terrain.points.size());
    benchmark::DoNotOptimize(quadBinary.vertices.data());
  }
}
BENCHMARK(BM_QuadPositions)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same frame written out plainly: one thread, per-point bend angle,
// fresh lists and copies every frame.
void BM_FramePreparationStraightforward(benchmark::State& state) {
  SpectrumGrid grid;
  grid.createMesh();
  std::vector<unsigned> indices(grid.indices.begin(), grid.indices.end());
  std::vector<float> quadVertices(24 * 65536, 0.0f);
  float time = 3.0f;
  for (auto _ : state) {
    const float t = nextTime(time);
    const reference::Terrain terrain = reference::terrainUpdate(t, 120.0f, 0.8f, 0.5f, music().view);
    const std::vector<vec4> gridCopy = terrain.points;
    std::vector<float> positions(3 * 65536);
    for (size_t i = 0; i < gridCopy.size(); ++i) {
      positions[3 * i] = gridCopy[i].x;
      positions[3 * i + 1] = gridCopy[i].y;
      positions[3 * i + 2] = gridCopy[i].z;
    }
    reference::rebuildFaces(positions, indices, grid.faceVertices);
    const std::vector<vec4> quadCopy = terrain.points;
    reference::setQuadPositions(quadCopy, 65536, quadVertices);
    benchmark::DoNotOptimize(quadVertices.data());
  }
}
BENCHMARK(BM_FramePreparationStraightforward)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace

BENCHMARK_MAIN();
