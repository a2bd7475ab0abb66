// Buffer objects made from arrays in memory. Every buffer, index buffers
// included, is specified through GL_ARRAY_BUFFER; an index buffer becomes the
// element array only when drawing.
#pragma once

#include <cstddef>
#include <vector>

#include "gpu/gl_handle.h"

// Generates a buffer, binds it to GL_ARRAY_BUFFER and specifies its bytes.
BufferHandle createBuffer(const void* data, size_t bytes, GLenum usage = GL_STATIC_DRAW);

template <class T>
BufferHandle createBuffer(const std::vector<T>& data, GLenum usage = GL_STATIC_DRAW) {
  return createBuffer(data.data(), data.size() * sizeof(T), usage);
}
