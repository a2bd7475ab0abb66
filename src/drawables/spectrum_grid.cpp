#include "drawables/spectrum_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#ifdef __SSE2__
#include <immintrin.h>
#endif

#include "base/log.h"
#include "base/work_splitter.h"
#include "gpu/buffers.h"
#include "gpu/uniforms.h"

bool spectrumGridUploaded = false;

namespace {
vec3 subtract(const float* a, const float* b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

constexpr size_t kFloatsPerFace = 24;
constexpr size_t kFaceBytes = kFloatsPerFace * sizeof(float);
}  // namespace

void SpectrumGrid::createMesh() {
  triangleCount = kTriangleCount;
  vertexCount = kVertexCount;
  vertices.assign(8 * static_cast<size_t>(vertexCount), 0.0f);
  indices.clear();
  indices.reserve(3 * static_cast<size_t>(triangleCount));

  float* positions = vertices.data();
  float* texCoords = positions + sharedTexCoordOffset();
  float* normals = positions + sharedNormalOffset();
  for (int a = 0; a < kSide; ++a) {
    for (int j = 0; j < kSide; ++j) {
      const size_t v = static_cast<size_t>(a) * kSide + j;
      const float x = static_cast<float>(a) / 255.0f * 2.0f - 1.0f;
      const float y = static_cast<float>(j) / 255.0f * 2.0f - 1.0f;
      positions[3 * v] = x;
      positions[3 * v + 1] = y;
      positions[3 * v + 2] = 0.0f;
      texCoords[2 * v] = (x + 1.0f) * 0.5f;
      texCoords[2 * v + 1] = (y + 1.0f) * 0.5f;
      normals[3 * v + 2] = 1.0f;
    }
  }

  // Cell between rows r - 1 and r, columns c and c + 1.
  for (uint32_t r = 1; r < kSide; ++r) {
    for (uint32_t c = 0; c + 1 < kSide; ++c) {
      const uint32_t p = r * kSide + c;
      indices.insert(indices.end(), {p - kSide, p - kSide + 1, p, p + 1, p, p - kSide + 1});
    }
  }

  faceVertices.assign(kFloatsPerFace * triangleCount, 0.0f);
  faceIndices.resize(3 * static_cast<size_t>(triangleCount));
  for (size_t i = 0; i < faceIndices.size(); ++i) faceIndices[i] = static_cast<uint32_t>(i);

  // No update writes the corners' texture coordinates; they keep those of the
  // initial unit grid, for shaders that want them.
  float* faceTexCoords = faceVertices.data() + faceTexCoordOffset();
  for (size_t i = 0; i < indices.size(); ++i) {
    faceTexCoords[2 * i] = texCoords[2 * indices[i]];
    faceTexCoords[2 * i + 1] = texCoords[2 * indices[i] + 1];
  }
  rebuildFaces();
}

bool SpectrumGrid::updateMesh(const vec4* points, size_t count, int rows, int columns) {
  if (!copyPositions(points, count, rows, columns)) return false;
  rebuildFaces();
  return true;
}

bool SpectrumGrid::updateReducedMesh(const vec4* points, size_t count, int rows, int columns,
                                     const std::vector<grid_detail::Corner>& corners) {
  if (!copyPositions(points, count, rows, columns)) return false;
  reducedTriangles_ = static_cast<int32_t>(std::min<size_t>(corners.size() / 3, kTriangleCount));
  // Room for the full mesh, once, so that no later frame allocates.
  reducedFaces_.reserve(kFloatsPerFace * static_cast<size_t>(kTriangleCount));
  reducedFaces_.resize(kFloatsPerFace * static_cast<size_t>(reducedTriangles_));
  reducedCorners_ = corners.data();
  WorkSplitter::shared().run(reducedTriangles_, &SpectrumGrid::rebuildReducedRange, this);
  reducedCorners_ = nullptr;
  return true;
}

bool SpectrumGrid::copyPositions(const vec4* points, size_t count, int rows, int columns) {
  const long long wanted = static_cast<long long>(rows) * columns;
  if (static_cast<long long>(count) < wanted) {
    Log("updateGrid::Not enough points %d %d\n", static_cast<int>(count), static_cast<int>(wanted));
    return false;
  }
  if (rows < 0 || columns < 0 || wanted > vertexCount) {
    Log("updateGrid::%d x %d points do not fit the grid of %d vertices\n", rows, columns, vertexCount);
    return false;
  }
  float* positions = vertices.data();
  for (long long i = 0; i < wanted; ++i) {
    positions[3 * i] = points[i].x;
    positions[3 * i + 1] = points[i].y;
    positions[3 * i + 2] = points[i].z;
  }
  return true;
}

void SpectrumGrid::rebuildFaces() {
  WorkSplitter::shared().run(triangleCount, &SpectrumGrid::rebuildRange, this);
}

namespace {
void writeFace(float* facePositions, float* faceNormals, size_t t, const float* p0, const float* p1,
               const float* p2, const vec3& n) {
  float* out = facePositions + 9 * t;
  for (int i = 0; i < 3; ++i) {
    out[i] = p0[i];
    out[3 + i] = p1[i];
    out[6 + i] = p2[i];
  }
  float* normal = faceNormals + 9 * t;
  for (int i = 0; i < 3; ++i) {
    normal[3 * i] = n.x;
    normal[3 * i + 1] = n.y;
    normal[3 * i + 2] = n.z;
  }
}

#ifdef __SSE2__
// Four triangles at a time. Every lane performs the same IEEE single
// precision operations, in the same order, as normalizeOrZero and cross, so
// the normals are identical to the one-at-a-time computation.
#define TARVO_INLINE inline __attribute__((always_inline))
struct Lanes3 {
  __m128 x, y, z;
};

TARVO_INLINE Lanes3 normalizeLanes(Lanes3 v) {
  const __m128 length =
      _mm_sqrt_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(v.x, v.x), _mm_mul_ps(v.y, v.y)), _mm_mul_ps(v.z, v.z)));
  const __m128 nonZero = _mm_cmpgt_ps(length, _mm_setzero_ps());
  return {_mm_and_ps(_mm_div_ps(v.x, length), nonZero), _mm_and_ps(_mm_div_ps(v.y, length), nonZero),
          _mm_and_ps(_mm_div_ps(v.z, length), nonZero)};
}

