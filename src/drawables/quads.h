// A batch of N textured quads, four vertices each, drawn with whatever
// program is current. At creation each quad carries its index and corner; a
// list of points can then place all four corners of each quad on one point.
// The look (what the shader makes of it) is the production's data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/vector_math.h"
#include "gpu/gl_handle.h"
#include "resources/data_object.h"

class Quads : public DataObject {
 public:
  static constexpr int kVerticesPerQuad = 4;
  static constexpr int kIndicesPerQuad = 6;
  static constexpr float kRightCornerW = 0.03125f;

  // Builds the creation layout and the GL buffers. A negative count makes an
  // empty batch.
  void create(std::string name, int count);
  // Puts every corner of quad i on point i and uploads the whole array.
  // Points beyond quadCount are ignored; quads beyond the list keep theirs.
  void setPositions(const std::vector<vec4>& points);
  void setPositions(const vec4* points, size_t count);
  // Draws the first count quads; the count is cut to [0, quadCount].
  void draw(int count);

  // The CPU halves of create and setPositions.
  void createLayout(std::string name, int count);
  void writePositions(const vec4* points, size_t count);

  // Float offset of the texture coordinates.
  size_t texCoordOffset() const { return 16 * static_cast<size_t>(quadCount); }

  BufferHandle vertexBuffer;
  BufferHandle indexBuffer;
  std::vector<float> vertices;  // positions (vec4 per vertex), then texture coordinates
  std::vector<uint32_t> indices;
  int32_t quadCount = 0;

 private:
  static void writeRange(void* job, int begin, int end);
};
