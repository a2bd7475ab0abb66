#include "gpu/resource_registry.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

#include "gpu/image_prefetch.h"
#include "gpu/mesh.h"
#include "gpu/quad.h"
#include "gpu/render_target.h"
#include "gpu/shader.h"
#include "gpu/texture.h"
#include "resources/file_utils.h"

namespace {
const char* const kScreenQuadName = "screenSpace";
const char* const kRenderTargetKind = "RenderTarget2D";

// One row of the type table: which files a class takes and how to make one.
struct LoaderEntry {
  const std::vector<std::string>& extensions;
  std::function<std::unique_ptr<DataObject>()> create;
};

void reportMissing(std::string_view name) {
  std::fputs("Sorry bud, couldn't find: ", stdout);
  std::fwrite(name.data(), 1, name.size(), stdout);
  std::fflush(stdout);
}

const std::vector<LoaderEntry>& loaders() {
  // In class order: a directory loads all shaders, then all textures, ...
  static const std::vector<LoaderEntry> table = {
      {shaderExtensions, [] { return std::make_unique<Shader>(); }},
      {textureExtensions, [] { return std::make_unique<Texture>(); }},
      {rawGeometryExtensions, [] { return std::make_unique<rawGeometry>(); }},
      {indexedGeometryExtensions, [] { return std::make_unique<IndexedGeometry>(); }},
  };
  return table;
}
}  // namespace

ResourceRegistry::ResourceRegistry() {
  using Clock = std::chrono::steady_clock;
  secondsPerCount = static_cast<double>(Clock::period::num) / static_cast<double>(Clock::period::den);
  elapsed = 0.0;
  startCount = static_cast<int64_t>(Clock::now().time_since_epoch().count());
  add(std::make_unique<Quad>(kScreenQuadName));
}

ResourceRegistry::~ResourceRegistry() = default;

void ResourceRegistry::add(std::unique_ptr<DataObject> object) {
  if (object) objects.push_back(std::move(object));
}

void ResourceRegistry::loadDirectory(const std::string& directory, ImagePrefetch* images) {
  std::printf("loading from %s\n", directory.c_str());
  std::fflush(stdout);
  for (const LoaderEntry& loader : loaders()) {
    for (const std::string& filePath : listDirectory(loader.extensions, directory)) {
      std::unique_ptr<DataObject> object = loader.create();
      auto* texture = dynamic_cast<Texture*>(object.get());
      std::optional<TexturePixels> decoded = texture && images ? images->take(filePath) : std::nullopt;
      const bool loaded = decoded ? texture->loadDecoded(filePath, std::move(*decoded)) : object->load(filePath);
      if (loaded) add(std::move(object));
    }
  }
}

std::unique_ptr<DataObject> ResourceRegistry::loadFile(const std::string& filePath, bool& loaded) {
  loaded = false;
  const std::string name = fileNameOf(filePath);
  for (const LoaderEntry& loader : loaders()) {
    for (const std::string& extension : loader.extensions) {
      if (name.find(extension) == std::string::npos) continue;
      std::unique_ptr<DataObject> object = loader.create();
      loaded = object->load(filePath);
      return object;
    }
  }
  return nullptr;
}

std::unique_ptr<DataObject> ResourceRegistry::replace(std::unique_ptr<DataObject> object) {
  if (!object) return nullptr;
  for (std::unique_ptr<DataObject>& slot : objects) {
    if (slot->name == object->name) {
      std::swap(slot, object);
      return object;
    }
  }
  objects.push_back(std::move(object));
  return nullptr;
}

DataObject* ResourceRegistry::find(std::string_view name) {
  for (const std::unique_ptr<DataObject>& object : objects) {
    if (object->name == name) return object.get();
  }
  reportMissing(name);
  return nullptr;
}

void ResourceRegistry::addRenderTarget(int format, bool relative, float size, const std::string& name) {
  add(std::make_unique<RenderTarget2D>(format, relative, size, name));
}

void ResourceRegistry::addRenderTarget(int width, int height, int format, const std::string& name) {
  add(std::make_unique<RenderTarget2D>(width, height, format, name));
}

void ResourceRegistry::endActiveRenderTargets(int) {
  for (const std::unique_ptr<DataObject>& object : objects) {
    if (object->kind == kRenderTargetKind && object->active()) object->end(true);
  }
}
