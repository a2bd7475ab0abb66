#include "demo/scene.h"

#include <algorithm>
#include <cmath>

#include "base/screen.h"
#include "camera/camera_matrices.h"
#include "demo/preview_scale.h"
#include "demo/production_names.h"
#include "demo/render_state.h"
#include "gpu/render_target.h"
#include "gpu/uniforms.h"

namespace {
constexpr int kGridSize = 256;
constexpr int kPresentRow = SpectrumTerrain::kPresentRow;
constexpr int kHighPointsPerPeak = 15;
constexpr int kSpectrumLineRows = 6;
constexpr int kFlyingCount = 2000;
constexpr int kParticleCount = 10;
constexpr int kBinaryCount = kGridSize * kGridSize;
constexpr float kWireWidth = 0.5f;  // pixels of the design size
// Passes below half the design size draw a block of 2 x 2 grid cells as two
// triangles where it spans at most this many pixels on screen: the picture
// stays within the preview's bound of the full-size frame, and a frame at the
// fit scale of a 640x360 window draws a third to half fewer triangles.
constexpr float kCoarseBlockPixels = 12.0f;

// A driver draws smooth lines no thinner than its minimum width: a wire
// asked for thinner covers more of the picture than it should. The share of
// the drawn width that a wire of `width` pixels should cover, relative to the
// full-size wire, so that a smaller preview fades its wires as much as they
// thicken. Exactly 1 at full size.
float wireCoverage(float width, float minimumWidth) {
  const float fullSize = kWireWidth / std::max(kWireWidth, minimumWidth);
  return width / std::max(width, minimumWidth) / fullSize;
}

const vec4& pointAt(const SpectrumTerrain& terrain, int row, int column) {
  return terrain.points[static_cast<size_t>(row * kGridSize + column)];
}
}  // namespace

Scene::Scene(PassResources& passes, Profiler& profiler) : passes_(passes), profiler_(profiler) {
  // The camera's HUD belongs to its construction, which needs the context.
  camera.createHud();
}

void Scene::setUp(ResourceRegistry& registry, float time, const SpectrumView& spectrum) {
  particles.create("particles", kParticleCount);
  grid.create();
  lines.create();
  camera.load(paths::kCameraKeys);
  registry.addRenderTarget(1024, 4096, kFormatRGBA8, names::kGridTexture);
  flying.create("flying", kFlyingCount);
  genCircles.create("genCircles", kParticleCount);
  quadBinary.create("quadBinary", kBinaryCount);
  peakTexture.create(kPeakTextureWidth);
  GLfloat lineWidths[2] = {0.0f, 0.0f};
  glGetFloatv(GL_SMOOTH_LINE_WIDTH_RANGE, lineWidths);
  minimumLineWidth_ = lineWidths[0];

  highPoints.reserve(static_cast<size_t>(kHighPointsPerPeak) * kGridSize);
  terrain.fill(time, spectrum);
}

void Scene::bindPeakTexture() {
  if (!setUniform1i("Texture2", 2)) return;
  peakTexture.bind(2);
}

template <class Draw>
void Scene::drawMirrored(const Draw& draw) {
  setUniformMatrix4("world", worldMatrix.m);
  draw(1.0f);
  setUniformMatrix4("world", mirrorMatrix.m);
  draw(-1.0f);
}

void Scene::cameraStep(const FrameValues& frame) {
  const double t = static_cast<double>(frame.time);
  worldMatrix = identityMat4();
  mirrorMatrix = identityMat4();
  for (int r = 0; r < 4; ++r) mirrorMatrix.at(0, r) = -mirrorMatrix.at(0, r);
  normalMatrix = transpose(inverse(worldMatrix));

  if (camera.control()) return;
  const float* v = frame.values;
  if (camera.evaluatePath(keyIndexFromSync(v[kKeyA]), keyIndexFromSync(v[kKeyB]), v[kKeyBlend])) return;
  // No usable keys: circle the origin.
  const float a = static_cast<float>(t * 0.2);
  camera.eyePos = {static_cast<float>(std::sin(a)) * 150.0f,
                   static_cast<float>(std::sin(t * 0.4) * 30.0 + 50.0),
                   static_cast<float>(std::cos(a)) * 150.0f};
  camera.lookAt = {0.0f, 0.0f, 0.0f};
  camera.fov = 60.0f;
}

bool Scene::drawsShadedWires() const {
  return wireStyle == WireStyle::kShadedBelowFullSize && previewScale < 1.0f && !shadedWires_.failed();
}

bool Scene::useWireProgram(bool shaded) {
  DataObject* wire = passes_.need(names::kWireShader);
  if (!wire) return false;
  if (shaded && shadedWires_.use(*wire)) return true;
  // Lines after all: the variant could not be built.
  if (shaded) glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  wire->bind();
  return true;
}

