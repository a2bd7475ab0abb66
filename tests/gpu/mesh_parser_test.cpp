#include <gtest/gtest.h>

#include <cmath>

#include "gpu/mesh_bytes.h"
#include "gpu/mesh_parser.h"

namespace {
MeshData parseRaw(const std::vector<unsigned char>& bytes) {
  // A copy of exactly the file's size, so a read past it is caught by ASan.
  std::vector<unsigned char> exact(bytes);
  return parseRawGeometry(exact.empty() ? nullptr : exact.data(), exact.size());
}
MeshData parseIndexed(const std::vector<unsigned char>& bytes) {
  std::vector<unsigned char> exact(bytes);
  return parseIndexedGeometry(exact.empty() ? nullptr : exact.data(), exact.size());
}
void expectVec3(const vec3& v, float x, float y, float z) {
  EXPECT_NEAR(v.x, x, 1e-6f);
  EXPECT_NEAR(v.y, y, 1e-6f);
  EXPECT_NEAR(v.z, z, 1e-6f);
}
}  // namespace

TEST(RawGeometryParser, TwoTrianglesOfShapeZero) {
  const MeshData m = parseRaw(twoTriangleBytes());
  ASSERT_TRUE(m.ok()) << m.refusal;
  EXPECT_EQ(m.vertexCount, 6);
  EXPECT_EQ(m.triangleCount, 2);
  ASSERT_EQ(m.positions.size(), 6u);
  ASSERT_EQ(m.normals.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(m.positions[i].w, i < 3 ? 0.0f : 1.0f);
    expectVec3(m.normals[i], 0, 0, 1);
  }
  EXPECT_EQ(m.positions[4].x, 3.0f);
  EXPECT_EQ(m.indices, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(m.logLines, (std::vector<std::string>{"\tChunkShape: 0\n\tNumber of Vertices = 6\n",
                                                  "\tTotal Vertices: 6\n"}));
}

TEST(RawGeometryParser, ElementNumberIsTheTriangleIndexDividedByTrianglesPerElement) {
  MeshBytes m;
  m.int32(3).int32(72);
  for (int i = 0; i < 24; ++i) m.vertex(0, 0, 0).vertex(1, 0, 0).vertex(0, 0, 1);
  m.int32(1).int32(24);  // a second chunk: four elements of two triangles
  for (int i = 0; i < 8; ++i) m.vertex(0, 0, 0).vertex(0, 1, 0).vertex(1, 0, 0);
  const MeshData mesh = parseRaw(m.bytes);
  ASSERT_TRUE(mesh.ok()) << mesh.refusal;
  EXPECT_EQ(mesh.vertexCount, 96);
  EXPECT_EQ(mesh.triangleCount, 32);
  // Shape 3: elements 0 and 1 both give 0 / 12 = 1 / 12 = 0.
  for (int i = 0; i < 72; ++i) EXPECT_EQ(mesh.positions[i].w, 0.0f) << i;
  // Shape 1: elements 0..3 give 0, 0, 1, 1.
  EXPECT_EQ(mesh.positions[72 + 11].w, 0.0f);
  EXPECT_EQ(mesh.positions[72 + 12].w, 1.0f);
  EXPECT_EQ(mesh.positions[95].w, 1.0f);
  expectVec3(mesh.normals[0], 0, -1, 0);
  expectVec3(mesh.normals[95], 0, 0, -1);
  EXPECT_EQ(mesh.indices.size(), 96u);
}

TEST(RawGeometryParser, EmptyFileIsAnEmptyMesh) {
  const MeshData m = parseRaw({});
  ASSERT_TRUE(m.ok());
  EXPECT_EQ(m.triangleCount, 0);
  EXPECT_EQ(m.logLines, std::vector<std::string>{"\tTotal Vertices: 0\n"});
}

TEST(RawGeometryParser, RefusesMalformedChunksWithoutReadingPastTheBytes) {
  struct Case {
    const char* what;
    std::vector<unsigned char> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"shape above 3", MeshBytes().int32(4).int32(3).vertex(0, 0, 0).vertex(1, 0, 0).vertex(0, 1, 0).bytes,
       "shape 4 is outside 0..3"},
      {"negative shape", MeshBytes().int32(-1).int32(0).bytes, "shape -1 is outside 0..3"},
      {"partial element", MeshBytes().int32(1).int32(3).vertex(0, 0, 0).vertex(1, 0, 0).vertex(0, 1, 0).bytes,
       "3 vertices are not a whole number of 6-vertex elements"},
      {"negative count", MeshBytes().int32(0).int32(-3).bytes, "negative vertex count -3"},
      {"count beyond the bytes", MeshBytes().int32(0).int32(3).vertex(0, 0, 0).vertex(1, 0, 0).bytes,
       "3 vertices need 36 bytes, 24 are left"},
      {"huge count", MeshBytes().int32(0).int32(0x7FFFFFFE).vertex(0, 0, 0).bytes, "are left"},
  };
  for (const Case& c : cases) {
    const MeshData m = parseRaw(c.bytes);
    EXPECT_FALSE(m.ok()) << c.what;
    EXPECT_NE(m.refusal.find(c.reason), std::string::npos) << c.what << ": " << m.refusal;
  }
  // A good chunk followed by a bad one: the whole file is refused, and the
  // chunk lines read so far are kept for the log.
  MeshBytes two;
  two.bytes = twoTriangleBytes();
  two.int32(7).int32(0);
  const MeshData m = parseRaw(two.bytes);
  EXPECT_NE(m.refusal.find("chunk 1: shape 7"), std::string::npos) << m.refusal;
  EXPECT_EQ(m.logLines.size(), 2u);
}

