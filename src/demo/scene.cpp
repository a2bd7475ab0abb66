// The three-dimensional part of the show: set-up of the scene's members, the
// camera step (free camera, key path or orbit), the preparation of terrain,
// grid, peak lists and peak texture, and the passes that draw into
// "backbuffer".
#include <algorithm>
#include <cmath>

#include "app/log.h"
#include "demo/demo.h"
#include "demo/production_names.h"
#include "demo/render_state.h"
#include "gpu/render_target.h"
#include "gpu/uniforms.h"

namespace {
const char* const kCameraKeyFile = "demosrc\\norde\\cam1.cam";

constexpr int kGridSize = 256;
constexpr int kPresentRow = SpectrumTerrain::kPresentRow;
constexpr int kHighPointsPerPeak = 15;
constexpr int kSpectrumLineRows = 6;
constexpr int kFlyingCount = 2000;
constexpr int kParticleCount = 10;
constexpr int kBinaryCount = kGridSize * kGridSize;

const vec4& pointAt(const SpectrumTerrain& terrain, int row, int column) {
  return terrain.points[static_cast<size_t>(row * kGridSize + column)];
}
}  // namespace

void Demo::setUpScene() {
  particles.create("particles", kParticleCount);
  grid.create();
  lines.create();
  camera.load(kCameraKeyFile);
  addRenderTarget(1024, 4096, kFormatRGBA8, names::kGridTexture);
  flying.create("flying", kFlyingCount);
  genCircles.create("genCircles", kParticleCount);
  quadBinary.create("quadBinary", kBinaryCount);

  glGenTextures(1, &peakTexture);
  glBindTexture(GL_TEXTURE_1D, peakTexture);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  peakTextureWidth = kPeakTextureWidth;
  const std::vector<float> zeros(kPeakTextureWidth, 0.0f);
  glTexImage1D(GL_TEXTURE_1D, 0, GL_R32F, peakTextureWidth, 0, GL_RED, GL_FLOAT, zeros.data());
  glBindTexture(GL_TEXTURE_1D, 0);

  highPoints.reserve(static_cast<size_t>(kHighPointsPerPeak) * kGridSize);
  terrain.fill(music.time, music.spectrum.view());
}

void Demo::tearDownScene() {
  if (peakTexture != 0) glDeleteTextures(1, &peakTexture);
  peakTexture = 0;
}

void Demo::bindPeakTexture() {
  if (!setUniform1i("Texture2", 2)) return;
  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_1D, peakTexture);
}

void Demo::CameraStep(double t) {
  worldMatrix = identityMat4();
  mirrorMatrix = identityMat4();
  for (int r = 0; r < 4; ++r) mirrorMatrix.at(0, r) = -mirrorMatrix.at(0, r);
  normalMatrix = transpose(inverse(worldMatrix));

  if (camera.control()) return;
  const float* v = music.values;
  if (camera.evaluatePath(keyIndexFromSync(v[kKeyA]), keyIndexFromSync(v[kKeyB]), v[kKeyBlend])) return;
  // No usable keys: circle the origin.
  const float a = static_cast<float>(t * 0.2);
  camera.eyePos = {static_cast<float>(std::sin(a)) * 150.0f,
                   static_cast<float>(std::sin(t * 0.4) * 30.0 + 50.0),
                   static_cast<float>(std::cos(a)) * 150.0f};
  camera.lookAt = {0.0f, 0.0f, 0.0f};
  camera.fov = 60.0f;
}

void Demo::PrepareScene() {
  const float* v = music.values;
  const SpectrumView view = music.spectrum.view();
  terrain.update(music.time, v[kHeightGain], v[kHeightPower], v[kBend], view);
  profiler.Mark("Fetched FFT data for GRID");
  grid.updateGrid(terrain.points, kGridSize, kGridSize);
  profiler.Mark("Update Grid");

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
  const std::vector<BandStatistics>& statistics = music.spectrum.statistics;
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

  glActiveTexture(GL_TEXTURE2);
  glBindTexture(GL_TEXTURE_1D, peakTexture);
  glTexSubImage1D(GL_TEXTURE_1D, 0, 0, kPeakTextureWidth, GL_RED, GL_FLOAT, peakValues.data());
}

