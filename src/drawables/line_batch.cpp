#include "drawables/line_batch.h"

#include <algorithm>

#include "gpu/buffers.h"
#include "gpu/uniforms.h"

namespace {
// The screen quad's corners (-1, -1), (1, -1), (-1, 1), (1, 1) mapped to [0, 1].
constexpr float kCornerTexCoords[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
constexpr int kVerticesPerSegment = 4;
constexpr int kIndicesPerSegment = 6;
}  // namespace

void LineBatch::createLayout() {
  segmentCount = kSegmentCount;
  vertices.assign(56 * static_cast<size_t>(segmentCount), 0.0f);
  indices.resize(kIndicesPerSegment * static_cast<size_t>(segmentCount));
  for (uint32_t s = 0; s < static_cast<uint32_t>(segmentCount); ++s) {
    const uint32_t first = 4 * s;
    uint32_t* out = indices.data() + kIndicesPerSegment * s;
    out[0] = first;
    out[1] = first + 1;
    out[2] = first + 2;
    out[3] = first + 3;
    out[4] = first + 2;
    out[5] = first + 1;
  }
}

void LineBatch::create() {
  createLayout();
  vertexBuffer = createBuffer(vertices);
  indexBuffer = createBuffer(indices);
}

void LineBatch::writePoints(const vec3* points, size_t count) {
  const int n =
      static_cast<int>(std::min(count, static_cast<size_t>(std::min<int32_t>(segmentCount + 1, kMaxPoints))));
  float* const base = vertices.data();
  for (int i = 0; i + 1 < n; ++i) {
    const vec3 control[4] = {points[std::max(0, i - 1)], points[i], points[i + 1],
                             points[std::min(i + 2, n - 1)]};
    for (int c = 0; c < kVerticesPerSegment; ++c) {
      const size_t vertex = static_cast<size_t>(kVerticesPerSegment) * i + c;
      for (int which = 0; which < 4; ++which) {
        float* out = base + controlPointOffset(which) + 3 * vertex;
        out[0] = control[which].x;
        out[1] = control[which].y;
        out[2] = control[which].z;
      }
      float* texCoord = base + texCoordOffset() + 2 * vertex;
      texCoord[0] = kCornerTexCoords[c][0];
      texCoord[1] = kCornerTexCoords[c][1];
    }
  }
}

void LineBatch::setPoints(const std::vector<vec3>& points) { setPoints(points.data(), points.size()); }

void LineBatch::setPoints(const vec3* points, size_t count) {
  writePoints(points, count);
  if (vertexBuffer == 0) return;
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
               GL_STATIC_DRAW);
}

void LineBatch::draw() {
  if (vertexBuffer == 0) return;
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  const GLint first = enableAttribute("p0", 3, controlPointOffset(0) * sizeof(float));
  enableAttribute("p1", 3, controlPointOffset(1) * sizeof(float));
  enableAttribute("p2", 3, controlPointOffset(2) * sizeof(float));
  enableAttribute("p3", 3, controlPointOffset(3) * sizeof(float));
  enableAttribute("tc", 2, texCoordOffset() * sizeof(float));
  // 255 segments whatever was set last (a segment never set is all zero).
  const int drawn = std::min(kDrawnSegments, static_cast<int>(segmentCount));
  glDrawElements(GL_TRIANGLES, kIndicesPerSegment * drawn, GL_UNSIGNED_INT, nullptr);
  disableAttribute(first);
}
