#include "live/reloader.h"

#include <algorithm>
#include <filesystem>

#include "audio/sync_text.h"
#include "audio/sync_track.h"
#include "audio/track_files.h"
#include "base/log.h"
#include "base/text.h"
#include "demo/production_names.h"
#include "gpu/resource_reload.h"
#include "resources/file_utils.h"

namespace {
// The watcher speaks operating-system paths; the show's own are program
// paths (backslashes). osPath() turns one into the other, this turns back.
std::string programPathOf(const std::string& osFilePath) {
  std::string path = osFilePath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

const std::vector<const std::vector<std::string>*>& dataExtensions() {
  static const std::vector<const std::vector<std::string>*> all = {
      &shaderExtensions, &textureExtensions, &rawGeometryExtensions, &indexedGeometryExtensions};
  return all;
}

bool hasDataExtension(const std::string& path) {
  for (const auto* extensions : dataExtensions()) {
    for (const std::string& extension : *extensions) {
      if (endsWith(path, extension)) return true;
    }
  }
  return false;
}

// A new file the data folder or the sync folder takes: its name ends with an
// extension of the type table, or ".track".
bool takesNewFile(const std::string& path) { return hasDataExtension(path) || endsWith(path, ".track"); }
}  // namespace

Reloader::Reloader(Demo& demo, Transport& transport) : demo_(demo), transport_(transport) { buildHandlers(); }

void Reloader::buildHandlers() {
  auto is = [](const std::string& wanted) { return [wanted](const std::string& path) { return path == wanted; }; };
  handlers_ = {
      {is(paths::kMusic), [this](const std::string& path) { return transport_.reloadMusic(path); }},
      {is(paths::kSyncText), [this](const std::string& path) { return reloadSyncText(path); }},
      // With a sync text the track files are written from it, not read.
      {[](const std::string& path) { return endsWith(path, ".track"); },
       [this](const std::string& path) {
         if (hasSyncText_) return ReloadResults{};
         ReloadResult result = demo_.reloadTrackFile(path);
         if (result.ok()) ++syncVersion_;
         return ReloadResults{result};
       }},
      {is(paths::kCameraKeys), [this](const std::string& path) { return demo_.reloadCameraKeys(path); }},
      {is(paths::kSections), [this](const std::string& path) { return transport_.reloadSections(path); }},
      {[](const std::string& path) { return endsWith(path, ".glsl"); },
       [this](const std::string& path) {
         ReloadResults results = reloadShaderFile(demo_, path);
         // A program that loaded may include files it did not before.
         for (const ReloadResult& result : results) {
           if (!result.ok()) continue;
           for (const std::string& include : demo_.includesOf(result.path)) watchFile(include);
         }
         return results;
       }},
      {hasDataExtension, [this](const std::string& path) { return reloadDataFile(demo_, path); }},
  };
}

void Reloader::watchFile(const std::string& programPath) { watcher_.watch(osPath(programPath)); }

void Reloader::watchAll() {
  for (const std::string& path : demo_.sourceFiles()) watchFile(path);
  // Files that did not load at start (a broken shader, an include library)
  // are watched too: a save may mend them.
  for (const auto* extensions : dataExtensions()) {
    for (const std::string& path : listDirectory(*extensions, paths::kDataDirectory)) watchFile(path);
  }
  watcher_.watchFolder(osPath(paths::kDataDirectory));

  // The sync text and the track folder are both watched, whichever exists:
  // a sync.txt made later takes over from the track files.
  watchFile(paths::kSyncText);
  const std::string folder = paths::kSyncBase.substr(0, paths::kSyncBase.size() - 1);
  for (const std::string& path : listDirectory({".track"}, folder)) watchFile(path);
  watcher_.watchFolder(osPath(folder));
  takeSyncTextAtStart();
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
      Log("reload: %s was removed; what was loaded from it stays\n", change.path.c_str());
      // Without the text, saves of the track files play again.
      if (path == paths::kSyncText) hasSyncText_ = false;
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
  const auto handler =
      std::find_if(handlers_.begin(), handlers_.end(), [&](const Handler& h) { return h.matches(path); });
  if (handler == handlers_.end()) return;
  ++savesHandled_;
  for (const ReloadResult& result : handler->reload(path)) {
    if (result.ok()) {
      succeeded(result.path, event);
    } else {
      failed(result.path, result.problem);
    }
  }
}

namespace {
void logTrackFolderChanges(const std::string& textPath, const TrackFolderChanges& changes, bool atStart) {
  if (atStart && !changes.written.empty()) {
    Log("sync: track files that differed from %s rewritten: %s%s%s\n", osPath(textPath).c_str(),
        listTrackNames(changes.written).c_str(), changes.removed.empty() ? "" : "; removed, no longer in the text: ",
        listTrackNames(changes.removed).c_str());
  } else if (!changes.removed.empty()) {
    Log("sync: track files removed, no longer in %s: %s\n", osPath(textPath).c_str(),
        listTrackNames(changes.removed).c_str());
  }
}
}  // namespace

void Reloader::takeSyncTextAtStart() {
  std::vector<uint8_t> bytes;
  hasSyncText_ = readFileBytes(osPath(paths::kSyncText), bytes);
  if (!hasSyncText_) return;
  const std::string text(bytes.begin(), bytes.end());
  int trackCount = 0;
  TrackFolderChanges changes;
  const ReloadResult result = demo_.applySyncText(paths::kSyncText, text, trackCount, changes);
  const bool parsed = result.ok() || result.problem.file != paths::kSyncText;
  syncTextStands_ = parsed;
  if (parsed) syncText_ = text;
  logTrackFolderChanges(paths::kSyncText, changes, true);
  if (!result.ok()) {
    // The show plays what the track files hold until the text is mended.
    failed(result.path, result.problem);
    if (parsed) watcher_.reportNextEvent(osPath(paths::kSyncText));
  }
}

ReloadResults Reloader::reloadSyncText(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath(path), bytes)) {
    syncTextStands_ = false;
    return {ReloadResult::failed(path, {path, 0, "cannot be read: " + readFailureReason(osPath(path))})};
  }
  hasSyncText_ = true;
  const std::string text(bytes.begin(), bytes.end());
  int trackCount = 0;
  TrackFolderChanges changes;
  ReloadResult result = demo_.applySyncText(path, text, trackCount, changes);
  const bool parsed = result.ok() || result.problem.file != path;
  syncTextStands_ = parsed;
  if (parsed) {
    syncText_ = text;
    ++syncVersion_;
  }
  logTrackFolderChanges(path, changes, false);
  if (result.ok()) {
    // Reported at once: the tracks are in use from the next frame on.
    errors_.erase(path);
    ++reloadCount_;
    Log("reloaded sync: %s (%d tracks)\n", osPath(path).c_str(), trackCount);
    return {};
  }
  if (result.problem.file != path) {
    // The text parsed and plays, but its track files were not all written:
    // every later save retries, even one that leaves the text as it is.
    result.problem.message += "; the new keys play, the track files keep the old ones";
    watcher_.reportNextEvent(osPath(path));
  }
  return {result};
}

