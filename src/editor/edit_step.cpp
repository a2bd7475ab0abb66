#include "editor/edit_step.h"

#include "audio/frame_values.h"
#include "audio/sync_text.h"
#include "base/text.h"

namespace {
bool isShowTrack(const std::string& name) {
  for (int i = 0; i < kSyncTrackCount; ++i) {
    if (name == std::to_string(i)) return true;
  }
  return false;
}

EditStep refused(int status, const std::string& body) { return {status, body, "", {}}; }

SeenKey keyNow(const SyncDocument& document, const std::string& track, int32_t row) {
  SeenKey now;
  SyncKey key;
  if (document.keyAt(track, row, key)) now = {true, key.value, key.kind};
  return now;
}

bool sameKey(const SeenKey& a, const SeenKey& b) {
  return a.present == b.present && (!a.present || (a.value == b.value && a.kind == b.kind));
}

std::string describe(const SeenKey& key, bool withKind) {
  if (!key.present) return "no key";
  const char* kind = syncKindName(key.kind);
  return formatSyncValue(key.value) + (withKind && kind != nullptr ? std::string(" ") + kind : "");
}

// The text a set that starts a track's block appended for the block itself:
// the document with that key taken out again, less the text before.
std::string appendedBlockText(const std::string& before, SyncDocument withKey, const SyncEdit& set) {
  SyncEdit remove;
  remove.op = EditOp::kDelete;
  remove.track = set.track;
  remove.row = set.row;
  if (!withKey.apply({remove}).empty()) return "";
  const std::string after = withKey.text();
  if (after.size() <= before.size() || after.compare(0, before.size(), before) != 0) return "";
  return after.substr(before.size());
}
}  // namespace

std::string keyChangedMessage(const std::string& track, int32_t row, const SeenKey& seen, const SeenKey& now) {
  // The kinds are named when they are what changed, or when a key came or went.
  const bool withKind = seen.present != now.present || seen.kind != now.kind;
  return "track " + track + ", row " + std::to_string(row) + " changed in sync.txt meanwhile: " +
         describe(seen, withKind) + " \u2192 " + describe(now, withKind);
}

EditStep applyEditRequest(const EditRequest& request, const std::string& text, int64_t version,
                          const AppendedTracks& appended) {
  SyncDocument document;
  std::string problem;
  if (!document.parse(text, problem)) {
    return refused(409, errorJson("sync.txt does not parse (" + problem + "): fix it in your editor first", version));
  }
  if (request.hasShift) {
    problem = document.shift(request.shift.at, request.shift.by);
    if (!problem.empty()) return refused(409, errorJson(problem, version));
    return {200, "", document.text(), appended};
  }
  for (const SyncEdit& edit : request.edits) {
    if (!document.hasTrack(edit.track) && !isShowTrack(edit.track)) {
      return refused(400, errorJson("unknown track '" + edit.track + "'"));
    }
  }
  AppendedTracks blocks = appended;
  for (size_t i = 0; i < request.edits.size(); ++i) {
    const SyncEdit& edit = request.edits[i];
    const SeenKey seen = i < request.seen.size() ? request.seen[i] : SeenKey{};
    const SeenKey now = keyNow(document, edit.track, edit.row);
    if (!sameKey(seen, now)) {
      return refused(409, conflictJson(keyChangedMessage(edit.track, edit.row, seen, now), version, edit.track,
                                       edit.row, now));
    }
    if (edit.op == EditOp::kMove && edit.toRow != edit.row) {
      const SeenKey occupant = keyNow(document, edit.track, edit.toRow);
      if (occupant.present) {
        return refused(409, conflictJson("row " + std::to_string(edit.toRow) + " of track " + edit.track +
                                             " holds a key",
                                         version, edit.track, edit.toRow, occupant));
      }
    }
    const bool newBlock = !document.hasTrack(edit.track);
    // Only a set that starts a block needs the text before it.
    const std::string before = newBlock ? document.text() : std::string();
    problem = document.apply({edit});
    if (!problem.empty()) return refused(400, errorJson(problem));
    if (newBlock && document.hasTrack(edit.track)) {
      const std::string block = appendedBlockText(before, document, edit);
      if (block.empty()) {
        blocks.erase(edit.track);
      } else {
        blocks[edit.track] = block;
      }
    }
    // The last key of a block the editor appended: the block goes too.
    const auto own = blocks.find(edit.track);
    if (edit.op == EditOp::kDelete && own != blocks.end() && document.keyCount(edit.track) == 0) {
      const std::string now = document.text();
      SyncDocument without;
      if (endsWith(now, own->second) && without.parse(now.substr(0, now.size() - own->second.size()), problem) &&
          !without.hasTrack(edit.track)) {
        document = without;
        blocks.erase(own);
      }
    }
  }
  return {200, "", document.text(), std::move(blocks)};
}
