#include "demo/shaded_wires.h"

#include <regex>

#include "base/log.h"
#include "gpu/shader.h"

namespace {
// The production's main functions keep their code under this name; the
// variant's own main calls them.
const char* const kWrappedMain = "shadedWireProductionMain";

const char* const kVertexTail = R"(
varying vec2 shadedWireGrid;
void main()
{
    shadedWireProductionMain();
    // The grid's corners carry (row, column) / 255 of the terrain.
    shadedWireGrid = tc * 255.0;
}
)";

const char* const kFragmentTail = R"(
varying vec2 shadedWireGrid;
uniform float shadedWireWidth;

// How much of this pixel a smooth line of shadedWireWidth pixels covers,
// centred where u is a whole number.
float shadedWireCover(float u)
{
    float slope = max(length(vec2(dFdx(u), dFdy(u))), 1e-6);
    float pixels = abs(fract(u + 0.5) - 0.5) / slope;
    return clamp(0.5 * shadedWireWidth + 0.5 - pixels, 0.0, 1.0);
}

void main()
{
    // Rows, columns, and the diagonal of each cell (row + column constant).
    float rows = shadedWireCover(shadedWireGrid.x);
    float columns = shadedWireCover(shadedWireGrid.y);
    float diagonals = shadedWireCover(shadedWireGrid.x + shadedWireGrid.y);
    shadedWireProductionMain();
    // As lines, every inner edge is blended twice, once for each triangle
    // beside it, with the alpha the production's shader gives.
    float a = clamp(gl_FragColor.a, 0.0, 1.0);
    float clear = (1.0 - a * rows) * (1.0 - a * columns) * (1.0 - a * diagonals);
    float alpha = 1.0 - clear * clear;
    if (alpha < 1.0 / 512.0)
        discard;
    gl_FragColor.a = alpha;
}
)";

std::string wrapped(const std::string& stageText, const char* tail) {
  return std::string("#define main ") + kWrappedMain + "\n" + stageText + "\n#undef main\n" + tail;
}

GLuint compile(const std::string& text, GLenum stage) {
  const GLuint shader = glCreateShader(stage);
  const char* source = text.c_str();
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  return shader;
}
}  // namespace

ShaderStageTexts shadedWireStages(const std::string& vertexText, const std::string& fragmentText) {
  static const std::regex declaresTc(R"(\battribute\s+vec2\s+tc\s*;)");
  const std::string tcDeclaration = std::regex_search(vertexText, declaresTc) ? "" : "attribute vec2 tc;\n";
  return {wrapped(vertexText, (tcDeclaration + kVertexTail).c_str()), wrapped(fragmentText, kFragmentTail)};
}

bool ShadedWires::use(DataObject& wireShader) {
  auto* shader = dynamic_cast<Shader*>(&wireShader);
  if (!shader || shader->program == 0) return false;
  if (builtFrom_ != shader || builtFromProgram_ != shader->program) {
    builtFrom_ = shader;
    builtFromProgram_ = shader->program;
    failed_ = !build(*shader);
    if (failed_) {
      Log("wires: the shaded variant of %s does not link; its wires are drawn as lines\n", shader->path.c_str());
    } else {
      Log("wires: shaded into the filled mesh below full size (%s)\n", shader->path.c_str());
    }
  }
  if (failed_) return false;
  glUseProgram(program_);
  return true;
}

bool ShadedWires::build(const Shader& wireShader) {
  program_.reset();
  const ShaderStageTexts stages = shadedWireStages(wireShader.vertexText, wireShader.fragmentText);
  vertex_.reset(compile(stages.vertex, GL_VERTEX_SHADER));
  fragment_.reset(compile(stages.fragment, GL_FRAGMENT_SHADER));
  const GLuint program = glCreateProgram();
  glAttachShader(program, vertex_);
  glAttachShader(program, fragment_);
  glLinkProgram(program);
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (!linked) {
    glDeleteProgram(program);
    return false;
  }
  program_.reset(program);
  return true;
}
