#include "gpu/mesh_parser.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "resources/little_endian.h"

namespace {
constexpr size_t kInt32Bytes = 4;
constexpr size_t kVertexRecordBytes = 12;
constexpr size_t kChunkHeaderBytes = 8;
constexpr int kFloatsPerVertex = 15;
constexpr int kPositionFloats = 4;
constexpr int kNormalFloats = 3;
constexpr int kNormalOffsetFloats = 6;  // normals start at byte 24 * vertexCount
// Keeps 15 floats per vertex within a 32-bit count.
constexpr int64_t kMaxVertices = std::numeric_limits<int32_t>::max() / kFloatsPerVertex;

std::string formatText(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string formatText(const char* pattern, ...) {
  va_list args;
  va_start(args, pattern);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, pattern, measure);
  va_end(measure);
  std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), pattern, args);
  va_end(args);
  text.resize(text.size() - 1);
  return text;
}

vec3 readVertex(const unsigned char* bytes) {
  return {readFloatLE(bytes), readFloatLE(bytes + 4), readFloatLE(bytes + 8)};
}

vec3 xyz(const vec4& p) { return {p.x, p.y, p.z}; }

MeshData refuse(MeshData mesh, std::string reason) {
  mesh.refusal = std::move(reason);
  return mesh;
}
}  // namespace

int trianglesPerElement(int32_t shape) {
  switch (shape) {
    case 0:
      return 1;
    case 1:
      return 2;
    case 2:
      return 4;
    case 3:
      return 12;
    default:
      return 0;
  }
}

vec3 faceNormal(const vec3& p0, const vec3& p1, const vec3& p2) {
  return normalizeOrZero(cross(normalizeOrZero(p1 - p0), normalizeOrZero(p2 - p0)));
}

MeshData parseRawGeometry(const unsigned char* data, size_t size) {
  MeshData mesh;
  size_t offset = 0;
  for (int chunk = 0; offset < size; ++chunk) {
    if (size - offset < kChunkHeaderBytes) {
      mesh.cut = formatText("chunk %d is cut off in its header (%zu of %zu bytes)", chunk, size - offset,
                            kChunkHeaderBytes);
      break;
    }
    const int32_t shape = readInt32LE(data + offset);
    const int32_t count = readInt32LE(data + offset + kInt32Bytes);
    offset += kChunkHeaderBytes;
    mesh.logLines.push_back(formatText("\tChunkShape: %d\n\tNumber of Vertices = %d\n", shape, count));

    const int trianglesEach = trianglesPerElement(shape);
    if (trianglesEach == 0) {
      return refuse(std::move(mesh), formatText("chunk %d: shape %d is outside 0..3", chunk, shape));
    }
    const int verticesEach = 3 * trianglesEach;
    if (count < 0) {
      return refuse(std::move(mesh), formatText("chunk %d: negative vertex count %d", chunk, count));
    }
    if (count % verticesEach != 0) {
      return refuse(std::move(mesh),
                    formatText("chunk %d: %d vertices are not a whole number of %d-vertex elements",
                               chunk, count, verticesEach));
    }
    const size_t left = size - offset;
    if (left / kVertexRecordBytes < static_cast<size_t>(count)) {
      if (left % kVertexRecordBytes != 0) {
        // The file ends inside a vertex record: it was cut (a copy or a save
        // that stopped), so what came before is still good.
        mesh.cut = formatText("chunk %d is cut off after %zu of its %zu vertex bytes", chunk, left,
                              static_cast<size_t>(count) * kVertexRecordBytes);
        break;
      }
      // Whole records, but fewer than the count says: the count is wrong.
      return refuse(std::move(mesh),
                    formatText("chunk %d: %d vertices need %zu bytes, %zu are left", chunk, count,
                               static_cast<size_t>(count) * kVertexRecordBytes, left));
    }
    if (static_cast<int64_t>(mesh.vertexCount) + count > kMaxVertices) {
      return refuse(std::move(mesh), formatText("chunk %d: more than %lld vertices in all", chunk,
                                                static_cast<long long>(kMaxVertices)));
    }
    mesh.vertexCount += count;
    mesh.triangleCount += count / 3;

    const size_t chunkStart = mesh.positions.size();
    for (int element = 0; element < count / verticesEach; ++element) {
      const float w = static_cast<float>(element / trianglesEach);
      for (int v = 0; v < verticesEach; ++v) {
        const vec3 p = readVertex(data + offset);
        offset += kVertexRecordBytes;
        mesh.positions.push_back({p.x, p.y, p.z, w});
      }
    }
    for (size_t first = chunkStart; first < mesh.positions.size(); first += 3) {
      const vec3 n = faceNormal(xyz(mesh.positions[first]), xyz(mesh.positions[first + 1]),
                                xyz(mesh.positions[first + 2]));
      mesh.normals.insert(mesh.normals.end(), 3, n);
    }
  }
  mesh.logLines.push_back(formatText("\tTotal Vertices: %d\n", mesh.vertexCount));
  mesh.indices.resize(static_cast<size_t>(mesh.triangleCount) * 3);
  for (size_t i = 0; i < mesh.indices.size(); ++i) mesh.indices[i] = static_cast<uint32_t>(i);
  return mesh;
}