void Scene::updateReducedGrid() {
  const mat4 viewProjection = cameraMatrices(camera.eyePos, camera.lookAt, camera.upVector, camera.fov,
                                             resolveAspect(camera.ratio, screenAspect), camera.near, camera.far)
                                  .viewProjection;
  clipTransforms_.assign({viewProjection * worldMatrix, viewProjection * mirrorMatrix});
  const PassSize pass = passSizeAt(previewScale);
  grid_detail::markCoarseBlocks(terrain.points.data(), clipTransforms_, static_cast<float>(pass.width),
                                static_cast<float>(pass.height), kCoarseBlockPixels, coarseBlocks_, blockScratch_);
  grid_detail::reducedTriangles(coarseBlocks_, reducedCorners_);
  grid.updateReduced(terrain.points.data(), terrain.points.size(), kGridSize, kGridSize, reducedCorners_);
}

void Scene::prepare(const FrameValues& frame, const SpectrumCache& spectrum) {
  const float* v = frame.values;
  terrain.update(frame.time, v[kHeightGain], v[kHeightPower], v[kBend], spectrum.view());
  profiler_.Mark("Fetched FFT data for GRID");
  // Shaded wires still find every row and column of a coarse block; lines
  // would lose them.
  const bool belowHalfSize = passSizeAt(previewScale).width * 2 < static_cast<int>(kDesignWidth);
  if (drawsShadedWires() && belowHalfSize && terrain.points.size() == static_cast<size_t>(kGridSize) * kGridSize) {
    updateReducedGrid();
  } else {
    grid.updateGrid(terrain.points, kGridSize, kGridSize);
  }
  profiler_.Mark("Update Grid");

  for (int c = 0; c < kGridSize; ++c) {
    const vec4& p = pointAt(terrain, kPresentRow, c);
    rowLine[static_cast<size_t>(c)] = {p.x, p.y, p.z};
    mirroredRowLine[static_cast<size_t>(c)] = {-p.x, p.y, p.z};
  }

  drumFFT = 0.0f;
  for (int c = 5; c <= 9; ++c) {
    float s = pointAt(terrain, 192, c).y;
    for (int row = 194; row <= 200; row += 2) s += pointAt(terrain, row, c).y;
    drumFFT = static_cast<float>(static_cast<double>(drumFFT) + static_cast<double>(s) / 5.0);
  }

  peakValues.fill(0.0f);
  highPoints.clear();
  const std::vector<BandStatistics>& statistics = spectrum.statistics;
  const size_t peaks = std::min(terrain.peakColumns.size(), terrain.peakStrengths.size());
  for (size_t a = 0; a < peaks; ++a) {
    const int k = terrain.peakColumns[a];
    if (k < 0 || k >= kGridSize) continue;
    const vec4& p = pointAt(terrain, kPresentRow, k);
    const vec3& n = terrain.normals[static_cast<size_t>(kPresentRow * kGridSize + k)];
    const float s = terrain.peakStrengths[a];
    const size_t band = static_cast<size_t>(k / 2);
    // A zero mean makes the entry infinite, as the shader expects to see it.
    const float mean = band < statistics.size() ? statistics[band].mean : 0.0f;
    peakValues[static_cast<size_t>(k)] = s / mean;
    for (int L = 0; L < kHighPointsPerPeak; ++L) {
      const float d = 5.0f * static_cast<float>(L);
      const double w = static_cast<double>(s) -
                       static_cast<double>(static_cast<float>(L) * s) / static_cast<double>(kHighPointsPerPeak);
      highPoints.push_back({p.x + n.x * d, p.y + n.y * d, p.z + n.z * d,
                            static_cast<float>(std::max(0.0, w))});
    }
  }

  peakTexture.bind(2);
  peakTexture.upload(peakValues.data());
}

