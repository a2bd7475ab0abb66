// Parsers for the two binary mesh formats over bytes: the raw geometry file
// (".rg": chunks of unindexed triangles, flat normals) and the indexed
// geometry file (".ig": vertices and triangle indices, smooth normals).
// They return plain data or the reason the bytes were refused; every count is
// checked against the bytes present. Buffers are made by gpu/mesh.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/vector_math.h"

struct MeshData {
  std::vector<vec4> positions;  // w = element number (raw) or vertex index
  std::vector<vec3> normals;    // one per position
  std::vector<uint32_t> indices;
  int32_t vertexCount = 0;
  int32_t triangleCount = 0;
  int32_t indexCount = 0;  // indexed files only
  // The format's log lines, in order, up to the point of any refusal.
  std::vector<std::string> logLines;
  // Empty when the bytes were accepted; otherwise why they were refused.
  std::string refusal;
  // Raw geometry only: set when the file ends inside a chunk (in its header,
  // or inside a vertex record), saying where. The chunks read whole before
  // it are the mesh; the cut chunk is left out entirely.
  std::string cut;

  bool ok() const { return refusal.empty(); }
};

// Triangles per element of a raw chunk shape 0..3 (1, 2, 4, 12); 0 for any
// other shape.
int trianglesPerElement(int32_t shape);

// normalizeOrZero(normalizeOrZero(p1 - p0) x normalizeOrZero(p2 - p0)), so
// degenerate triangles give (0, 0, 0).
vec3 faceNormal(const vec3& p0, const vec3& p1, const vec3& p2);

MeshData parseRawGeometry(const unsigned char* data, size_t size);
MeshData parseIndexedGeometry(const unsigned char* data, size_t size);

// The vertex buffer's content: 15 floats per vertex, positions (4 floats
// each) from float 0, normals (3 floats each) from byte 24 * vertexCount.
std::vector<float> buildVertexData(const MeshData& mesh);
