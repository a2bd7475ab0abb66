// The three-dimensional part of the show: the spectrum landscape (terrain,
// solid and wire grid), the sun, the flying particles, the quads on every
// terrain point and on the peaks, the spectrum lines, and the camera that
// looks at them. Sets up its members, steps the camera, prepares the frame's
// lists and peak texture, and draws into whatever target is bound
// ("backbuffer"). Reads the music only through the frame's values.
#pragma once

#include <array>
#include <vector>

#include "audio/music_player.h"
#include "base/profiler.h"
#include "base/vector_math.h"
#include "camera/camera.h"
#include "demo/pass_resources.h"
#include "demo/shaded_wires.h"
#include "demo/wire_style.h"
#include "drawables/grid_detail.h"
#include "drawables/line_batch.h"
#include "drawables/quads.h"
#include "drawables/spectrum_grid.h"
#include "drawables/spectrum_terrain.h"
#include "gpu/texture_1d.h"

constexpr int kPeakTextureWidth = 256;

class Scene {
 public:
  // Makes the camera's HUD, so it needs a current GL context.
  Scene(PassResources& passes, Profiler& profiler);

  // Batches, grid, lines, camera keys, the "gridTexture" target and the peak
  // texture; the terrain's first content from the music at its time.
  void setUp(ResourceRegistry& registry, float time, const SpectrumView& spectrum);

  // World matrices, then the free camera, the key path or the orbit.
  void cameraStep(const FrameValues& frame);
  // Terrain, grid, present-row lines, drum level, peak lists and texture.
  void prepare(const FrameValues& frame, const SpectrumCache& spectrum);
  // Every pass of the scene, with profiler marks between them.
  void draw(const FrameValues& frame);

  // Members in construction order.
  Quads particles;
  LineBatch lines;
  SpectrumTerrain terrain;
  SpectrumGrid grid;
  Camera camera;
  Quads flying;
  Quads genCircles;
  Quads quadBinary;
  Texture1D peakTexture;
  std::array<float, kPeakTextureWidth> peakValues{};
  // The passes' size over the design size: widths given in pixels follow it.
  float previewScale = 1.0f;
  // How the wires are drawn below full size (the program picks it from its
  // GL driver).
  WireStyle wireStyle = WireStyle::kLines;

 private:
  // Makes the peak texture the 1D texture of unit 2 when the program samples
  // "Texture2".
  void bindPeakTexture();
  // Runs draw once with the world matrix as "world" and once with its mirror
  // image; draw gets +1 or -1 for the side.
  template <class Draw>
  void drawMirrored(const Draw& draw);
  // The wires shaded into the filled mesh this frame: the style asks for it,
  // the passes are below full size and the variant program can be had.
  bool drawsShadedWires() const;
  // Makes the wire pass's program current (the shaded variant, or the
  // production's wire shader with polygon mode lines); false when the
  // production has no wire shader.
  bool useWireProgram(bool shaded);
  // The grid with the blocks that are small on screen drawn coarse (the
  // terrain holds its 256 x 256 points).
  void updateReducedGrid();

  PassResources& passes_;
  Profiler& profiler_;

  // Per-frame lists, kept across frames so a steady frame does not allocate.
  std::array<vec3, 256> rowLine{};
  std::array<vec3, 256> mirroredRowLine{};
  std::vector<vec4> highPoints;
  float drumFFT = 0.0f;
  mat4 worldMatrix;
  mat4 mirrorMatrix;
  mat4 normalMatrix;
  float minimumLineWidth_ = 0.0f;  // the driver's thinnest smooth line
  ShadedWires shadedWires_;
  std::vector<mat4> clipTransforms_;
  std::vector<uint8_t> coarseBlocks_;
  std::vector<float> blockScratch_;
  std::vector<grid_detail::Corner> reducedCorners_;
};
