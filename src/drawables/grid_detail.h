// A coarser grid where the terrain is small on screen: which 2 x 2 blocks of
// grid cells a pass may draw as two triangles instead of eight (from the
// size their vertices span on screen), and the triangles of the grid that
// results, without cracks where a coarse block meets a fine one. Pure
// maths, no GL; SpectrumGrid turns the triangles into its drawn mesh.
#pragma once

#include <cstdint>
#include <vector>

#include "base/vector_math.h"

namespace grid_detail {
constexpr int kSide = 256;  // vertices per row and column
// Blocks of 2 x 2 cells cover rows and columns 0 to 254; the last row and
// column of cells are always drawn fine.
constexpr int kBlocksPerSide = (kSide - 1) / 2;

// One corner of a triangle: the midpoint of shared vertices a and b (a == b
// for a vertex itself). A fine block's edge next to a coarse block takes the
// midpoint of the edge's ends instead of its own middle vertex, so the two
// meet without a crack.
struct Corner {
  uint32_t a;
  uint32_t b;
};

// Marks (1) the blocks whose nine vertices, placed and projected by each of
// the clip-space transforms, lie in front of the eye and span at most
// `maxPixels` in x and in y of a pass `width` x `height` pixels. Blocks on
// the last row or column of blocks stay fine (0). `points` are the
// kSide x kSide terrain points (w unused).
void markCoarseBlocks(const vec4* points, const std::vector<mat4>& clipTransforms, float width, float height,
                      float maxPixels, std::vector<uint8_t>& coarse, std::vector<float>& scratch);

// The grid's triangles for the marks (kBlocksPerSide² entries, row-major),
// three corners each, wound as the full mesh's cells are.
void reducedTriangles(const std::vector<uint8_t>& coarse, std::vector<Corner>& corners);
}  // namespace grid_detail
