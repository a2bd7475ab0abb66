// Counts heap allocations made while one steady frame's CPU preparation runs
// (terrain update, grid face rebuild, a preview's reduced grid, quad
// positions). Replaces the global
// allocation functions of this test program with counting ones.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "drawables/grid_detail.h"
#include "drawables/quads.h"
#include "drawables/spectrum_grid.h"
#include "drawables/spectrum_terrain.h"
#include "drawables_reference.h"

namespace {
std::atomic<long> allocationCount{0};

void* countedAllocation(std::size_t size) {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return countedAllocation(size); }
void* operator new[](std::size_t size) { return countedAllocation(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

TEST(FrameAllocations, SteadyFrameAllocatesNothing) {
  const reference::SyntheticSpectrum music = reference::makeSyntheticSpectrum(60.0f);
  SpectrumTerrain terrain;
  SpectrumGrid grid;
  grid.createMesh();
  Quads quadBinary;
  quadBinary.createLayout("quadBinary", 65536);

  // A preview's grid, coarse where the terrain is small on screen: blocks
  // far along z small, near ones large, measured in a 640x360 pass.
  std::vector<uint8_t> coarse;
  std::vector<float> scratch;
  std::vector<grid_detail::Corner> corners;
  mat4 view = identityMat4();
  view.at(0, 0) = 0.01f;
  view.at(3, 0) = -5.1f;   // x about the middle column
  view.at(1, 1) = 0.01f;
  view.at(2, 3) = 0.001f;  // w grows with z
  view.at(3, 3) = 2.0f;
  const std::vector<mat4> transforms = {view};

  auto frame = [&](float time) {
    terrain.update(time, 120.0f, 0.8f, 0.5f, music.view);
    grid.updateMesh(terrain.points.data(), terrain.points.size(), 256, 256);
    grid_detail::markCoarseBlocks(terrain.points.data(), transforms, 640.0f, 360.0f, 12.0f, coarse, scratch);
    grid_detail::reducedTriangles(coarse, corners);
    grid.updateReducedMesh(terrain.points.data(), terrain.points.size(), 256, 256, corners);
    quadBinary.writePositions(terrain.points.data(), terrain.points.size());
  };

  const long beforeFirst = allocationCount.load();
  frame(10.0f);
  // The first frame sizes the lists (and starts the helper thread); the
  // counter itself must see it, or the test could not fail.
  EXPECT_GT(allocationCount.load(), beforeFirst);

  for (float time : {10.1f, 20.0f, 31.7f, 59.9f}) {
    const long before = allocationCount.load();
    frame(time);
    EXPECT_EQ(allocationCount.load() - before, 0) << "time " << time;
    EXPECT_EQ(terrain.points.size(), 65536u);
  }
  // Both kinds of block were drawn.
  EXPECT_GT(grid.reducedTriangleCount(), 2 * 127 * 127);
  EXPECT_LT(grid.reducedTriangleCount(), 130050);
}
