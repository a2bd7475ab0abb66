#include "demo/demo.h"

#include <cstdio>

#include "app/log.h"
#include "audio/sdl_audio_stream.h"
#include "demo/production_names.h"
#include "gpu/render_target.h"

namespace {
const char* const kDataDirectory = "demosrc\\norde\\data";
const char* const kMusicPath = "demosrc\\norde\\data\\brivel-669.mp3";
const char* const kProjectPath = "demosrc\\norde\\data\\nq.rocket";
const char* const kSyncBase = "demosrc\\norde\\data\\sync\\";
}  // namespace

Demo::Demo(std::unique_ptr<AudioStream> stream)
    : music(stream ? std::move(stream) : std::make_unique<SdlAudioStream>()) {
  // The camera's HUD belongs to its construction, which needs the context.
  camera.createHud();
  music.volume = kInitialVolume;
  addRenderTarget(kFormatRGBA16F, true, 1.0f, names::kBgTarget);
  addRenderTarget(kFormatRGBA16F, true, 1.0f, names::kBackbuffer);
  addRenderTarget(kFormatRGBA16F, true, 0.5f, names::kGaussA);
  addRenderTarget(kFormatRGBA16F, true, 0.25f, names::kGaussB);
  loadDirectory(kDataDirectory);
  music.open(kMusicPath, kProjectPath, kSyncBase);
  setUpScene();
  std::printf("finished init\n");
  std::fflush(stdout);
}

// Members go in reverse order after this: the scene's, the profiler, then the
// music (which logs its farewell), then the registry's list.
Demo::~Demo() { tearDownScene(); }

DataObject* Demo::need(const std::string& name) {
  DataObject* object = find(name);
  if (!object && reportedMissing.insert(name).second) {
    Log("demo: \"%s\" is missing, its pass is skipped\n", name.c_str());
  }
  return object;
}

bool Demo::useProgram(const std::string& name) {
  DataObject* program = need(name);
  if (!program) return false;
  program->bind();
  return true;
}

void Demo::bindTo(const std::string& name, int unit) {
  if (DataObject* texture = need(name)) {
    texture->bindTexture(unit, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE);
  }
}

void Demo::drawScreenQuad() {
  if (DataObject* quad = need(names::kScreenSpace)) quad->drawQuad(0);
}
