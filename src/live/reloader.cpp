#include "live/reloader.h"

#include <algorithm>
#include <filesystem>

#include "audio/music_sections.h"
#include "audio/sync_text.h"
#include "audio/track_files.h"
#include "base/log.h"
#include "camera/camera_key_file.h"
#include "demo/production_names.h"
#include "gpu/shader.h"
#include "resources/file_utils.h"

namespace {
// The watcher speaks operating-system paths; the show's own are program
// paths (backslashes). osPath() turns one into the other, this turns back.
std::string programPathOf(const std::string& osFilePath) {
  std::string path = osFilePath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool readText(const std::string& programPath, std::string& text) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath(programPath), bytes)) return false;
  text.assign(bytes.begin(), bytes.end());
  return true;
}

// "line 12: reason" (the parsers' form) as "PATH:12: reason".
std::string withLine(const std::string& path, const std::string& problem) {
  const std::string prefix = "line ";
  if (problem.compare(0, prefix.size(), prefix) == 0) {
    size_t end = prefix.size();
    while (end < problem.size() && std::isdigit(static_cast<unsigned char>(problem[end]))) ++end;
    if (end > prefix.size()) {
      std::string rest = problem.substr(end);
      if (!rest.empty() && rest[0] == ':') rest.erase(0, 1);
      while (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
      return path + ":" + problem.substr(prefix.size(), end - prefix.size()) + ": " + rest;
    }
  }
  return path + ": " + problem;
}

bool isShaderPath(const std::string& path) { return endsWith(path, ".glsl"); }

// A new file the data folder or the sync folder takes: its name ends with an
// extension of the type table, or ".track".
bool takesNewFile(const std::string& path) {
  for (const auto* extensions :
       {&shaderExtensions, &textureExtensions, &rawGeometryExtensions, &indexedGeometryExtensions}) {
    for (const std::string& extension : *extensions) {
      if (endsWith(path, extension)) return true;
    }
  }
  return endsWith(path, ".track");
}
}  // namespace

Reloader::Reloader(Demo& demo, Transport& transport) : demo_(demo), transport_(transport) {}

void Reloader::watchFile(const std::string& programPath) { watcher_.watch(osPath(programPath)); }

void Reloader::watchAll() {
  for (const std::unique_ptr<DataObject>& object : demo_.objects) {
    if (object->path.empty()) continue;
    watchFile(object->path);
    for (const std::string& include : object->includeFiles) watchFile(include);
  }
  // Files that did not load at start (a broken shader, an include library)
  // are watched too: a save may mend them.
  for (const auto* extensions :
       {&shaderExtensions, &textureExtensions, &rawGeometryExtensions, &indexedGeometryExtensions}) {
    for (const std::string& path : listDirectory(*extensions, paths::kDataDirectory)) watchFile(path);
  }
  watcher_.watchFolder(osPath(paths::kDataDirectory));

  std::error_code error;
  hasSyncText_ = std::filesystem::exists(osPath(paths::kSyncText), error);
  if (hasSyncText_) {
    watchFile(paths::kSyncText);
  } else {
    const std::string folder = paths::kSyncBase.substr(0, paths::kSyncBase.size() - 1);
    for (const std::string& path : listDirectory({".track"}, folder)) watchFile(path);
    watcher_.watchFolder(osPath(folder));
  }
  watchFile(paths::kCameraKeys);
  watchFile(paths::kSections);
  watchFile(paths::kMusic);
}

void Reloader::update() {
  const std::vector<FileChange> changes = watcher_.poll();
  for (size_t i = 0; i < changes.size(); ++i) {
    const FileChange& change = changes[i];
    // One save may be reported under more than one event: apply it once.
    bool seen = false;
    for (size_t j = 0; j < i; ++j) seen = seen || changes[j].path == change.path;
    if (seen) continue;
    const std::string path = programPathOf(change.path);
    if (change.removed) {
      Log("reload: %s was removed; what was loaded from it stays\n", path.c_str());
      continue;
    }
    if (change.appeared) {
      // Editors' temporary files come and go beside the real ones: only a
      // file that is still there and is named like a resource is loaded.
      std::error_code error;
      if (!takesNewFile(path) || !std::filesystem::exists(change.path, error)) continue;
      watchFile(path);
    }
    reload(path, change.firstEvent);
  }
}

void Reloader::reload(const std::string& path, Clock::time_point event) {
  if (path == paths::kMusic) {
    reloadMusic(path, event);
  } else if (path == paths::kSyncText) {
    reloadSyncText(path);
  } else if (endsWith(path, ".track")) {
    if (!hasSyncText_) reloadTrackFile(path);
  } else if (path == paths::kCameraKeys) {
    reloadCameraKeys(path);
  } else if (path == paths::kSections) {
    reloadSections(path);
  } else if (isShaderPath(path)) {
    reloadShaders(path, event);
  } else {
    reloadDataObject(path, event);
  }
}