TARVO_INLINE Lanes3 crossLanes(Lanes3 a, Lanes3 b) {
  return {_mm_sub_ps(_mm_mul_ps(a.y, b.z), _mm_mul_ps(a.z, b.y)),
          _mm_sub_ps(_mm_mul_ps(a.z, b.x), _mm_mul_ps(a.x, b.z)),
          _mm_sub_ps(_mm_mul_ps(a.x, b.y), _mm_mul_ps(a.y, b.x))};
}

TARVO_INLINE Lanes3 edgeLanes(const float* const* to, const float* const* from) {
  return {
      _mm_setr_ps(to[0][0] - from[0][0], to[1][0] - from[1][0], to[2][0] - from[2][0], to[3][0] - from[3][0]),
      _mm_setr_ps(to[0][1] - from[0][1], to[1][1] - from[1][1], to[2][1] - from[2][1], to[3][1] - from[3][1]),
      _mm_setr_ps(to[0][2] - from[0][2], to[1][2] - from[1][2], to[2][2] - from[2][2],
                  to[3][2] - from[3][2])};
}

// Nine floats per triangle as two four-float stores and one single store.
TARVO_INLINE void storeNine(float* out, __m128 first, __m128 second, float last) {
  _mm_storeu_ps(out, first);
  _mm_storeu_ps(out + 4, second);
  out[8] = last;
}

TARVO_INLINE void writeFaces4(float* positionsOut, float* normalsOut, const float* const* p0,
                              const float* const* p1, const float* const* p2, Lanes3 n) {
  for (int lane = 0; lane < 4; ++lane) {
    storeNine(positionsOut + 9 * lane, _mm_setr_ps(p0[lane][0], p0[lane][1], p0[lane][2], p1[lane][0]),
              _mm_setr_ps(p1[lane][1], p1[lane][2], p2[lane][0], p2[lane][1]), p2[lane][2]);
  }
  // Rows (x, y, z, x) per triangle, then (y, z, x, y) and z.
  __m128 r0 = n.x, r1 = n.y, r2 = n.z, r3 = n.x;
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  const __m128 rows[4] = {r0, r1, r2, r3};
  for (int lane = 0; lane < 4; ++lane) {
    const __m128 row = rows[lane];
    storeNine(normalsOut + 9 * lane, row, _mm_shuffle_ps(row, row, _MM_SHUFFLE(1, 0, 2, 1)),
              _mm_cvtss_f32(_mm_shuffle_ps(row, row, _MM_SHUFFLE(2, 2, 2, 2))));
  }
}
#endif
}  // namespace

void SpectrumGrid::rebuildRange(void* context, int begin, int end) {
  SpectrumGrid& grid = *static_cast<SpectrumGrid*>(context);
  const float* positions = grid.vertices.data();
  const uint32_t* corners = grid.indices.data();
  float* facePositions = grid.faceVertices.data();
  float* faceNormals = facePositions + grid.faceNormalOffset();
  auto corner = [&](int t, int i) { return positions + 3 * static_cast<size_t>(corners[3 * t + i]); };

  int t = begin;
#ifdef __SSE2__
  for (; t + 4 <= end; t += 4) {
    const float* p0[4] = {corner(t, 0), corner(t + 1, 0), corner(t + 2, 0), corner(t + 3, 0)};
    const float* p1[4] = {corner(t, 1), corner(t + 1, 1), corner(t + 2, 1), corner(t + 3, 1)};
    const float* p2[4] = {corner(t, 2), corner(t + 1, 2), corner(t + 2, 2), corner(t + 3, 2)};
    const Lanes3 n =
        normalizeLanes(crossLanes(normalizeLanes(edgeLanes(p1, p0)), normalizeLanes(edgeLanes(p2, p0))));
    writeFaces4(facePositions + 9 * static_cast<size_t>(t), faceNormals + 9 * static_cast<size_t>(t), p0, p1,
                p2, n);
  }
#endif
  for (; t < end; ++t) {
    const float* p0 = corner(t, 0);
    const float* p1 = corner(t, 1);
    const float* p2 = corner(t, 2);
    // The order e1 × e2 makes the faces of the flat terrain face down.
    const vec3 n = normalizeOrZero(cross(normalizeOrZero(subtract(p1, p0)), normalizeOrZero(subtract(p2, p0))));
    writeFace(facePositions, faceNormals, static_cast<size_t>(t), p0, p1, p2, n);
  }
}

