// TextAtlas: one font face baked once into a single-channel texture, and the
// drawing of single lines of it (and plain backing boxes) in pixel
// coordinates over whatever is in the current framebuffer. For the heads-up
// status lines; not a layout engine: no kerning, wrapping or shaping.
#pragma once

#include <string>
#include <vector>

#include "gpu/gl_handle.h"

class TextAtlas {
 public:
  // Reads the TrueType file (an operating-system path) and bakes printable
  // ASCII and a replacement glyph at the pixel height; builds the texture,
  // the program and the vertex buffer. Needs a current GL context. On
  // failure logs one line, returns false and leaves the atlas drawing
  // nothing.
  bool create(const std::string& fontPath, float pixelHeight);

  // Draws one line with its top-left corner at pixel (x, y), counted from
  // the top-left of a target of the given size (the current viewport),
  // blended over what is there. A character outside printable ASCII shows
  // the replacement glyph; a UTF-8 sequence counts as one character. The GL
  // state it changes is put back before it returns.
  void draw(const std::string& text, float x, float y, float r, float g, float b, float a,
            int targetWidth, int targetHeight);
  // A solid rectangle in the same coordinates, blended the same way: a
  // backing for legibility.
  void drawBox(float x, float y, float w, float h, float r, float g, float b, float a,
               int targetWidth, int targetHeight);

  // Pixels from one line's top to the next; every glyph lies inside it.
  float lineHeight() const { return lineHeight_; }
  // Pixels from the start of the line to the end of its last advance.
  float textWidth(const std::string& text) const;
  bool ready() const { return ready_; }

 private:
  // Where one glyph lies relative to the pen on the baseline (pixels, y
  // down; offsetY whole), and where in the atlas.
  struct Glyph {
    float offsetX = 0.0f, offsetY = 0.0f, width = 0.0f, height = 0.0f;
    float s0 = 0.0f, t0 = 0.0f, s1 = 0.0f, t1 = 0.0f;
    float advance = 0.0f;
  };

  bool buildProgram();
  const Glyph& glyphFor(unsigned char character) const;
  void addQuad(float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1);
  // Draws the quads gathered in vertices_ in the colour, then empties it.
  void drawQuads(float r, float g, float b, float a, int targetWidth, int targetHeight);

  TextureHandle texture_;
  BufferHandle vertexBuffer_;
  ShaderHandle vertexShader_;
  ShaderHandle fragmentShader_;
  ProgramHandle program_;
  std::vector<Glyph> glyphs_;  // printable ASCII, then the replacement
  float solidS_ = 0.0f, solidT_ = 0.0f;  // a texel that is fully covered
  float baseline_ = 0.0f;  // from the line's top
  float lineHeight_ = 0.0f;
  bool ready_ = false;
  // Positions of every vertex (x, y pairs), then their texture coordinates;
  // reused from draw to draw.
  std::vector<float> vertices_;
  std::vector<float> texCoords_;
};
