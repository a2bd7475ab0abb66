// The blur of the finished scene ("backbuffer" -> "gaussA" -> "gaussB") and
// the final composition on the screen.
#include "demo/demo.h"
#include "demo/production_names.h"
#include "demo/render_state.h"
#include "gpu/uniforms.h"

namespace {
constexpr float kRadiusPerStep = 12.0f;
}  // namespace

void Demo::Blur(float time, float radius) {
  setCullDepthBlend(false, false, false);
  const float scale = radius / kRadiusPerStep;
  DataObject* backbuffer = need(names::kBackbuffer);
  if (!backbuffer) return;
  // Both passes step by the backbuffer's texel, although the second samples
  // the half-size "gaussA": the vertical pass reaches as far as the first.
  const std::pair<float, float> texel = backbuffer->getTexelSize();
  const float stepX = texel.first * scale;
  const float stepY = texel.second * scale;

  struct Pass {
    const std::string& target;
    const std::string& source;
    float x, y;
    bool clear;
  };
  const Pass passes[] = {{names::kGaussA, names::kBackbuffer, stepX, 0.0f, false},
                         {names::kGaussB, names::kGaussA, 0.0f, stepY, true}};
  for (const Pass& pass : passes) {
    DataObject* target = need(pass.target);
    if (!target) continue;
    target->begin();
    if (pass.clear) {
      glClearColor(1.0f, 1.0f, 0.0f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    if (useProgram(names::kBlurShader)) {
      bindTo(pass.source, 0);
      setUniform1i("taps", kBlurTaps);
      setUniform1fv("weights", kBlurTaps, blurWeights.data());
      setUniform2f("texelSize", pass.x, pass.y);
      setUniform1f("time", time);
      drawScreenQuad();
    }
    endActiveRenderTargets(0);
  }
}

void Demo::Compose(float time) {
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  setCullDepthBlend(false, false, false);
  if (!useProgram(names::kComposeShader)) return;
  bindTo(names::kBackbuffer, 0);
  bindTo(names::kGaussB, 1);
  setUniform1f("time", time);
  setUniform1f("fade", 1.0f);
  setUniform1f("white", music.values[kWhiteFlash]);
  drawScreenQuad();
}