TEST(RawGeometryParser, AFileCutInsideAChunkKeepsTheWholeChunksBeforeIt) {
  MeshBytes second;
  second.int32(1).int32(6).vertex(0, 0, 0).vertex(0, 1, 0).vertex(1, 0, 0).vertex(5, 5, 5);
  const std::vector<unsigned char> first = twoTriangleBytes();
  const MeshData whole = parseRaw(first);
  ASSERT_TRUE(whole.ok());
  // Cut inside the second chunk's header, and inside its fourth vertex.
  for (size_t keep : {first.size() + 5, first.size() + 8 + 3 * 12 + 7}) {
    std::vector<unsigned char> bytes = first;
    bytes.insert(bytes.end(), second.bytes.begin(), second.bytes.end());
    bytes.resize(keep);
    const MeshData m = parseRaw(bytes);
    ASSERT_TRUE(m.ok()) << m.refusal;
    EXPECT_NE(m.cut.find("chunk 1 is cut off"), std::string::npos) << m.cut;
    EXPECT_EQ(m.vertexCount, 6);
    EXPECT_EQ(m.triangleCount, 2);
    EXPECT_EQ(m.indices, whole.indices);
    ASSERT_EQ(m.positions.size(), 6u);
    ASSERT_EQ(m.normals.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
      EXPECT_EQ(m.positions[i].x, whole.positions[i].x);
      EXPECT_EQ(m.positions[i].y, whole.positions[i].y);
      EXPECT_EQ(m.positions[i].w, whole.positions[i].w);
      expectVec3(m.normals[i], whole.normals[i].x, whole.normals[i].y, whole.normals[i].z);
    }
    EXPECT_EQ(m.logLines.back(), "\tTotal Vertices: 6\n");
  }
  // Cut in the first chunk: an empty mesh, as an empty file is.
  const MeshData empty = parseRaw(MeshBytes().int32(0).int32(3).vertex(0, 0, 0).int32(7).bytes);
  ASSERT_TRUE(empty.ok()) << empty.refusal;
  EXPECT_EQ(empty.vertexCount, 0);
  EXPECT_TRUE(empty.positions.empty());
  EXPECT_NE(empty.cut.find("chunk 0 is cut off after 16 of its 36 vertex bytes"), std::string::npos) << empty.cut;
  EXPECT_NE(parseRaw(MeshBytes().int32(0).bytes).cut.find("chunk 0 is cut off in its header"), std::string::npos);
  EXPECT_TRUE(whole.cut.empty());
}

