// The production: one object that owns every resource and moving part of the
// show. It is the resource registry (every lookup by name is a lookup on the
// demo), owns the music with its sync values and spectrum, the profiler and
// the scene, and renders one frame per call of Frame: background, scene,
// blur, composition on the screen, overlay images on top.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "audio/music_player.h"
#include "base/profiler.h"
#include "demo/gaussian_weights.h"
#include "demo/pass_resources.h"
#include "demo/scene.h"
#include "demo/wire_style.h"
#include "gpu/image_prefetch.h"
#include "gpu/resource_registry.h"

class Demo : public ResourceRegistry {
 public:
  // Builds the render targets, loads the data directory, opens the music
  // through the stream and sets up the scene. Needs a current GL context.
  // The player hands in the sound device's stream; the offline renderer a
  // clock it drives itself. Either may have started the music's decode
  // (AudioStream::prefetch) and the images' (`images`) before the context
  // existed; the set-up and its log are the same as without.
  explicit Demo(std::unique_ptr<AudioStream> stream, ImagePrefetch* images = nullptr);
  ~Demo() override;

  // Render, then the overlay images; false once the music has ended.
  bool Frame();
  // Step, then DrawScene; false once the music has ended.
  bool Render();
  // The frame's first half: the music's clock and values, the camera (its
  // keys and free movement). Changes nothing on screen.
  FrameValues Step();
  // The frame's passes for the values Step returned: background, scene,
  // blur, composition on the screen.
  void DrawScene(const FrameValues& frame);
  // The numbered images the sync values ask for, over the picture.
  void DrawOverlay(const FrameValues& frame);
  bool musicEnded() const;
  void Blur(float time, float radius);
  void Compose(const FrameValues& frame);

  // Draws every pass at `scale` times the design size (0.25 to 1): the live
  // preview and the renderer's drafts. What is given in design pixels (the
  // blur's reach, line widths) follows, so the picture stays the same, only
  // smaller. 1, the default, is the show.
  void setPreviewScale(float scale);
  float previewScale() const { return previewScale_; }
  // How the wires are drawn below full size; the program picks it from its
  // GL driver (wireStyleForRenderer), a test may name one.
  void setWireStyle(WireStyle style) { scene.wireStyle = style; }

  // What live reload asks of the production, so that the reloader names
  // none of its members: the files its resources came from, and the owners
  // of the camera keys and the sync tracks.
  // Every loaded resource's file, then the files it includes.
  std::vector<std::string> sourceFiles() const;
  std::vector<std::string> includesOf(const std::string& resourcePath) const;
  ReloadResults reloadCameraKeys(const std::string& path) { return scene.camera.reloadKeys(path); }
  ReloadResult reloadTrackFile(const std::string& path) { return music.reloadTrackFile(path); }
  ReloadResult applySyncText(const std::string& path, const std::string& text, int& trackCount,
                             TrackFolderChanges& changes) {
    return music.applySyncText(path, text, trackCount, changes);
  }

  MusicPlayer music;
  Profiler profiler;

 private:
  PassResources passes_{*this};

 public:
  Scene scene{passes_, profiler};

 private:
  std::array<float, kBlurTaps> blurWeights = GaussianWeights();
  float previewScale_ = 1.0f;
};
