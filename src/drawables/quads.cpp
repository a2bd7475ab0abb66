#include "drawables/quads.h"

#include <algorithm>
#include <utility>

#include "base/work_splitter.h"
#include "gpu/buffers.h"
#include "gpu/uniforms.h"

namespace {
// Texture coordinate of corner c; the triangles are corners (0, 1, 2), (3, 2, 1).
constexpr float kCornerTexCoords[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};

struct PositionJob {
  float* positions;
  const vec4* points;
};
}  // namespace

void Quads::createLayout(std::string name, int count) {
  this->name = std::move(name);
  quadCount = std::max(count, 0);
  const size_t n = static_cast<size_t>(quadCount);
  vertices.assign(24 * n, 0.0f);
  indices.resize(kIndicesPerQuad * n);

  float* positions = vertices.data();
  float* texCoords = positions + texCoordOffset();
  for (size_t q = 0; q < n; ++q) {
    const float f = static_cast<float>(q);
    for (int c = 0; c < kVerticesPerQuad; ++c) {
      float* position = positions + 16 * q + 4 * c;
      position[0] = kCornerTexCoords[c][0];
      position[1] = kCornerTexCoords[c][1];
      position[2] = f;
      position[3] = (c & 1) ? kRightCornerW : 0.0f;
      texCoords[8 * q + 2 * c] = kCornerTexCoords[c][0];
      texCoords[8 * q + 2 * c + 1] = kCornerTexCoords[c][1];
    }
    const uint32_t first = static_cast<uint32_t>(4 * q);
    const uint32_t quadIndices[kIndicesPerQuad] = {first,     first + 1, first + 2,
                                                   first + 3, first + 2, first + 1};
    std::copy(quadIndices, quadIndices + kIndicesPerQuad, indices.begin() + kIndicesPerQuad * q);
  }
}

void Quads::create(std::string name, int count) {
  createLayout(std::move(name), count);
  vertexBuffer = createBuffer(vertices);
  indexBuffer = createBuffer(indices);
}

void Quads::writePositions(const vec4* points, size_t count) {
  const int used = static_cast<int>(std::min(count, static_cast<size_t>(quadCount)));
  // The corners' texture coordinates are the corner table from creation on
  // and nothing else writes them, so only the positions need rewriting.
  PositionJob job{vertices.data(), points};
  WorkSplitter::shared().run(used, &Quads::writeRange, &job);
}

void Quads::writeRange(void* context, int begin, int end) {
  const PositionJob& job = *static_cast<const PositionJob*>(context);
  for (int q = begin; q < end; ++q) {
    const vec4 p = job.points[q];
    float* out = job.positions + 16 * static_cast<size_t>(q);
    for (int c = 0; c < kVerticesPerQuad; ++c) {
      out[4 * c] = p.x;
      out[4 * c + 1] = p.y;
      out[4 * c + 2] = p.z;
      out[4 * c + 3] = p.w;
    }
  }
}

void Quads::setPositions(const std::vector<vec4>& points) { setPositions(points.data(), points.size()); }

void Quads::setPositions(const vec4* points, size_t count) {
  writePositions(points, count);
  if (vertexBuffer == 0) return;
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(float)), vertices.data(),
               GL_STATIC_DRAW);
}

void Quads::draw(int count) {
  if (vertexBuffer == 0) return;
  const int drawn = std::clamp(count, 0, static_cast<int>(quadCount));
  setScreenUniforms();
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  const GLint position = enableAttribute("pos", 4, 0);
  enableAttribute("tex", 2, texCoordOffset() * sizeof(float));
  if (drawn > 0) glDrawElements(GL_TRIANGLES, kIndicesPerQuad * drawn, GL_UNSIGNED_INT, nullptr);
  disableAttribute(position);
}
