// Builds little-endian mesh file bytes for the mesh tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

class MeshBytes {
 public:
  MeshBytes& int32(int32_t value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(bits >> (8 * i)));
    return *this;
  }
  MeshBytes& real(float value) {
    int32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return int32(bits);
  }
  MeshBytes& vertex(float x, float y, float z) { return real(x).real(y).real(z); }

  std::vector<unsigned char> bytes;
};

// The indexed quad: four corners in the z = 0 plane, two triangles facing +z.
inline std::vector<unsigned char> indexedQuadBytes() {
  MeshBytes m;
  m.int32(4).vertex(-1, -1, 0).vertex(1, -1, 0).vertex(-1, 1, 0).vertex(1, 1, 0);
  m.int32(6).int32(0).int32(1).int32(2).int32(2).int32(1).int32(3);
  return m.bytes;
}

// One raw chunk of shape 0 with two triangles, both facing +z.
inline std::vector<unsigned char> twoTriangleBytes() {
  MeshBytes m;
  m.int32(0).int32(6);
  m.vertex(0, 0, 0).vertex(1, 0, 0).vertex(0, 1, 0);
  m.vertex(-1, -1, 0).vertex(3, -1, 0).vertex(-1, 3, 0);
  return m.bytes;
}
