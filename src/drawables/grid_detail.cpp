#include "drawables/grid_detail.h"

#include <algorithm>
#include <cmath>

namespace grid_detail {
namespace {
constexpr float kNearestW = 1e-3f;  // clip w of a vertex that counts as in front of the eye

uint32_t vertexAt(int row, int column) { return static_cast<uint32_t>(row * kSide + column); }
Corner single(uint32_t v) { return {v, v}; }

// The two triangles of a cell, as the full mesh winds them.
void appendCell(std::vector<Corner>& out, Corner topLeft, Corner topRight, Corner bottomLeft, Corner bottomRight) {
  out.insert(out.end(), {topLeft, topRight, bottomLeft, bottomRight, bottomLeft, topRight});
}
}  // namespace

void markCoarseBlocks(const vec4* points, const std::vector<mat4>& clipTransforms, float width, float height,
                      float maxPixels, std::vector<uint8_t>& coarse, std::vector<float>& scratch) {
  const size_t blocks = static_cast<size_t>(kBlocksPerSide) * kBlocksPerSide;
  coarse.assign(blocks, 1);
  // Screen x and y of every vertex for one transform; NaN behind the eye.
  scratch.resize(2 * static_cast<size_t>(kSide) * kSide);
  for (const mat4& m : clipTransforms) {
    for (int v = 0; v < kSide * kSide; ++v) {
      const vec4& p = points[v];
      const float x = m.at(0, 0) * p.x + m.at(1, 0) * p.y + m.at(2, 0) * p.z + m.at(3, 0);
      const float y = m.at(0, 1) * p.x + m.at(1, 1) * p.y + m.at(2, 1) * p.z + m.at(3, 1);
      const float w = m.at(0, 3) * p.x + m.at(1, 3) * p.y + m.at(2, 3) * p.z + m.at(3, 3);
      const bool inFront = w > kNearestW;
      scratch[2 * static_cast<size_t>(v)] = inFront ? 0.5f * width * x / w : NAN;
      scratch[2 * static_cast<size_t>(v) + 1] = inFront ? 0.5f * height * y / w : NAN;
    }
    for (int block = 0; block < kBlocksPerSide * kBlocksPerSide; ++block) {
      uint8_t& mark = coarse[static_cast<size_t>(block)];
      if (!mark) continue;
      const int row = 2 * (block / kBlocksPerSide);
      const int column = 2 * (block % kBlocksPerSide);
      float lowX = INFINITY, highX = -INFINITY, lowY = INFINITY, highY = -INFINITY;
      bool behind = false;
      for (int r = row; r <= row + 2; ++r) {
        for (int c = column; c <= column + 2; ++c) {
          const float x = scratch[2 * static_cast<size_t>(vertexAt(r, c))];
          const float y = scratch[2 * static_cast<size_t>(vertexAt(r, c)) + 1];
          behind = behind || std::isnan(x);
          lowX = std::min(lowX, x);
          highX = std::max(highX, x);
          lowY = std::min(lowY, y);
          highY = std::max(highY, y);
        }
      }
      const bool lastBlock = row / 2 == kBlocksPerSide - 1 || column / 2 == kBlocksPerSide - 1;
      if (behind || lastBlock || highX - lowX > maxPixels || highY - lowY > maxPixels) mark = 0;
    }
  }
}

void reducedTriangles(const std::vector<uint8_t>& coarse, std::vector<Corner>& corners) {
  // Room for the full mesh, once, so that no later frame allocates.
  corners.reserve(static_cast<size_t>(kSide - 1) * (kSide - 1) * 6);
  corners.clear();
  auto isCoarse = [&](int blockRow, int blockColumn) {
    if (blockRow < 0 || blockColumn < 0 || blockRow >= kBlocksPerSide || blockColumn >= kBlocksPerSide) return false;
    return coarse[static_cast<size_t>(blockRow * kBlocksPerSide + blockColumn)] != 0;
  };
  for (int R = 0; R < kBlocksPerSide; ++R) {
    for (int C = 0; C < kBlocksPerSide; ++C) {
      const int r0 = 2 * R, r1 = r0 + 1, r2 = r0 + 2;
      const int c0 = 2 * C, c1 = c0 + 1, c2 = c0 + 2;
      const Corner topLeft = single(vertexAt(r0, c0)), topRight = single(vertexAt(r0, c2));
      const Corner bottomLeft = single(vertexAt(r2, c0)), bottomRight = single(vertexAt(r2, c2));
      if (isCoarse(R, C)) {
        appendCell(corners, topLeft, topRight, bottomLeft, bottomRight);
        continue;
      }
      // An edge's middle, or the middle of its ends where a coarse block
      // beside it draws the edge straight.
      const Corner top = isCoarse(R - 1, C) ? Corner{topLeft.a, topRight.a} : single(vertexAt(r0, c1));
      const Corner bottom = isCoarse(R + 1, C) ? Corner{bottomLeft.a, bottomRight.a} : single(vertexAt(r2, c1));
      const Corner left = isCoarse(R, C - 1) ? Corner{topLeft.a, bottomLeft.a} : single(vertexAt(r1, c0));
      const Corner right = isCoarse(R, C + 1) ? Corner{topRight.a, bottomRight.a} : single(vertexAt(r1, c2));
      const Corner centre = single(vertexAt(r1, c1));
      appendCell(corners, topLeft, top, left, centre);
      appendCell(corners, top, topRight, centre, right);
      appendCell(corners, left, centre, bottomLeft, bottom);
      appendCell(corners, centre, right, bottom, bottomRight);
    }
  }
  // The last row and column of cells, beside fine blocks only.
  const int last = kSide - 1;
  for (int c = 0; c + 1 < kSide; ++c) {
    appendCell(corners, single(vertexAt(last - 1, c)), single(vertexAt(last - 1, c + 1)), single(vertexAt(last, c)),
               single(vertexAt(last, c + 1)));
  }
  for (int r = 1; r < last; ++r) {
    appendCell(corners, single(vertexAt(r - 1, last - 1)), single(vertexAt(r - 1, last)), single(vertexAt(r, last - 1)),
               single(vertexAt(r, last)));
  }
}
}  // namespace grid_detail
