// One frame of the show: clock and sync values, camera, scene preparation,
// background into "bg", scene into "backbuffer", blur, composition on the
// screen, and the numbered overlay images on top.
#include "demo/demo.h"
#include "demo/overlay_choice.h"
#include "demo/production_names.h"
#include "demo/render_state.h"
#include "gpu/uniforms.h"

namespace {
constexpr float kBlurRadius = 45.0f;
// The show never ends in its first seconds, and ends within 50 ms of the
// music's end.
constexpr float kEarliestEnd = 2.02f;
constexpr double kEndMargin = 0.05;
}  // namespace

bool Demo::Render() {
  profiler.BeginFrame();
  const double t = music.update();
  CameraStep(t);
  profiler.Mark("Frame initialization");
  PrepareScene();

  if (DataObject* bg = need(names::kBgTarget)) {
    bg->begin();
    glClearDepth(1.0);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setCullDepthBlend(false, false, false);
    if (useProgram(names::kBgShader)) drawScreenQuad();
    bg->end(true);
  }

  DataObject* backbuffer = need(names::kBackbuffer);
  if (backbuffer) {
    backbuffer->begin();
    const float grey = music.values[kBackgroundGrey];
    glClearColor(grey, grey, grey, grey);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setCullDepthBlend(false, false, false);
    if (useProgram(names::kBlitShader)) {
      bindTo(names::kBgTarget, 0);
      drawScreenQuad();
    }
  }
  DrawScene();
  if (backbuffer) backbuffer->end(true);
  profiler.Mark("Mipmap backbuffer");

  const float time = static_cast<float>(t);
  Blur(time, kBlurRadius);
  profiler.Mark("Blur");
  Compose(time);
  profiler.Mark("Blit/Post-proc");
  profiler.EndFrame();

  const bool ended = music.time > kEarliestEnd &&
                     static_cast<double>(music.time) > static_cast<double>(music.length) - kEndMargin;
  return !ended;
}

bool Demo::Frame() {
  const bool goesOn = Render();
  const OverlayChoice overlay = chooseOverlay(music.values[kOverlayA], music.values[kOverlayB]);
  if (!overlay.drawn) return goesOn;
  // Without its image the overlay would add whatever unit 0 holds: skip it.
  DataObject* imageA = need(overlay.imageA);
  if (!imageA) return goesOn;
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  blendAdditive();
  if (useProgram(names::kOverlayShader)) {
    setUniform1f("transparencyA", overlay.transparencyA);
    setUniform1f("time", music.time);
    imageA->bindTexture(0, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE);
    if (overlay.hasImageB) bindTo(overlay.imageB, 1);
    setUniform1f("transparencyB", overlay.transparencyB);
    drawScreenQuad();
  }
  return goesOn;
}
