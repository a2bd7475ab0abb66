// The one camera: its current view, the key list and key file, the path
// between keys, the free camera driven by keys and mouse, and the upload of
// its matrices to the current program. The matrix maths is in
// camera_matrices.h, the key file's bytes in camera_key_file.h, the HUD's GL
// objects in camera_hud.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/vector_math.h"
#include "camera/camera_key.h"
#include "resources/reload_result.h"

struct CameraHud;

// A sync value as a key index: truncated toward zero. Values that are not a
// number or lie outside the int range give -1, which no key has.
int keyIndexFromSync(float value);

class Camera {
 public:
  // Needs no GL context; the HUD is made by createHud.
  Camera();
  ~Camera();
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;

  // Creates the HUD's quad and loads its shader and texture from
  // "src\drawables\cameraHUD.glsl" and "src\drawables\cameraHUD.png" (results
  // not examined). Needs a current GL context; a second call does nothing.
  void createHud();

  // Remembers path as keyFilePath and appends the keys the file holds.
  // False (and nothing else changed) when the file cannot be opened.
  bool load(std::string path);
  // Live authoring: the keys of the file (program path) in place of the
  // list, from the first key. No result when the file holds the keys the
  // list has (the V key's own save) or cannot be read (a save in progress).
  ReloadResults reloadKeys(const std::string& path);
  // Replaces the file at keyFilePath with the whole list; an empty list
  // deletes the file. A failed write leaves the previous file as it was.
  void saveKeys();
  void printView();
  // Appends the current view as a key, whatever the index.
  void saveCameraPos(int index);
  // Inserts a copy of key index after it and jumps the view to it.
  void copyKey(int index);
  // Overwrites key index with the current view.
  void updateKey(int index);
  void deleteKey(int index);
  // Puts key index into the current view.
  void selectKey(int index);

  // Sets the current view to key a + (key b - key a) * t; false (view
  // unchanged) when a or b is not a key index.
  bool evaluatePath(int a, int b, float t);

  // The per-frame free-camera step; true while free camera mode is on.
  bool control();

  // Builds projection and view from the current view and uploads "proj",
  // "view", "viewproj", "eyePos", "nview", "nview2" and "tview" to the
  // current program. Needs a current GL context.
  void setUniforms();

  CameraKey currentView() const;
  void setCurrentView(const CameraKey& key);

  vec3 upVector{0.0f, 1.0f, 0.0f};
  vec3 eyePos;
  vec3 lookAt;
  mat4 projection = identityMat4();
  mat4 view = identityMat4();
  float fov = 60.0f;
  float far = 200000.0f;
  float near = 0.1f;
  float ratio = -1.0f;
  bool freeCamera = false;
  struct {
    int32_t x = 0;
    int32_t y = 0;
  } cursor;
  std::vector<CameraKey> keys;
  int32_t currentKey = 0;
  std::string keyFilePath;
  std::unique_ptr<CameraHud> hud;

 private:
  bool validKey(int index) const;
  void logRebuild();
  // R, F, T, U, V and Delete; true when any of them fired.
  bool handleEditingKeys();
};
