// The wire grid as a software rasteriser draws it fast: the grid's mesh
// filled once more, each fragment covered by the nearest row, column and
// diagonal of the terrain's grid as a smooth line of a given width in
// pixels. The colour is still the production's wire shader's: the variant
// wraps that shader's own main functions. Owns the variant program and
// builds it again when the production's shader is reloaded. The stage texts
// (shadedWireStages) need no GL.
#pragma once

#include <string>

#include "gpu/gl_handle.h"

class DataObject;
class Shader;

struct ShaderStageTexts {
  std::string vertex;
  std::string fragment;
};

// The variant of a wire shader whose preprocessed stage texts are given: its
// vertex stage passes the corners' grid coordinates ("tc" × 255) on, its
// fragment stage runs the shader's own main and then turns the alpha it
// wrote into the coverage of the wires, discarding what no wire covers.
// The uniform "shadedWireWidth" is the wires' width in pixels.
ShaderStageTexts shadedWireStages(const std::string& vertexText, const std::string& fragmentText);

class ShadedWires {
 public:
  // Makes the variant of `wireShader` (the production's Shader) current,
  // building it first when that shader is new or was reloaded. False when
  // the variant cannot be had (logged once per shader): the caller draws
  // lines instead.
  bool use(DataObject& wireShader);
  // The last variant asked for could not be built.
  bool failed() const { return failed_; }

 private:
  bool build(const Shader& wireShader);

  const DataObject* builtFrom_ = nullptr;
  GLuint builtFromProgram_ = 0;
  bool failed_ = false;
  ShaderHandle vertex_;
  ShaderHandle fragment_;
  ProgramHandle program_;
};
