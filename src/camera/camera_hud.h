// The camera's HUD objects: an unnamed full-screen quad, the HUD shader and
// the HUD image, loaded from fixed paths when the HUD is created. Nothing in
// the program draws them; they only have to load. Needs a GL context.
#pragma once

#include <memory>

#include "gpu/quad.h"
#include "gpu/shader.h"
#include "gpu/texture.h"

extern const char* const kCameraHudShaderPath;
extern const char* const kCameraHudImagePath;

struct CameraHud {
  Quad quad;
  Shader shader;
  Texture texture;
};

// Constructs the three objects and loads the shader and the image; the load
// results are not examined (each class logs its own failure).
std::unique_ptr<CameraHud> createCameraHud();
