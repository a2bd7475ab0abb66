#include "editor/edit_step.h"

#include "audio/frame_values.h"

namespace {
bool isShowTrack(const std::string& name) {
  for (int i = 0; i < kSyncTrackCount; ++i) {
    if (name == std::to_string(i)) return true;
  }
  return false;
}

EditStep refused(int status, const std::string& body) { return {status, body, ""}; }
}  // namespace

EditStep applyEditRequest(const EditRequest& request, const std::string& text, int64_t version) {
  if (request.version != version) {
    return refused(409, errorJson("the tracks changed since version " + std::to_string(request.version) +
                                      "; they are at version " + std::to_string(version),
                                  version));
  }
  SyncDocument document;
  std::string problem;
  if (!document.parse(text, problem)) {
    return refused(409, errorJson("sync.txt does not read (" + problem + "): mend it first", version));
  }
  for (const SyncEdit& edit : request.edits) {
    if (!document.hasTrack(edit.track) && !isShowTrack(edit.track)) {
      return refused(400, errorJson("unknown track '" + edit.track + "'"));
    }
  }
  problem = document.apply(request.edits);
  if (!problem.empty()) return refused(400, errorJson(problem));
  return {200, "", document.text()};
}