void SpectrumGrid::rebuildReducedRange(void* context, int begin, int end) {
  SpectrumGrid& grid = *static_cast<SpectrumGrid*>(context);
  const float* positions = grid.vertices.data();
  const float* texCoords = positions + grid.sharedTexCoordOffset();
  const size_t triangles = static_cast<size_t>(grid.reducedTriangles_);
  float* facePositions = grid.reducedFaces_.data();
  float* faceTexCoords = facePositions + 9 * triangles;
  float* faceNormals = facePositions + 15 * triangles;
  for (int t = begin; t < end; ++t) {
    float corner[3][3];
    for (int i = 0; i < 3; ++i) {
      const grid_detail::Corner& k = grid.reducedCorners_[3 * t + i];
      for (int axis = 0; axis < 3; ++axis) {
        corner[i][axis] = (positions[3 * k.a + axis] + positions[3 * k.b + axis]) * 0.5f;
      }
      for (int axis = 0; axis < 2; ++axis) {
        faceTexCoords[6 * static_cast<size_t>(t) + 2 * i + axis] =
            (texCoords[2 * k.a + axis] + texCoords[2 * k.b + axis]) * 0.5f;
      }
    }
    const vec3 n = normalizeOrZero(cross(normalizeOrZero(subtract(corner[1], corner[0])),
                                         normalizeOrZero(subtract(corner[2], corner[0]))));
    writeFace(facePositions, faceNormals, static_cast<size_t>(t), corner[0], corner[1], corner[2], n);
  }
}

void SpectrumGrid::create() {
  createMesh();
  faceVertexBuffer =
      createBuffer(faceVertices.data(), static_cast<size_t>(triangleCount) * kFaceBytes, GL_DYNAMIC_DRAW);
  // Made the element array only when drawing.
  faceIndexBuffer = createBuffer(faceIndices);
}

void SpectrumGrid::updateGrid(const std::vector<vec4>& points, int rows, int columns) {
  updateGrid(points.data(), points.size(), rows, columns);
}

void SpectrumGrid::updateGrid(const vec4* points, size_t count, int rows, int columns) {
  if (!updateMesh(points, count, rows, columns) || faceVertexBuffer == 0) return;
  drawReduced_ = false;
  uploadFaces(faceVertexBuffer, faceVertices);
}

void SpectrumGrid::updateReduced(const vec4* points, size_t count, int rows, int columns,
                                 const std::vector<grid_detail::Corner>& corners) {
  if (!updateReducedMesh(points, count, rows, columns, corners) || faceVertexBuffer == 0) return;
  if (reducedBuffer_ == 0) reducedBuffer_ = createBuffer(nullptr, 0, GL_DYNAMIC_DRAW);
  drawReduced_ = true;
  uploadFaces(reducedBuffer_, reducedFaces_);
}

void SpectrumGrid::uploadFaces(GLuint buffer, const std::vector<float>& faces) {
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  if (!spectrumGridUploaded) {
    std::printf("init\n");
    std::fflush(stdout);
    spectrumGridUploaded = true;
  }
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(faces.size() * sizeof(float)), faces.data(),
               GL_DYNAMIC_DRAW);
}

void SpectrumGrid::draw() {
  if (faceVertexBuffer == 0) return;
  setScreenUniforms();
  if (drawReduced_) {
    // The corners are in drawing order: no index buffer needed.
    const size_t triangles = static_cast<size_t>(reducedTriangles_);
    glBindBuffer(GL_ARRAY_BUFFER, reducedBuffer_);
    const GLint position = enableAttribute("pos", 3, 0);
    enableAttribute("tc", 2, 9 * triangles * sizeof(float));
    enableAttribute("normal", 3, 15 * triangles * sizeof(float));
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(3 * triangles));
    disableAttribute(position);
    return;
  }
  glBindBuffer(GL_ARRAY_BUFFER, faceVertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, faceIndexBuffer);
  const GLint position = enableAttribute("pos", 3, 0);
  enableAttribute("tc", 2, faceTexCoordOffset() * sizeof(float));
  enableAttribute("normal", 3, faceNormalOffset() * sizeof(float));
  glDrawElements(GL_TRIANGLES, 3 * triangleCount, GL_UNSIGNED_INT, nullptr);
  disableAttribute(position);
}