void Reloader::reloadShaders(const std::string& path, Clock::time_point event) {
  // The saved file's own program and every program that includes it.
  std::vector<std::string> programs;
  for (const std::unique_ptr<DataObject>& object : demo_.objects) {
    if (!dynamic_cast<Shader*>(object.get())) continue;
    const std::vector<std::string>& includes = object->includeFiles;
    if (object->path == path || std::find(includes.begin(), includes.end(), path) != includes.end()) {
      programs.push_back(object->path);
    }
  }
  // Not loaded yet: new, or broken at start. An include library loads as
  // nothing and is no failure.
  if (programs.empty()) programs.push_back(path);

  for (const std::string& program : programs) {
    auto shader = std::make_unique<Shader>();
    if (shader->load(program)) {
      for (const std::string& include : shader->includeFiles) watchFile(include);
      demo_.replace(std::move(shader));
      succeeded(program, event);
    } else if (!shader->failure.empty()) {
      failed(program, shader->failure);
    }
  }
}

void Reloader::reloadDataObject(const std::string& path, Clock::time_point event) {
  bool loaded = false;
  std::unique_ptr<DataObject> object = ResourceRegistry::loadFile(path, loaded);
  if (!object) return;  // no class takes this file
  if (!loaded) {
    failed(path, path + ": cannot be loaded; the last good one stays");
    return;
  }
  demo_.replace(std::move(object));
  succeeded(path, event);
}

void Reloader::reloadSyncText(const std::string& path) {
  std::string text;
  if (!readText(path, text)) {
    failed(path, path + ": cannot be read");
    return;
  }
  const SyncTextResult parsed = parseSyncText(text);
  if (!parsed.error.empty()) {
    failed(path, withLine(path, parsed.error));
    return;
  }
  demo_.music.replaceSyncKeys(parsed.tracks);
  // The track files follow, so the show without live mode plays the same.
  std::vector<std::string> written;
  std::string error;
  if (!writeTrackFiles(parsed.tracks, osPath(paths::kSyncBase), written, error)) {
    Log("reload: the track files were not all written: %s\n", error.c_str());
  }
  errors_.erase(path);
  ++reloadCount_;
  Log("reloaded sync: %s (%d tracks)\n", path.c_str(), static_cast<int>(parsed.tracks.size()));
}

void Reloader::reloadTrackFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath(path), bytes)) {
    failed(path, path + ": cannot be read");
    return;
  }
  const TrackParseResult parsed = parseTrackBytes(bytes.data(), bytes.size());
  if (!parsed.problem.empty()) {
    failed(path, path + ": " + parsed.problem);
    return;
  }
  std::string name = fileNameOf(path);
  name = name.substr(1, name.size() - 1 - std::string(".track").size());  // "_<name>.track"
  if (!demo_.music.syncDevice) return;
  demo_.music.syncDevice->getTrack(name).keys = parsed.keys;
  succeeded(path, Clock::now());
}

void Reloader::reloadCameraKeys(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath(path), bytes)) return;
  Camera& camera = demo_.scene.camera;
  // The V key writes the keys the camera holds: nothing to load then.
  bytes.resize(bytes.size() - bytes.size() % kCameraKeyRecordSize);
  if (bytes == serializeCameraKeys(camera.keys)) return;
  camera.keys.clear();
  camera.currentKey = 0;
  camera.load(path);
  succeeded(path, Clock::now());
}

void Reloader::reloadSections(const std::string& path) {
  SectionTableFile file = readSectionTable(path);
  if (!file.found) return;
  if (!file.table.problem.empty()) {
    failed(path, withLine(path, file.table.problem));
    return;
  }
  transport_.setSections(std::move(file.table.sections));
  succeeded(path, Clock::now());
}

void Reloader::reloadMusic(const std::string& path, Clock::time_point event) {
  std::string error;
  if (!demo_.music.reloadMusic(path, error)) {
    failed(path, path + ": " + error + "; the music that plays stays");
    return;
  }
  succeeded(path, event);
}

void Reloader::succeeded(const std::string& path, Clock::time_point event) {
  errors_.erase(path);
  pending_.push_back({path, event});
  ++reloadCount_;
}

void Reloader::failed(const std::string& path, const std::string& message) {
  Log("reload failed: %s\n", message.c_str());
  errors_[path] = message;
  errorOrder_.erase(std::remove(errorOrder_.begin(), errorOrder_.end(), path), errorOrder_.end());
  errorOrder_.push_back(path);
}

void Reloader::framePresented() {
  if (pending_.empty()) return;
  const Clock::time_point now = Clock::now();
  for (const Pending& done : pending_) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - done.event).count();
    Log("reloaded: %s (%lld ms)\n", done.path.c_str(), static_cast<long long>(ms));
  }
  pending_.clear();
}

const std::string& Reloader::error() const {
  static const std::string none;
  for (auto it = errorOrder_.rbegin(); it != errorOrder_.rend(); ++it) {
    const auto found = errors_.find(*it);
    if (found != errors_.end()) return found->second;
  }
  return none;
}