TEST(IndexedGeometryParser, QuadGetsSmoothNormalsAndTheFormatsLogLines) {
  std::vector<unsigned char> bytes = indexedQuadBytes();
  bytes.push_back(0xAB);  // trailing bytes are ignored
  const MeshData m = parseIndexed(bytes);
  ASSERT_TRUE(m.ok()) << m.refusal;
  EXPECT_EQ(m.vertexCount, 4);
  EXPECT_EQ(m.indexCount, 6);
  EXPECT_EQ(m.triangleCount, 2);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(m.positions[i].w, static_cast<float>(i));
    expectVec3(m.normals[i], 0, 0, 1);
  }
  EXPECT_EQ(m.indices, (std::vector<uint32_t>{0, 1, 2, 2, 1, 3}));
  EXPECT_EQ(m.logLines, (std::vector<std::string>{"nVertices =  4\n", "nIndices = 6\n",
                                                  "sizeof Indinces = 6\n", "r\xE6vva"}));

  const std::vector<float> data = buildVertexData(m);
  ASSERT_EQ(data.size(), 60u);
  EXPECT_EQ(data[4 * 3 + 0], 1.0f);  // x of vertex 3
  EXPECT_EQ(data[4 * 3 + 3], 3.0f);  // w of vertex 3
  EXPECT_EQ(data[6 * 4 + 3 * 2 + 2], 1.0f);  // normal z of vertex 2, from byte 24 * N
}

TEST(IndexedGeometryParser, SharedVerticesAverageTheirFacesAndUnusedOnesStayZero) {
  MeshBytes b;
  // A fold along the y axis: one face in z = 0 (normal +z), one in x = 0
  // (normal +x); vertex 4 is used by no triangle.
  b.int32(5).vertex(0, 0, 0).vertex(0, 1, 0).vertex(1, 0, 0).vertex(0, 0, 1).vertex(9, 9, 9);
  b.int32(6).int32(0).int32(2).int32(1).int32(0).int32(1).int32(3);
  const MeshData m = parseIndexed(b.bytes);
  ASSERT_TRUE(m.ok()) << m.refusal;
  const float half = std::sqrt(0.5f);
  expectVec3(m.normals[0], half, 0, half);
  expectVec3(m.normals[1], half, 0, half);
  expectVec3(m.normals[2], 0, 0, 1);
  expectVec3(m.normals[3], 1, 0, 0);
  expectVec3(m.normals[4], 0, 0, 0);
}

TEST(IndexedGeometryParser, RefusesBadCountsAndIndices) {
  auto quadWithIndex = [](int32_t last) {
    MeshBytes b;
    b.int32(4).vertex(0, 0, 0).vertex(1, 0, 0).vertex(0, 1, 0).vertex(1, 1, 0);
    b.int32(3).int32(0).int32(1).int32(last);
    return b.bytes;
  };
  struct Case {
    const char* what;
    std::vector<unsigned char> bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"empty", {}, "no vertex count"},
      {"negative vertex count", MeshBytes().int32(-1).bytes, "negative vertex count -1"},
      {"vertices beyond the bytes", MeshBytes().int32(2).vertex(0, 0, 0).bytes,
       "2 vertices need 24 bytes, 12 are left"},
      {"no index count", MeshBytes().int32(1).vertex(0, 0, 0).bytes, "no index count"},
      {"index count not whole triangles", MeshBytes().int32(1).vertex(0, 0, 0).int32(4).bytes,
       "index count 4 is not a whole number of triangles"},
      {"negative index count", MeshBytes().int32(1).vertex(0, 0, 0).int32(-3).bytes, "negative index count"},
      {"indices beyond the bytes", MeshBytes().int32(1).vertex(0, 0, 0).int32(3).int32(0).bytes,
       "3 indices need 12 bytes, 4 are left"},
      {"index past the vertices", quadWithIndex(4), "index 4 (entry 2) is outside the 4 vertices"},
      {"negative index", quadWithIndex(-1), "index -1 (entry 2) is outside"},
  };
  for (const Case& c : cases) {
    const MeshData m = parseIndexed(c.bytes);
    EXPECT_FALSE(m.ok()) << c.what;
    EXPECT_NE(m.refusal.find(c.reason), std::string::npos) << c.what << ": " << m.refusal;
  }
  EXPECT_TRUE(parseIndexed(quadWithIndex(3)).ok());
}

TEST(MeshNormals, FlatNormalAndDegenerateTriangles) {
  expectVec3(faceNormal({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), 0, 0, 1);
  expectVec3(faceNormal({0, 0, 0}, {0, 2, 0}, {5, 0, 0}), 0, 0, -1);
  expectVec3(faceNormal({1, 1, 1}, {1, 1, 1}, {0, 1, 0}), 0, 0, 0);
  EXPECT_EQ(trianglesPerElement(2), 4);
  EXPECT_EQ(trianglesPerElement(3), 12);
}
