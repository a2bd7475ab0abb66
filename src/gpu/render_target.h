// RenderTarget2D: an off-screen colour texture with a 24-bit depth buffer in
// one framebuffer; drawn into between begin and end, sampled through
// bindTexture, captured as a numbered PNG in "output" on the 1 key.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "gpu/gl_handle.h"
#include "resources/data_object.h"

// Colour formats chosen at creation.
enum RenderTargetFormat {
  kFormatRGBA8 = 0,
  kFormatR32F = 1,
  kFormatRGBA16F = 2,
  kFormatR16F = 3,
};

// Relative targets are sized against this fixed design resolution.
constexpr float kDesignWidth = 1920.0f;
constexpr float kDesignHeight = 1080.0f;

// One side, in pixels, of a target `relativeSize` times the design size
// drawn at preview `scale`: (int)(relativeSize * designSide * scale), never
// below one pixel. The preview's pass size and every resized target agree
// through it.
int previewTargetSide(float relativeSize, float designSide, float scale);

// The capture directory and the first free capture name: "output\" +
// "%05d" + ".png", starting at number firstNumber and moving on past names
// for which inUse (program path) is true.
extern const char* const kCaptureDirectory;
std::string captureFileName(int32_t firstNumber,
                            const std::function<bool(const std::string&)>& inUse);

// Reverses the order of rows in place (GL reads bottom row first, image files
// start with the top row).
void flipRows(std::vector<unsigned char>& pixels, size_t rowBytes, size_t rowCount);

// A colour texture and a 24-bit depth buffer attached to one framebuffer:
// what a render target, and the renderer's off-screen image, draw into.
struct ColorDepthFramebuffer {
  // Creates the three objects at the size, level 0 of the colour texture in
  // the format (RenderTargetFormat). Returns null when the framebuffer is
  // complete, otherwise the reason ("FBO ...\n"). Either way the screen's
  // framebuffer is bound afterwards.
  const char* createAttachments(int width, int height, int format);

  TextureHandle colorTexture;
  FramebufferHandle framebuffer;
  RenderbufferHandle depthBuffer;
};

class RenderTarget2D : public DataObject, public ColorDepthFramebuffer {
 public:
  // relative: (int)(size * 1920) by (int)(size * 1080); otherwise (int)size
  // square.
  RenderTarget2D(int format, bool relative, float size, const std::string& name);
  RenderTarget2D(int width, int height, int format, const std::string& name);

  void bindTexture(int unit, int minFilter, int magFilter, int wrap) override;
  void begin() override;
  void end(bool buildMipmaps) override;
  std::pair<float, float> getTexelSize() override;
  // On a new press of the 1 key, writes the target's content upright to the
  // first unused capture name.
  void save() override;
  bool active() override;

  // Whether the framebuffer was complete at creation.
  bool complete() const { return isComplete; }

  // A target sized relative to the design size is made again at `scale`
  // times that size (the live preview); content is lost, the next frame
  // draws it. Absolute targets keep their size. False when nothing changed.
  bool resizeForPreview(float scale);

  float width = 0.0f;
  float height = 0.0f;
  GLint savedViewport[4] = {0, 0, 0, 0};
  bool isActive = false;

 private:
  // 0 for a target of absolute size, else its size relative to the design.
  float relativeSize_ = 0.0f;
  int format_ = kFormatRGBA8;

  void initialise(const std::string& targetName);
  bool create(int targetWidth, int targetHeight, int format);
  void writeCapture(const std::string& fileName);

  bool isComplete = false;
  // The 4 x 4 block read by end; kept here so end does not allocate.
  unsigned char finishScratch[4 * 4 * 4] = {};
};
