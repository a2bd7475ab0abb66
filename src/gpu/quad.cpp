#include "gpu/quad.h"

#include <cstdint>

#include "gpu/buffers.h"
#include "gpu/uniforms.h"

namespace {
// Clip-space corners (x, y, z, w).
const float kCorners[16] = {
    -1.0f, -1.0f, 0.0f, 1.0f,  //
    1.0f,  -1.0f, 0.0f, 1.0f,  //
    -1.0f, 1.0f,  0.0f, 1.0f,  //
    1.0f,  1.0f,  0.0f, 1.0f,
};
// Two counter-clockwise triangles.
const uint32_t kIndices[6] = {0, 1, 2, 3, 2, 1};
constexpr GLsizei kIndexCount = 6;
}  // namespace

Quad::Quad() : Quad("None") {}

Quad::Quad(const std::string& quadName) {
  name = quadName;
  createBuffers();
}

void Quad::createBuffers() {
  vertexBuffer = createBuffer(kCorners, sizeof(kCorners));
  indexBuffer = createBuffer(kIndices, sizeof(kIndices));
}

void Quad::drawQuad(int) {
  setScreenUniforms();
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  const GLint pos = enableAttribute("pos", 4, 0);
  glDrawElements(GL_TRIANGLES, kIndexCount, GL_UNSIGNED_INT, nullptr);
  disableAttribute(pos);
}
