#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>

#include "gpu/mesh.h"
#include "gpu/mesh_bytes.h"
#include "gpu/render_target.h"
#include "gpu/shader.h"
#include "support/test_support.h"

namespace {
// Draws the normal as the colour; w is ignored so element numbers don't
// move the vertices.
const char* const kNormalShader =
    "attribute vec4 pos;\nattribute vec3 normal;\nvarying vec3 n;\n"
    "void main() { n = normal; gl_Position = vec4(pos.xyz, 1.0); }\n"
    "//FRAGMENT\nvoid main() { gl_FragColor = vec4(n, 1.0); }\n";
const char* const kPositionOnly =
    "attribute vec4 pos;\nvoid main() { gl_Position = vec4(pos.xyz, 1.0); }\n"
    "//FRAGMENT\nvoid main() { gl_FragColor = vec4(1.0); }\n";

class MeshTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ensureGLContext());
    std::filesystem::create_directory("data");
    captureStdout([&] { target = std::make_unique<RenderTarget2D>(16, 16, kFormatRGBA8, "mesh"); });
  }

  template <class Mesh>
  bool loadMesh(Mesh& mesh, const std::string& file, const std::vector<unsigned char>& bytes,
                std::string* out = nullptr) {
    writeBytes(file, bytes);
    std::string programPath = file;
    std::replace(programPath.begin(), programPath.end(), '/', '\\');
    bool loaded = false;
    const std::string printed = captureStdout([&] { loaded = mesh.load(programPath); });
    if (out) *out = printed;
    return loaded;
  }

  // Draws the mesh with the program into the cleared target; the centre pixel.
  std::array<unsigned char, 4> drawCentre(DataObject& mesh, const char* shaderText) {
    writeFile("data/draw.glsl", shaderText);
    Shader shader;
    captureStdout([&] { EXPECT_TRUE(shader.load("data\\draw.glsl")); });
    target->begin();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    shader.bind();
    mesh.drawMesh();
    std::array<unsigned char, 4> rgba{};
    glReadPixels(8, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    target->end(false);
    glUseProgram(0);
    return rgba;
  }

  TempDir dir;
  std::unique_ptr<RenderTarget2D> target;
};
}  // namespace

