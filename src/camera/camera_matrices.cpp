#include "camera/camera_matrices.h"

#include <cmath>

namespace {
constexpr float kDefaultAspect = -1.0f;
constexpr float kOrthoScale = 0.01f;
constexpr float kOrthoDepthScale = -0.005f;
constexpr float kOrthoDepthOffset = -1.5f;
}  // namespace

float resolveAspect(float ratio, float windowAspect) {
  return ratio == kDefaultAspect ? windowAspect : ratio;
}

mat4 projectionMatrix(float fov, float aspect, float near, float far) {
  if (fov == 0.0f) {
    mat4 ortho = identityMat4();
    ortho.at(0, 0) = kOrthoScale;
    ortho.at(1, 1) = kOrthoScale;
    ortho.at(2, 2) = kOrthoDepthScale;
    ortho.at(3, 0) = -0.0f;
    ortho.at(3, 1) = -0.0f;
    ortho.at(3, 2) = kOrthoDepthOffset;
    return ortho;
  }
  const float halfAngle = fov * kDegreesToRadians * 0.5f;
  const float h = static_cast<float>(std::tan(static_cast<double>(halfAngle)));
  mat4 perspective = zeroMat4();
  perspective.at(0, 0) = 1.0f / (h * aspect);
  perspective.at(1, 1) = 1.0f / h;
  perspective.at(2, 2) = -(far + near) / (far - near);
  perspective.at(2, 3) = -1.0f;
  perspective.at(3, 2) = -(2.0f * far * near) / (far - near);
  return perspective;
}

CameraMatrices cameraMatrices(const vec3& eyePos, const vec3& lookAt, const vec3& upVector,
                              float fov, float aspect, float near, float far) {
  CameraMatrices m;
  m.projection = projectionMatrix(fov, aspect, near, far);
  m.view = lookAtMatrix(eyePos, lookAt, upVector);
  m.viewProjection = m.projection * m.view;
  m.normalView = mat3FromMat4(m.view);
  m.normalMatrix = mat3FromMat4(transpose(inverse(m.view)));
  m.transposedView = transpose(m.view);
  return m;
}
