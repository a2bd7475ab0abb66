// The production in one place: where its files are (program paths, relative
// to the working directory), the names the frame code finds resources by, and
// which sync track drives what.
#pragma once

#include <string>

namespace paths {
inline const std::string kProduction = "demosrc\\norde";
inline const std::string kDataDirectory = kProduction + "\\data";
inline const std::string kMusic = kDataDirectory + "\\brivel-669.mp3";
// The sync editor's project: handed to the player, which does not read it.
inline const std::string kSyncProject = kDataDirectory + "\\nq.project";
// Track files are this prefix + "_<name>.track".
inline const std::string kSyncBase = kDataDirectory + "\\sync\\";
inline const std::string kCameraKeys = kProduction + "\\cam1.cam";
// The readable sync source the track files are built from, and the music's
// section table (both optional).
inline const std::string kSyncText = kProduction + "\\sync.txt";
inline const std::string kSections = kProduction + "\\sections.txt";
}  // namespace paths

namespace names {
// Render targets and the registry's full-screen quad.
inline const std::string kScreenSpace = "screenSpace";
inline const std::string kBgTarget = "bg";
inline const std::string kBackbuffer = "backbuffer";
inline const std::string kGaussA = "gaussA";
inline const std::string kGaussB = "gaussB";
inline const std::string kGridTexture = "gridTexture";

// Programs.
inline const std::string kBgShader = "bg.glsl";
inline const std::string kBlitShader = "blit.glsl";
inline const std::string kOverlayShader = "overlay.glsl";
inline const std::string kBlurShader = "noiseGaussBlur.glsl";
inline const std::string kComposeShader = "postProc-1.glsl";
inline const std::string kGridShader = "subdividedGrid.glsl";
inline const std::string kWireShader = "whiteLines.glsl";
inline const std::string kSunShader = "particleSun.glsl";
inline const std::string kFlyingShader = "flyingParticles.glsl";
inline const std::string kBinaryShader = "quads-binary.glsl";
inline const std::string kHighShader = "high.glsl";
inline const std::string kLineShader = "line3Drenderer.glsl";

// Images.
inline const std::string kPointSprite = "pointRenderer.png";
inline const std::string kBinaryImage = "binary.png";
inline const std::string kDotImage = "dot.png";
}  // namespace names

// Entry i of the music's sync values is track "i".
enum SyncTrackIndex {
  kDrumMultiplier = 0,
  kKeyA = 1,
  kKeyB = 2,
  kKeyBlend = 3,
  kLightX = 4,
  kLightY = 5,
  kLightZ = 6,
  kHeightGain = 7,
  kHeightPower = 8,
  kBend = 9,
  kAmplifier = 10,
  kOverlayA = 11,
  kOverlayB = 12,
  kWireAmplitude = 13,
  kGridAmplitude = 14,
  kBinaryValue = 15,
  kBackgroundGrey = 16,
  kSunMultiplier = 17,
  kHighValue = 18,
  kHighThreshold = 19,
  kSpectrumMultiplier = 20,
  kWhiteFlash = 21,
};
