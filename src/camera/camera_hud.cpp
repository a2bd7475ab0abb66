#include "camera/camera_hud.h"

const char* const kCameraHudShaderPath = "src\\drawables\\cameraHUD.glsl";
const char* const kCameraHudImagePath = "src\\drawables\\cameraHUD.png";

std::unique_ptr<CameraHud> createCameraHud() {
  auto hud = std::make_unique<CameraHud>();
  hud->shader.load(kCameraHudShaderPath);
  hud->texture.load(kCameraHudImagePath);
  return hud;
}
