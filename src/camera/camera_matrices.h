// The camera's matrices as pure functions of a view: the projection (the
// perspective matrix, or the fixed orthographic one at field of view 0), the
// view matrix and the derived matrices that Camera::setUniforms uploads.
// No GL and no globals: the window's aspect ratio is passed in.
#pragma once

#include "base/vector_math.h"

// pi / 180 in single precision.
constexpr float kDegreesToRadians = 0.017453292f;

// ratio, or windowAspect when ratio is exactly -1.
float resolveAspect(float ratio, float windowAspect);

// Perspective for fov (degrees) != 0: h = tan(fov * pi/180 * 0.5), the
// product in single precision and tan in double; [0][0] = 1/(h*aspect),
// [1][1] = 1/h, [2][2] = -(far+near)/(far-near), [2][3] = -1,
// [3][2] = -2*far*near/(far-near). fov exactly 0: the orthographic view of
// x and y in [-100, 100] and depth 100 to 500.
mat4 projectionMatrix(float fov, float aspect, float near, float far);

struct CameraMatrices {
  mat4 projection;
  mat4 view;
  mat4 viewProjection;  // projection x view
  mat3 normalView;      // upper-left 3 x 3 of view ("nview")
  mat3 normalMatrix;    // upper-left 3 x 3 of transpose(inverse(view)) ("nview2")
  mat4 transposedView;  // transpose(view) ("tview")
};

CameraMatrices cameraMatrices(const vec3& eyePos, const vec3& lookAt, const vec3& upVector,
                              float fov, float aspect, float near, float far);
