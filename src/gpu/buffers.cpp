#include "gpu/buffers.h"

BufferHandle createBuffer(const void* data, size_t bytes, GLenum usage) {
  GLuint buffer = 0;
  glGenBuffers(1, &buffer);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), data, usage);
  return BufferHandle(buffer);
}
