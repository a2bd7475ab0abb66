#include "demo/demo.h"

#include <cstdio>

#include "demo/overlay_choice.h"
#include "demo/production_names.h"
#include "demo/render_state.h"
#include "gpu/render_target.h"
#include "gpu/uniforms.h"

namespace {
constexpr float kBlurRadius = 45.0f;
constexpr float kRadiusPerStep = 12.0f;
// The show never ends in its first seconds, and ends within
// kEndOfMusicMargin of the music's end.
constexpr float kEarliestEnd = 2.02f;

// A soundtrack shorter than the earliest end (a sketch's, a test's) would
// otherwise never end the show: it ends at the music's end. Music that did
// not load (length 0) keeps the show going until Escape.
bool musicHasEnded(float time, float length) {
  const bool shortMusic = length > 0.0f && length <= kEarliestEnd;
  return (shortMusic || time > kEarliestEnd) && nearEndOfMusic(time, length);
}
}  // namespace

Demo::Demo(std::unique_ptr<AudioStream> stream, ImagePrefetch* images) : music(std::move(stream)) {
  music.volume = kInitialVolume;
  addRenderTarget(kFormatRGBA16F, true, 1.0f, names::kBgTarget);
  addRenderTarget(kFormatRGBA16F, true, 1.0f, names::kBackbuffer);
  addRenderTarget(kFormatRGBA16F, true, 0.5f, names::kGaussA);
  addRenderTarget(kFormatRGBA16F, true, 0.25f, names::kGaussB);
  loadDirectory(paths::kDataDirectory, images);
  music.open(paths::kMusic, paths::kSyncProject, paths::kSyncBase);
  scene.setUp(*this, music.time, music.spectrum.view());
  std::printf("finished init\n");
  std::fflush(stdout);
}

// Members go in reverse order: the scene's (its peak texture first), the
// profiler, then the music (which logs its farewell), then the registry's
// list.
Demo::~Demo() = default;

bool Demo::Render() {
  DrawScene(Step());
  return !musicEnded();
}

bool Demo::musicEnded() const { return musicHasEnded(music.time, music.length); }

FrameValues Demo::Step() {
  profiler.BeginFrame();
  music.update();
  const FrameValues frame = music.frameValues();
  scene.cameraStep(frame);
  profiler.Mark("Frame initialization");
  return frame;
}

void Demo::DrawScene(const FrameValues& frame) {
  scene.prepare(frame, music.spectrum);

  if (DataObject* bg = passes_.need(names::kBgTarget)) {
    bg->begin();
    glClearDepth(1.0);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setCullDepthBlend(false, false, false);
    if (passes_.useProgram(names::kBgShader)) passes_.drawScreenQuad();
    bg->end(true);
  }

  DataObject* backbuffer = passes_.need(names::kBackbuffer);
  if (backbuffer) {
    backbuffer->begin();
    const float grey = frame.values[kBackgroundGrey];
    glClearColor(grey, grey, grey, grey);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    setCullDepthBlend(false, false, false);
    if (passes_.useProgram(names::kBlitShader)) {
      passes_.bindTo(names::kBgTarget, 0);
      passes_.drawScreenQuad();
    }
  }
  scene.draw(frame);
  if (backbuffer) backbuffer->end(true);
  profiler.Mark("Mipmap backbuffer");

  Blur(frame.time, kBlurRadius * previewScale_);
  profiler.Mark("Blur");
  Compose(frame);
  profiler.Mark("Blit/Post-proc");
  profiler.EndFrame();
}

void Demo::setPreviewScale(float scale) {
  previewScale_ = scale;
  scene.previewScale = scale;
  for (const std::unique_ptr<DataObject>& object : objects) {
    if (auto* target = dynamic_cast<RenderTarget2D*>(object.get())) target->resizeForPreview(scale);
  }
}

bool Demo::Frame() {
  const bool goesOn = Render();
  DrawOverlay(music.frameValues());
  return goesOn;
}

void Demo::DrawOverlay(const FrameValues& frame) {
  const OverlayChoice overlay = chooseOverlay(frame.values[kOverlayA], frame.values[kOverlayB]);
  if (!overlay.drawn) return;
  // Without its image the overlay would add whatever unit 0 holds: skip it.
  DataObject* imageA = passes_.need(overlay.imageA);
  if (!imageA) return;
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  blendAdditive();
  if (passes_.useProgram(names::kOverlayShader)) {
    setUniform1f("transparencyA", overlay.transparencyA);
    setUniform1f("time", frame.time);
    imageA->bindTexture(0, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE);
    if (overlay.hasImageB) passes_.bindTo(overlay.imageB, 1);
    setUniform1f("transparencyB", overlay.transparencyB);
    passes_.drawScreenQuad();
  }
}

// The blur of the finished scene: "backbuffer" -> "gaussA" (horizontal) ->
// "gaussB" (vertical).
void Demo::Blur(float time, float radius) {
  setCullDepthBlend(false, false, false);
  const float scale = radius / kRadiusPerStep;
  DataObject* backbuffer = passes_.need(names::kBackbuffer);
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
  const Pass blurPasses[] = {{names::kGaussA, names::kBackbuffer, stepX, 0.0f, false},
                             {names::kGaussB, names::kGaussA, 0.0f, stepY, true}};
  for (const Pass& pass : blurPasses) {
    DataObject* target = passes_.need(pass.target);
    if (!target) continue;
    target->begin();
    if (pass.clear) {
      glClearColor(1.0f, 1.0f, 0.0f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    if (passes_.useProgram(names::kBlurShader)) {
      passes_.bindTo(pass.source, 0);
      setUniform1i("taps", kBlurTaps);
      setUniform1fv("weights", kBlurTaps, blurWeights.data());
      setUniform2f("texelSize", pass.x, pass.y);
      setUniform1f("time", time);
      passes_.drawScreenQuad();
    }
    endActiveRenderTargets(0);
  }
}

// The final composition on the screen: the scene and its blur.
void Demo::Compose(const FrameValues& frame) {
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  setCullDepthBlend(false, false, false);
  if (!passes_.useProgram(names::kComposeShader)) return;
  passes_.bindTo(names::kBackbuffer, 0);
  passes_.bindTo(names::kGaussB, 1);
  setUniform1f("time", frame.time);
  setUniform1f("fade", 1.0f);
  setUniform1f("white", frame.values[kWhiteFlash]);
  passes_.drawScreenQuad();
}

std::vector<std::string> Demo::sourceFiles() const {
  std::vector<std::string> files;
  for (const std::unique_ptr<DataObject>& object : objects) {
    if (object->path.empty()) continue;
    files.push_back(object->path);
    files.insert(files.end(), object->includeFiles.begin(), object->includeFiles.end());
  }
  return files;
}

std::vector<std::string> Demo::includesOf(const std::string& resourcePath) const {
  for (const std::unique_ptr<DataObject>& object : objects) {
    if (object->path == resourcePath) return object->includeFiles;
  }
  return {};
}
