// The two mesh resources, rawGeometry (".rg") and IndexedGeometry (".ig"):
// read the file, hand its bytes to gpu/mesh_parser.h, upload vertex and
// index buffers, and draw them with the current program ("pos", "normal").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gpu/gl_handle.h"
#include "gpu/mesh_parser.h"
#include "resources/data_object.h"

// Fields and drawing shared by both mesh classes.
class MeshGeometry : public DataObject {
 public:
  // A mesh whose file was refused has no buffers.
  static constexpr GLuint kNoBuffer = 0;

  void drawMesh() override;

  BufferHandle vertexBuffer;
  BufferHandle indexBuffer;
  int32_t triangleCount = 0;
  int32_t vertexCount = 0;
  int32_t indexCount = 0;
  std::vector<float> vertexData;
  std::vector<uint32_t> indexData;

 protected:
  using Parser = MeshData (*)(const unsigned char*, size_t);
  // The common load: identity fields, file reading, parsing, buffers.
  bool loadWith(const std::string& path, Parser parse);
};

class rawGeometry : public MeshGeometry {
 public:
  bool load(std::string path) override;
};

class IndexedGeometry : public MeshGeometry {
 public:
  bool load(std::string path) override;
};
