// A batch of up to 1024 thick-line segments drawn as triangles: each segment
// is four vertices that all carry the point before, the two ends and the
// point after, plus a corner texture coordinate, so the vertex shader can
// build the line with its joins. Shaders and uniforms are the caller's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/vector_math.h"
#include "gpu/gl_handle.h"

class LineBatch {
 public:
  static constexpr int32_t kSegmentCount = 1024;
  static constexpr int kMaxPoints = kSegmentCount + 1;
  // Every draw covers the segments of a 256-point polyline.
  static constexpr int kDrawnSegments = 255;

  // Zeroed segments, the index list and the GL buffers.
  void create();
  // Turns the polyline into segments 0 .. n - 2 and uploads the whole array;
  // points past kMaxPoints are ignored, later segments keep what they had.
  void setPoints(const std::vector<vec3>& points);
  void setPoints(const vec3* points, size_t count);
  void draw();

  // The CPU halves of create and setPoints.
  void createLayout();
  void writePoints(const vec3* points, size_t count);

  // Float offset of control point section `which` (0 .. 3) and of the
  // texture coordinates.
  size_t controlPointOffset(int which) const { return 12 * static_cast<size_t>(which) * segmentCount; }
  size_t texCoordOffset() const { return 48 * static_cast<size_t>(segmentCount); }

  BufferHandle vertexBuffer;
  BufferHandle indexBuffer;
  std::vector<float> vertices;  // p0, p1, p2, p3 (vec3 per vertex), then texture coordinates
  std::vector<uint32_t> indices;
  int32_t segmentCount = 0;
};
