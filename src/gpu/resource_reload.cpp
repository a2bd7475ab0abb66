#include "gpu/resource_reload.h"

#include <algorithm>
#include <memory>

#include "gpu/shader.h"
#include "gpu/texture.h"
#include "resources/file_utils.h"

ReloadResults reloadShaderFile(ResourceRegistry& registry, const std::string& path) {
  std::vector<std::string> programs;
  for (const std::unique_ptr<DataObject>& object : registry.objects) {
    if (!dynamic_cast<Shader*>(object.get())) continue;
    const std::vector<std::string>& includes = object->includeFiles;
    if (object->path == path || std::find(includes.begin(), includes.end(), path) != includes.end()) {
      programs.push_back(object->path);
    }
  }
  if (programs.empty()) programs.push_back(path);

  ReloadResults results;
  for (const std::string& program : programs) {
    auto shader = std::make_unique<Shader>();
    if (shader->load(program)) {
      registry.replace(std::move(shader));
      results.push_back(ReloadResult::done(program));
    } else if (!shader->failure.empty()) {
      results.push_back(ReloadResult::failed(program, shader->failure));
    }
  }
  return results;
}

ReloadResults reloadDataFile(ResourceRegistry& registry, const std::string& path) {
  bool loaded = false;
  std::unique_ptr<DataObject> object = ResourceRegistry::loadFile(path, loaded);
  if (!object) return {};
  if (loaded) {
    registry.replace(std::move(object));
    return {ReloadResult::done(path)};
  }
  // The decoder's own reason where there is one; the file system's otherwise.
  std::string reason;
  if (const auto* texture = dynamic_cast<const Texture*>(object.get())) reason = texture->failureReason;
  std::vector<uint8_t> bytes;
  if (reason.empty() && !readFileBytes(osPath(path), bytes)) reason = readFailureReason(osPath(path));
  if (reason.empty()) reason = "not a file its loader accepts";
  return {ReloadResult::failed(path, {path, 0, "cannot be loaded: " + reason + "; the last good one stays"})};
}