void Demo::DrawScene() {
  const float* v = music.values;
  const float time = music.time;

  // Solid grid, and its mirror image.
  glDisable(GL_CULL_FACE);
  depthOn();
  blendAlpha();
  if (useProgram(names::kGridShader)) {
    bindTo(names::kBgTarget, 0);
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
      setUniformMatrix4("world", worldMatrix.m);
      grid.draw();
      setUniformMatrix4("world", mirrorMatrix.m);
      grid.draw();
    }
  }
  profiler.Mark("Draw FFT Grid");

  // Wire grid over it.
  glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
  glEnable(GL_LINE_SMOOTH);
  glLineWidth(0.5f);
  glDisable(GL_CULL_FACE);
  depthOn();
  blendAlpha();
  if (useProgram(names::kWireShader)) {
    bindTo(names::kBgTarget, 0);
    setUniform1f("time", time);
    setUniform3f("lightPos", v[kLightX], v[kLightY], v[kLightZ]);
    setUniform1f("wireAmplitude", v[kWireAmplitude]);
    setUniform1f("bgColor", v[kBackgroundGrey]);
    setUniform1f("drumFFT", drumFFT);
    setUniform1f("drumMultiplier", v[kDrumMultiplier]);
    camera.setUniforms();
    setUniformMatrix4("world", worldMatrix.m);
    grid.draw();
    setUniformMatrix4("world", mirrorMatrix.m);
    grid.draw();
  }
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  profiler.Mark("Draw Lines");

  // The sun: cull off and depth test on, as the wire pass left them.
  glDepthMask(GL_FALSE);
  if (useProgram(names::kSunShader)) {
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
  profiler.Mark("Draw lightPos");

  // Flying particles.
  glDepthMask(GL_FALSE);
  if (useProgram(names::kFlyingShader)) {
    blendAlpha();
    camera.setUniforms();
    setUniform1f("time", time);
    setUniformMatrix4("iworld", normalMatrix.m);
    setUniformMatrix4("world", worldMatrix.m);
    setUniform1f("amplifier", v[kAmplifier]);
    bindPeakTexture();
    bindTo(names::kPointSprite, 0);
    flying.draw(kFlyingCount);
  }
  glDepthMask(GL_TRUE);
  profiler.Mark("Draw Flying Particles");

  // A quad on every terrain point, and on the peaks of the present row.
  setCullDepthBlend(false, false, false);
  blendAdditive();
  if (useProgram(names::kBinaryShader)) {
    bindTo(names::kBinaryImage, 0);
    bindTo(names::kBgTarget, 1);
    camera.setUniforms();
    setUniform1f("time", time);
    setUniform1f("binaryValue", v[kBinaryValue]);
    quadBinary.setPositions(terrain.points);
    setUniformMatrix4("world", worldMatrix.m);
    setUniform1f("inverse", 1.0f);
    quadBinary.draw(kBinaryCount);
    setUniformMatrix4("world", mirrorMatrix.m);
    setUniform1f("inverse", -1.0f);
    quadBinary.draw(kBinaryCount);
  }
  setCullDepthBlend(false, false, false);
  blendAdditive();
  if (useProgram(names::kHighShader)) {
    bindTo(names::kDotImage, 0);
    camera.setUniforms();
    setUniform1f("time", time);
    setUniform1f("highValue", v[kHighValue]);
    setUniform1f("highThreshold", v[kHighThreshold]);
    quadBinary.setPositions(highPoints);
    const int count = static_cast<int>(highPoints.size()) - 1;
    setUniformMatrix4("world", worldMatrix.m);
    quadBinary.draw(count);
    setUniformMatrix4("world", mirrorMatrix.m);
    quadBinary.draw(count);
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
  if (useProgram(names::kLineShader)) {
    setCullDepthBlend(false, false, false);
    blendAlpha();
    drawLinePair(1.0f);
    for (int i = 1; i <= kSpectrumLineRows; ++i) {
      for (int c = 0; c < kGridSize; ++c) {
        const float y = pointAt(terrain, kPresentRow + 4 * i, c).y;
        rowLine[static_cast<size_t>(c)].y = y;
        mirroredRowLine[static_cast<size_t>(c)].y = y;
      }
      useProgram(names::kLineShader);
      lines.setPoints(rowLine.data(), rowLine.size());
      drawLinePair(static_cast<float>(i));
    }
  }
  profiler.Mark("Draw Spectrum Lines");
}