TEST_F(MeshTest, RawTrianglesLoadAndDrawWithTheirNormals) {
  rawGeometry mesh;
  std::string out;
  ASSERT_TRUE(loadMesh(mesh, "data/two.rg", twoTriangleBytes(), &out));
  EXPECT_EQ(out,
            "\tLoaded rawGeometry: data\\two.rg\nLoading Object Name: two.rg   filesize=80\n"
            "\tChunkShape: 0\n\tNumber of Vertices = 6\n\tTotal Vertices: 6\n");
  EXPECT_EQ(mesh.name, "two.rg");
  EXPECT_EQ(mesh.vertexCount, 6);
  EXPECT_EQ(mesh.triangleCount, 2);
  EXPECT_EQ(mesh.indexData, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(mesh.vertexData.size(), 90u);
  EXPECT_TRUE(glIsBuffer(mesh.vertexBuffer));
  EXPECT_TRUE(glIsBuffer(mesh.indexBuffer));
  GLint size = 0;
  glBindBuffer(GL_ARRAY_BUFFER, mesh.vertexBuffer);
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  EXPECT_EQ(size, 360);
  glBindBuffer(GL_ARRAY_BUFFER, mesh.indexBuffer);
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  EXPECT_EQ(size, 24);

  EXPECT_EQ(drawCentre(mesh, kNormalShader), (std::array<unsigned char, 4>{0, 0, 255, 255}));
  // Without "normal" the positions still draw.
  EXPECT_EQ(drawCentre(mesh, kPositionOnly), (std::array<unsigned char, 4>{255, 255, 255, 255}));
  GLint enabled = 1;
  glGetVertexAttribiv(0, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
  EXPECT_EQ(enabled, 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshTest, ShapeThreeAndEmptyRawFiles) {
  MeshBytes b;
  b.int32(3).int32(72);
  for (int i = 0; i < 24; ++i) b.vertex(0, 0, 0).vertex(1, 0, 0).vertex(0, 1, 0);
  rawGeometry boxes;
  ASSERT_TRUE(loadMesh(boxes, "data/boxes.rg", b.bytes));
  EXPECT_EQ(boxes.triangleCount, 24);
  for (int i = 0; i < 72; ++i) EXPECT_EQ(boxes.vertexData[i * 4 + 3], 0.0f) << i;

  rawGeometry empty;
  std::string out;
  ASSERT_TRUE(loadMesh(empty, "data/empty.rg", {}, &out));
  EXPECT_NE(out.find("filesize=0\n\tTotal Vertices: 0\n"), std::string::npos) << out;
  EXPECT_EQ(empty.triangleCount, 0);
  EXPECT_EQ(drawCentre(empty, kPositionOnly), (std::array<unsigned char, 4>{0, 0, 0, 0}));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshTest, IndexedQuadGetsUpwardNormalsAndItsLogLines) {
  IndexedGeometry quad;
  std::string out;
  ASSERT_TRUE(loadMesh(quad, "data/quad.ig", indexedQuadBytes(), &out));
  EXPECT_EQ(out,
            "\tLoaded rawGeometry: data\\quad.ig\nLoading Object Name: quad.ig   filesize=80\n"
            "nVertices =  4\nnIndices = 6\nsizeof Indinces = 6\nr\xE6vva");
  const std::string log = readFile("output2.txt");  // the 0xE6 byte reaches the file as is
  ASSERT_GE(log.size(), out.size());
  EXPECT_EQ(log.substr(log.size() - out.size()), out);
  EXPECT_EQ(quad.indexCount, 6);
  EXPECT_EQ(quad.triangleCount, 2);
  for (int v = 0; v < 4; ++v) {
    EXPECT_EQ(quad.vertexData[24 + v * 3 + 0], 0.0f);
    EXPECT_EQ(quad.vertexData[24 + v * 3 + 2], 1.0f);
  }
  EXPECT_EQ(drawCentre(quad, kNormalShader), (std::array<unsigned char, 4>{0, 0, 255, 255}));
}

TEST_F(MeshTest, MissingAndMalformedFilesAreRefused) {
  rawGeometry missing;
  const std::string missingOut = captureStdout([&] { EXPECT_FALSE(missing.load("data\\none.rg")); });
  EXPECT_NE(missingOut.find("\tLoaded rawGeometry: data\\none.rg\n"), std::string::npos);
  EXPECT_NE(missingOut.find("Geometry file isn't good, recheck: data\\none.rg\n"), std::string::npos);

  rawGeometry badShape;
  std::string out;
  EXPECT_FALSE(loadMesh(badShape, "data/shape.rg", MeshBytes().int32(5).int32(3).vertex(0, 0, 0).bytes, &out));
  EXPECT_NE(out.find("Geometry file refused, data\\shape.rg: chunk 0: shape 5 is outside 0..3\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(badShape.vertexBuffer, MeshGeometry::kNoBuffer);

  // A file cut inside its second chunk loads the first and says where it was cut.
  std::vector<unsigned char> cut = twoTriangleBytes();
  const std::vector<unsigned char> more = MeshBytes().int32(0).int32(3).vertex(0, 0, 0).bytes;
  cut.insert(cut.end(), more.begin(), more.end() - 2);
  rawGeometry partial;
  EXPECT_TRUE(loadMesh(partial, "data/cut.rg", cut, &out));
  EXPECT_NE(out.find("Geometry file cut, data\\cut.rg: chunk 1 is cut off after 10 of its 36 vertex bytes; "
                     "the 6 vertices before it are kept\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(partial.vertexCount, 6);
  EXPECT_NE(partial.vertexBuffer, MeshGeometry::kNoBuffer);

  MeshBytes badIndex;
  badIndex.int32(3).vertex(0, 0, 0).vertex(1, 0, 0).vertex(0, 1, 0).int32(3).int32(0).int32(1).int32(3);
  IndexedGeometry indexed;
  EXPECT_FALSE(loadMesh(indexed, "data/bad.ig", badIndex.bytes, &out));
  EXPECT_NE(out.find("Geometry file refused, data\\bad.ig: index 3 (entry 2) is outside the 3 vertices\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(indexed.indexBuffer, MeshGeometry::kNoBuffer);
}
