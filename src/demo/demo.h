// The production: one object that owns every resource and moving part of the
// show. It is the resource registry (every lookup by name is a lookup on the
// demo), owns the music with its sync values and spectrum, the profiler and
// the scene's members, and renders one frame per call of Frame.
#pragma once

#include <array>
#include <memory>
#include <set>
#include <string>

#include "app/profiler.h"
#include "audio/music_player.h"
#include "camera/camera.h"
#include "demo/gaussian_weights.h"
#include "drawables/line_batch.h"
#include "drawables/quads.h"
#include "drawables/fft_grid.h"
#include "drawables/fft_terrain.h"
#include "gpu/gl.h"
#include "resources/resource_registry.h"

constexpr int kPeakTextureWidth = 256;

class Demo : public ResourceRegistry {
 public:
  // Builds the render targets, loads the data directory, opens the music and
  // sets up the scene. Needs a current GL context. The player passes no
  // stream (the sound device plays the music); the offline renderer passes a
  // clock it drives itself.
  explicit Demo(std::unique_ptr<AudioStream> stream = nullptr);
  ~Demo() override;

  // Render, then the overlay images; false once the music has ended.
  bool Frame();
  bool Render();
  void Blur(float time, float radius);
  void Compose(float time);

  // Scene hooks.
  void CameraStep(double t);
  void PrepareScene();
  void DrawScene();

  MusicPlayer music;
  Profiler profiler;

  // Scene members, in construction order.
  Quads particles;
  LineBatch lines;
  SpectrumTerrain terrain;
  SpectrumGrid grid;
  Camera camera;
  Quads flying;
  Quads genCircles;
  Quads quadBinary;
  GLuint peakTexture = 0;
  int32_t peakTextureWidth = 0;
  std::array<float, kPeakTextureWidth> peakValues{};

 private:
  void setUpScene();
  void tearDownScene();

  // A resource the frame needs. A missing one is reported by the registry on
  // every lookup and logged once; the caller skips its pass or binding.
  DataObject* need(const std::string& name);
  // Binds the named program; false (pass skipped) when it is missing.
  bool useProgram(const std::string& name);
  // Binds the named texture or render target to the unit with the frame's
  // filters (trilinear minification, linear magnification, clamped).
  void bindTo(const std::string& name, int unit);
  void drawScreenQuad();
  // Makes the peak texture the 1D texture of unit 2 when the program samples
  // "Texture2".
  void bindPeakTexture();

  // Per-frame lists, kept across frames so a steady frame does not allocate.
  std::array<vec3, 256> rowLine{};
  std::array<vec3, 256> mirroredRowLine{};
  std::vector<vec4> highPoints;
  float drumFFT = 0.0f;
  mat4 worldMatrix;
  mat4 mirrorMatrix;
  mat4 normalMatrix;

  std::array<float, kBlurTaps> blurWeights = GaussianWeights();
  std::set<std::string> reportedMissing;
};
