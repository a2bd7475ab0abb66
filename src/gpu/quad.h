// Quad: the full-screen rectangle in clip space that every full-screen pass
// draws with the current program, handing it "resolution" and "ratio".
// Not the batch of many quads (drawables).
#pragma once

#include <string>

#include "gpu/gl_handle.h"
#include "resources/data_object.h"

class Quad : public DataObject {
 public:
  // Both need a current GL context; the unnamed quad is called "None".
  Quad();
  explicit Quad(const std::string& name);

  // Sets "resolution" and "ratio" when present and draws the two triangles
  // through the attribute "pos". The argument is unused.
  void drawQuad(int unused) override;

  BufferHandle vertexBuffer;
  BufferHandle indexBuffer;

 private:
  void createBuffers();
};
