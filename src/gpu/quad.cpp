#include "gpu/quad.h"

#include <cstdint>

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
  glGenBuffers(1, &vertexBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(kCorners), kCorners, GL_STATIC_DRAW);
  glGenBuffers(1, &indexBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, indexBuffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(kIndices), kIndices, GL_STATIC_DRAW);
}

void Quad::drawQuad(int) {
  setScreenUniforms();
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  const GLint pos = enableAttribute("pos", 4, 0);
  glDrawElements(GL_TRIANGLES, kIndexCount, GL_UNSIGNED_INT, nullptr);
  disableAttribute(pos);
}
