#include "camera/camera.h"

#include "base/log.h"
#include "base/screen.h"
#include "camera/camera_hud.h"
#include "camera/camera_matrices.h"
#include "gpu/uniforms.h"

int keyIndexFromSync(float value) {
  // Both bounds are exact floats; converting a float outside them (or a NaN)
  // to int is undefined behaviour.
  constexpr float kBelowIntRange = -2147483648.0f;
  constexpr float kAboveIntRange = 2147483648.0f;
  if (!(value >= kBelowIntRange && value < kAboveIntRange)) return -1;
  return static_cast<int>(value);
}

Camera::Camera() = default;
Camera::~Camera() = default;

void Camera::createHud() {
  if (!hud) hud = createCameraHud();
}

CameraKey Camera::currentView() const {
  CameraKey key;
  key.upVector = upVector;
  key.eyePos = eyePos;
  key.lookAt = lookAt;
  key.fov = fov;
  key.far = far;
  key.near = near;
  key.ratio = ratio;
  return key;
}

void Camera::setCurrentView(const CameraKey& key) {
  upVector = key.upVector;
  eyePos = key.eyePos;
  lookAt = key.lookAt;
  fov = key.fov;
  far = key.far;
  near = key.near;
  ratio = key.ratio;
}

bool Camera::validKey(int index) const {
  return index >= 0 && static_cast<size_t>(index) < keys.size();
}

void Camera::logRebuild() { Log("Camera::Rebuild Tables\n"); }

bool Camera::evaluatePath(int a, int b, float t) {
  if (!validKey(a) || !validKey(b)) return false;
  const CameraKey& ka = keys[static_cast<size_t>(a)];
  const CameraKey& kb = keys[static_cast<size_t>(b)];
  auto blend = [t](float from, float to) { return from + (to - from) * t; };
  auto blend3 = [&](const vec3& from, const vec3& to) {
    return vec3{blend(from.x, to.x), blend(from.y, to.y), blend(from.z, to.z)};
  };
  CameraKey mixed;
  mixed.upVector = blend3(ka.upVector, kb.upVector);
  mixed.eyePos = blend3(ka.eyePos, kb.eyePos);
  mixed.lookAt = blend3(ka.lookAt, kb.lookAt);
  mixed.fov = blend(ka.fov, kb.fov);
  mixed.far = blend(ka.far, kb.far);
  mixed.near = blend(ka.near, kb.near);
  mixed.ratio = blend(ka.ratio, kb.ratio);
  setCurrentView(mixed);
  return true;
}

void Camera::setUniforms() {
  const CameraMatrices m = cameraMatrices(eyePos, lookAt, upVector, fov,
                                          resolveAspect(ratio, screenAspect), near, far);
  projection = m.projection;
  view = m.view;
  setUniformMatrix4("proj", m.projection.m);
  setUniformMatrix4("view", m.view.m);
  setUniformMatrix4("viewproj", m.viewProjection.m);
  setUniform3f("eyePos", eyePos.x, eyePos.y, eyePos.z);
  setUniformMatrix3("nview", m.normalView.m);
  setUniformMatrix3("nview2", m.normalMatrix.m);
  setUniformMatrix4("tview", m.transposedView.m);
}