void Reloader::syncTextWritten(const std::string& text) {
  watcher_.recordOwnWrite(osPath(paths::kSyncText), std::vector<uint8_t>(text.begin(), text.end()));
  reload(paths::kSyncText);
}

void Reloader::succeeded(const std::string& path, Clock::time_point event) {
  errors_.erase(path);
  // A setting (the loop) comes back in reach without anything to show.
  if (path == Transport::loopReloadKey()) return;
  pending_.push_back({path, event});
  ++reloadCount_;
}

void Reloader::failed(const std::string& key, const SourceProblem& problem) {
  const std::string message = problem.osText();
  // A shader's report before this line leaves the file's last line open.
  startLogFileLine();
  Log("reload failed: %s\n", message.c_str());
  errors_[key] = message;
  errorOrder_.erase(std::remove(errorOrder_.begin(), errorOrder_.end(), key), errorOrder_.end());
  errorOrder_.push_back(key);
}

void Reloader::framePresented() {
  if (pending_.empty()) return;
  const Clock::time_point now = Clock::now();
  for (const Pending& done : pending_) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - done.event).count();
    Log("reloaded: %s (%lld ms)\n", osPath(done.path).c_str(), static_cast<long long>(ms));
  }
  pending_.clear();
}

std::string Reloader::errorOf(const std::string& programPath) const {
  const auto found = errors_.find(programPath);
  return found == errors_.end() ? std::string() : found->second;
}

const std::string& Reloader::error() const {
  static const std::string none;
  for (auto it = errorOrder_.rbegin(); it != errorOrder_.rend(); ++it) {
    const auto found = errors_.find(*it);
    if (found != errors_.end()) return found->second;
  }
  return none;
}