void Scene::draw(const FrameValues& frame) {
  const float* v = frame.values;
  const float time = frame.time;

  // Solid grid, and its mirror image.
  glDisable(GL_CULL_FACE);
  depthOn();
  blendAlpha();
  if (passes_.useProgram(names::kGridShader)) {
    passes_.bindTo(names::kBgTarget, 0);
    bindPeakTexture();
    setUniform1f("time", time);
    setUniform3f("lightPos", v[kLightX], v[kLightY], v[kLightZ]);
    setUniform1f("gridAmplitude", v[kGridAmplitude]);
    setUniform1f("bgColor", v[kBackgroundGrey]);
    setUniform1f("shapeValue", v[kBend]);
    setUniform1f("spectrumMultiplier", v[kSpectrumMultiplier]);
    setUniform1f("drumFFT", drumFFT);
    setUniform1f("drumMultiplier", v[kDrumMultiplier]);
    camera.setUniforms();
    if (v[kGridAmplitude] != 0.0f) {  // a non-number counts as non-zero
      drawMirrored([&](float) { grid.draw(); });
    }
  }
  profiler_.Mark("Draw FFT Grid");

  // Wire grid over it: smooth lines, or the mesh filled with the wires
  // shaded into it.
  const bool shaded = drawsShadedWires();
  if (!shaded) glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glEnable(GL_LINE_SMOOTH);
  const float wireWidth = kWireWidth * previewScale;
  glLineWidth(wireWidth);
  glDisable(GL_CULL_FACE);
  depthOn();
  blendAlpha();
  if (useWireProgram(shaded)) {
    // What the driver draws as the line, in pixels of the pass.
    setUniform1f("shadedWireWidth", std::max(wireWidth, minimumLineWidth_));
    passes_.bindTo(names::kBgTarget, 0);
    setUniform1f("time", time);
    setUniform3f("lightPos", v[kLightX], v[kLightY], v[kLightZ]);
    setUniform1f("wireAmplitude", v[kWireAmplitude]);
    setUniform1f("wireCoverage", wireCoverage(wireWidth, minimumLineWidth_));
    setUniform1f("bgColor", v[kBackgroundGrey]);
    setUniform1f("drumFFT", drumFFT);
    setUniform1f("drumMultiplier", v[kDrumMultiplier]);
    camera.setUniforms();
    drawMirrored([&](float) { grid.draw(); });
  }
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  profiler_.Mark("Draw Lines");

  // The sun: cull off and depth test on, as the wire pass left them.
  glDepthMask(GL_FALSE);
  if (passes_.useProgram(names::kSunShader)) {
    blendAdditive();
    camera.setUniforms();
    setUniform1f("time", time);
    setUniform3f("dynLightPos", v[kLightX], v[kLightY], v[kLightZ]);
    setUniformMatrix4("iworld", normalMatrix.m);
    setUniformMatrix4("world", worldMatrix.m);
    setUniform1f("sunMultiplier", v[kSunMultiplier]);
    particles.draw(kParticleCount);
  }
  glDepthMask(GL_TRUE);
  profiler_.Mark("Draw lightPos");

  // Flying particles.
  glDepthMask(GL_FALSE);
  if (passes_.useProgram(names::kFlyingShader)) {
    blendAlpha();
    camera.setUniforms();
    setUniform1f("time", time);
    setUniformMatrix4("iworld", normalMatrix.m);
    setUniformMatrix4("world", worldMatrix.m);
    setUniform1f("amplifier", v[kAmplifier]);
    bindPeakTexture();
    passes_.bindTo(names::kPointSprite, 0);
    flying.draw(kFlyingCount);
  }
  glDepthMask(GL_TRUE);
  profiler_.Mark("Draw Flying Particles");

  // A quad on every terrain point, and on the peaks of the present row.
  setCullDepthBlend(false, false, false);
  blendAdditive();
  if (passes_.useProgram(names::kBinaryShader)) {
    passes_.bindTo(names::kBinaryImage, 0);
    passes_.bindTo(names::kBgTarget, 1);
    camera.setUniforms();
    setUniform1f("time", time);
    setUniform1f("binaryValue", v[kBinaryValue]);
    quadBinary.setPositions(terrain.points);
    drawMirrored([&](float side) {
      setUniform1f("inverse", side);
      quadBinary.draw(kBinaryCount);
    });
  }
  setCullDepthBlend(false, false, false);
  blendAdditive();
  if (passes_.useProgram(names::kHighShader)) {
    passes_.bindTo(names::kDotImage, 0);
    camera.setUniforms();
    setUniform1f("time", time);
    setUniform1f("highValue", v[kHighValue]);
    setUniform1f("highThreshold", v[kHighThreshold]);
    quadBinary.setPositions(highPoints);
    const int count = static_cast<int>(highPoints.size()) - 1;
    drawMirrored([&](float) { quadBinary.draw(count); });
  }

  // Spectrum lines: the present row, then six rows behind it at its x and z.
  auto drawLinePair = [&](float shade) {
    camera.setUniforms();
    setUniform1f("lineWidth", 1.0f);
    setUniform4f("lineColor", shade, shade, shade, shade);
    setUniformMatrix4("world", worldMatrix.m);
    lines.draw();
    lines.setPoints(mirroredRowLine.data(), mirroredRowLine.size());
    lines.draw();
  };
  lines.setPoints(rowLine.data(), rowLine.size());
  if (passes_.useProgram(names::kLineShader)) {
    setCullDepthBlend(false, false, false);
    blendAlpha();
    drawLinePair(1.0f);
    for (int i = 1; i <= kSpectrumLineRows; ++i) {
      for (int c = 0; c < kGridSize; ++c) {
        const float y = pointAt(terrain, kPresentRow + 4 * i, c).y;
        rowLine[static_cast<size_t>(c)].y = y;
        mirroredRowLine[static_cast<size_t>(c)].y = y;
      }
      passes_.useProgram(names::kLineShader);
      lines.setPoints(rowLine.data(), rowLine.size());
      drawLinePair(static_cast<float>(i));
    }
  }
  profiler_.Mark("Draw Spectrum Lines");
}
