// The terrain's flat-shaded triangle mesh: 256 × 256 shared vertices, two
// triangles per cell, and the per-corner copy with one normal per triangle
// that is uploaded and drawn; or, for a small preview, the reduced mesh of
// grid_detail (coarse where the terrain is small on screen). The CPU half
// (createMesh, updateMesh, updateReducedMesh, rebuildFaces) needs no GL
// context; create, updateGrid, updateReduced and draw add the buffers.
// Computing the terrain itself is SpectrumTerrain's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/vector_math.h"
#include "drawables/grid_detail.h"
#include "gpu/gl_handle.h"

// Whether any grid has completed its first upload ("init" is printed once).
extern bool spectrumGridUploaded;

class SpectrumGrid {
 public:
  static constexpr int kSide = 256;
  static constexpr int32_t kVertexCount = kSide * kSide;
  static constexpr int32_t kTriangleCount = (kSide - 1) * (kSide - 1) * 2;

  // Builds the arrays (the unit square in the xy plane) and the GL buffers.
  void create();
  // Copies x, y, z of rows × columns points into the shared vertices,
  // rebuilds the faces and uploads them. Too few points, or more than the
  // grid holds, are refused with a log line and the mesh is left as it was.
  void updateGrid(const std::vector<vec4>& points, int rows, int columns);
  void updateGrid(const vec4* points, size_t count, int rows, int columns);
  // Draws every triangle with the current program ("pos", "tc", "normal"):
  // the full mesh, or the reduced one after updateReduced.
  void draw();
  // As updateGrid, for the triangles of grid_detail::reducedTriangles
  // instead of the full mesh (its corners' texture coordinates are those of
  // the grid vertices they lie between); draw draws them until the next
  // updateGrid.
  void updateReduced(const vec4* points, size_t count, int rows, int columns,
                     const std::vector<grid_detail::Corner>& corners);
  int32_t reducedTriangleCount() const { return reducedTriangles_; }

  // The CPU half of create and updateGrid.
  void createMesh();
  bool updateMesh(const vec4* points, size_t count, int rows, int columns);
  // The reduced mesh's per-corner arrays, laid out as faceVertices, for
  // corners made by grid_detail::reducedTriangles.
  bool updateReducedMesh(const vec4* points, size_t count, int rows, int columns,
                         const std::vector<grid_detail::Corner>& corners);
  // Per-corner positions and one normal per triangle from the shared positions.
  void rebuildFaces();

  // Float offsets of the planar sections.
  size_t sharedTexCoordOffset() const { return 3 * static_cast<size_t>(vertexCount); }
  size_t sharedNormalOffset() const { return 5 * static_cast<size_t>(vertexCount); }
  size_t faceTexCoordOffset() const { return 9 * static_cast<size_t>(triangleCount); }
  size_t faceNormalOffset() const { return 15 * static_cast<size_t>(triangleCount); }

  BufferHandle faceVertexBuffer;
  BufferHandle faceIndexBuffer;
  int32_t triangleCount = 0;
  int32_t vertexCount = 0;
  std::vector<float> vertices;      // positions, texture coordinates, normals
  std::vector<float> faceVertices;  // per corner: positions, texture coordinates, normals
  std::vector<uint32_t> indices;    // shared-vertex indices, 3 per triangle
  std::vector<uint32_t> faceIndices;

 private:
  static void rebuildRange(void* grid, int begin, int end);
  static void rebuildReducedRange(void* grid, int begin, int end);
  bool copyPositions(const vec4* points, size_t count, int rows, int columns);
  void uploadFaces(GLuint buffer, const std::vector<float>& faces);

  const grid_detail::Corner* reducedCorners_ = nullptr;  // during updateReducedMesh
  std::vector<float> reducedFaces_;
  int32_t reducedTriangles_ = 0;
  BufferHandle reducedBuffer_;
  bool drawReduced_ = false;
};
