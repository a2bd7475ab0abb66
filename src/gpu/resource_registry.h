// ResourceRegistry: owns every named resource and finds it by name. Loads a
// data directory by extension in class order (shaders, textures, raw meshes,
// indexed meshes), registers the full-screen quad "screenSpace" and creates
// render targets by name. The demo derives from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "resources/data_object.h"

class ImagePrefetch;

class ResourceRegistry {
 public:
  // Needs a current GL context: registers the Quad "screenSpace" first.
  ResourceRegistry();
  virtual ~ResourceRegistry();
  ResourceRegistry(const ResourceRegistry&) = delete;
  ResourceRegistry& operator=(const ResourceRegistry&) = delete;

  // Appends, taking ownership; no duplicate check.
  void add(std::unique_ptr<DataObject> object);
  // Prints "loading from %s\n" and registers every file of the directory
  // whose load succeeds. Images that `images` decoded ahead are taken from
  // it; the order of loads and their log lines are the same either way.
  void loadDirectory(const std::string& directory, ImagePrefetch* images = nullptr);
  // A new object of the class whose extension the file name carries, loaded
  // from the file (program path); null when no class takes the name. The
  // load's result is in `loaded`. Not registered.
  static std::unique_ptr<DataObject> loadFile(const std::string& filePath, bool& loaded);
  // Puts the object in place of the registered object of the same name, or
  // appends it when there is none; returns the object it replaced (null if
  // none), which the caller may drop or keep.
  std::unique_ptr<DataObject> replace(std::unique_ptr<DataObject> object);
  // First object with exactly this name; on a miss prints
  // "Sorry bud, couldn't find: " and the name (no line end) and returns null.
  // Takes a view so that per-frame lookups by literal do not allocate.
  DataObject* find(std::string_view name);
  template <class T>
  T* findAs(std::string_view name) {
    return dynamic_cast<T*>(find(name));
  }

  // Scaled form: relative targets are (int)(size * 1920) by (int)(size * 1080).
  void addRenderTarget(int format, bool relative, float size, const std::string& name);
  // Sized form.
  void addRenderTarget(int width, int height, int format, const std::string& name);
  // Ends (with mipmaps) every render target between begin and end.
  void endActiveRenderTargets(int unused);

  int64_t startCount = 0;
  double secondsPerCount = 0.0;
  double elapsed = 0.0;
  std::vector<std::unique_ptr<DataObject>> objects;
};
