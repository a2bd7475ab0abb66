#include "gpu/mesh.h"


#include "base/log.h"
#include "gpu/buffers.h"
#include "gpu/uniforms.h"
#include "resources/file_utils.h"

namespace {
constexpr size_t kVertexBytes = 60;        // 15 floats per vertex
constexpr size_t kNormalOffsetBytes = 24;  // per vertex, where the normals start

}  // namespace

bool MeshGeometry::loadWith(const std::string& meshPath, Parser parse) {
  path = meshPath;
  name = fileNameOf(meshPath);
  fileTime = fileModificationTime(meshPath);
  Log("\tLoaded rawGeometry: %s\n", meshPath.c_str());

  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath(meshPath), bytes)) {
    Log("Geometry file isn't good, recheck: %s\n", meshPath.c_str());
    return false;
  }
  Log("Loading Object Name: %s   filesize=%d\n", name.c_str(), static_cast<int>(bytes.size()));

  const MeshData mesh = parse(bytes.data(), bytes.size());
  for (const std::string& line : mesh.logLines) Log("%s", line.c_str());
  if (!mesh.ok()) {
    Log("Geometry file refused, %s: %s\n", meshPath.c_str(), mesh.refusal.c_str());
    return false;
  }
  if (!mesh.cut.empty()) {
    Log("Geometry file cut, %s: %s; the %d vertices before it are kept\n", meshPath.c_str(), mesh.cut.c_str(),
        mesh.vertexCount);
  }

  vertexCount = mesh.vertexCount;
  triangleCount = mesh.triangleCount;
  indexCount = mesh.indexCount;
  vertexData = buildVertexData(mesh);
  indexData = mesh.indices;

  vertexBuffer = createBuffer(vertexData.data(), kVertexBytes * static_cast<size_t>(vertexCount));
  indexBuffer = createBuffer(indexData);
  return true;
}

bool rawGeometry::load(std::string meshPath) { return loadWith(meshPath, parseRawGeometry); }

bool IndexedGeometry::load(std::string meshPath) { return loadWith(meshPath, parseIndexedGeometry); }

void MeshGeometry::drawMesh() {
  if (vertexBuffer == kNoBuffer || indexBuffer == kNoBuffer) return;
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
  const GLint pos = enableAttribute("pos", 4, 0);
  const GLint normal =
      enableAttribute("normal", 3, kNormalOffsetBytes * static_cast<size_t>(vertexCount));
  if (triangleCount > 0) {
    glDrawElements(GL_TRIANGLES, triangleCount * 3, GL_UNSIGNED_INT, nullptr);
  }
  // Both arrays are switched off so no later draw reads through them.
  disableAttribute(pos);
  disableAttribute(normal);
}
