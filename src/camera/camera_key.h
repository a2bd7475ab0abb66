// One camera key: a complete view that the key path blends between. The
// in-memory order of the fields differs from the key file's record order
// (camera_key_file.h owns that).
#pragma once

#include "base/vector_math.h"

struct CameraKey {
  vec3 upVector;
  vec3 eyePos;
  vec3 lookAt;
  float fov = 0.0f;    // vertical, degrees; 0 selects the orthographic projection
  float far = 0.0f;
  float near = 0.0f;
  float ratio = 0.0f;  // width / height; -1 means the window's aspect ratio
};