MeshData parseIndexedGeometry(const unsigned char* data, size_t size) {
  MeshData mesh;
  size_t offset = 0;
  if (size < kInt32Bytes) {
    return refuse(std::move(mesh), formatText("no vertex count: the file has %zu bytes", size));
  }
  const int32_t vertexCount = readInt32LE(data);
  offset += kInt32Bytes;
  mesh.logLines.push_back(formatText("nVertices =  %d\n", vertexCount));
  if (vertexCount < 0) {
    return refuse(std::move(mesh), formatText("negative vertex count %d", vertexCount));
  }
  if (vertexCount > kMaxVertices) {
    return refuse(std::move(mesh), formatText("%d vertices are too many", vertexCount));
  }
  if ((size - offset) / kVertexRecordBytes < static_cast<size_t>(vertexCount)) {
    return refuse(std::move(mesh),
                  formatText("%d vertices need %zu bytes, %zu are left", vertexCount,
                             static_cast<size_t>(vertexCount) * kVertexRecordBytes, size - offset));
  }
  mesh.vertexCount = vertexCount;
  mesh.positions.reserve(static_cast<size_t>(vertexCount));
  for (int32_t i = 0; i < vertexCount; ++i) {
    const vec3 p = readVertex(data + offset);
    offset += kVertexRecordBytes;
    mesh.positions.push_back({p.x, p.y, p.z, static_cast<float>(i)});
  }

  if (size - offset < kInt32Bytes) {
    return refuse(std::move(mesh), formatText("no index count after the %d vertices", vertexCount));
  }
  const int32_t indexCount = readInt32LE(data + offset);
  offset += kInt32Bytes;
  mesh.logLines.push_back(formatText("nIndices = %d\n", indexCount));
  if (indexCount < 0) {
    return refuse(std::move(mesh), formatText("negative index count %d", indexCount));
  }
  if (indexCount % 3 != 0) {
    return refuse(std::move(mesh),
                  formatText("index count %d is not a whole number of triangles", indexCount));
  }
  if ((size - offset) / kInt32Bytes < static_cast<size_t>(indexCount)) {
    return refuse(std::move(mesh),
                  formatText("%d indices need %zu bytes, %zu are left", indexCount,
                             static_cast<size_t>(indexCount) * kInt32Bytes, size - offset));
  }
  mesh.indexCount = indexCount;
  mesh.triangleCount = indexCount / 3;
  mesh.indices.reserve(static_cast<size_t>(indexCount));
  for (int32_t i = 0; i < indexCount; ++i) {
    const int32_t index = readInt32LE(data + offset);
    offset += kInt32Bytes;
    if (index < 0 || index >= vertexCount) {
      return refuse(std::move(mesh), formatText("index %d (entry %d) is outside the %d vertices",
                                                index, i, vertexCount));
    }
    mesh.indices.push_back(static_cast<uint32_t>(index));
  }
  mesh.logLines.push_back(formatText("sizeof Indinces = %d\n", indexCount));
  mesh.logLines.push_back("r\xE6vva");

  // Smooth normals: every face normal added to its three corners in triangle
  // order, then normalised; a vertex no triangle uses keeps (0, 0, 0).
  std::vector<vec3> sums(static_cast<size_t>(vertexCount));
  for (size_t first = 0; first < mesh.indices.size(); first += 3) {
    const uint32_t a = mesh.indices[first];
    const uint32_t b = mesh.indices[first + 1];
    const uint32_t c = mesh.indices[first + 2];
    const vec3 n = faceNormal(xyz(mesh.positions[a]), xyz(mesh.positions[b]), xyz(mesh.positions[c]));
    for (const uint32_t corner : {a, b, c}) {
      sums[corner].x += n.x;
      sums[corner].y += n.y;
      sums[corner].z += n.z;
    }
  }
  mesh.normals.reserve(sums.size());
  for (const vec3& sum : sums) mesh.normals.push_back(normalizeOrZero(sum));
  return mesh;
}

std::vector<float> buildVertexData(const MeshData& mesh) {
  const size_t count = static_cast<size_t>(mesh.vertexCount);
  std::vector<float> data(count * kFloatsPerVertex, 0.0f);
  for (size_t i = 0; i < count && i < mesh.positions.size(); ++i) {
    const vec4& p = mesh.positions[i];
    float* out = &data[i * kPositionFloats];
    out[0] = p.x;
    out[1] = p.y;
    out[2] = p.z;
    out[3] = p.w;
  }
  for (size_t i = 0; i < count && i < mesh.normals.size(); ++i) {
    const vec3& n = mesh.normals[i];
    float* out = &data[count * kNormalOffsetFloats + i * kNormalFloats];
    out[0] = n.x;
    out[1] = n.y;
    out[2] = n.z;
  }
  return data;
}
