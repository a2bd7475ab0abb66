// The editor page's requests and the service's answers as JSON: the bodies
// of POST /api/edit and POST /api/transport read into plain data or the
// reason they were refused, and the small answer bodies. Pure: text in,
// data out; whether a key exists is the sync document's to say.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/sync_document.h"

// The key an edit was made on, as the page saw it at the edit's row just
// before the edit (after the step's earlier edits), or no key.
struct SeenKey {
  bool present = false;
  float value = 0.0f;
  int kind = kSyncStep;
};

// Time inserted (by > 0) or removed (by < 0) at row `at` across all tracks.
struct RowShift {
  int32_t at = 0;
  int32_t by = 0;
};

// One step of the page's undo history: several edits applied together, or
// one shift of time.
struct EditRequest {
  std::vector<SyncEdit> edits;
  std::vector<SeenKey> seen;  // one per edit
  bool hasShift = false;
  RowShift shift{};
};

struct EditRequestParse {
  EditRequest request;
  std::string error;  // empty when the request is well formed
};

// {"edits": [{"op": "set", "track": "16", "row": 32, "value": 0.5,
// "kind": "linear", "was": null}, ...]} with ops set, delete, move (toRow),
// kind and value. Rows are whole numbers from 0 to maxRow, values finite
// floats, kinds step, linear, smooth or ramp. "was" is the key the page saw
// at the row ({"value": V, "kind": K}, with "row" optional) or null; a
// "version" from older pages is ignored. Or {"shift": {"at": ROW, "by":
// ROWS}}: whole rows, AT from 0 to maxRow, BY not 0, from -AT to maxRow.
// Never throws.
EditRequestParse parseEditRequest(std::string_view body, int32_t maxRow);

enum class TransportAction { kPlay, kPause, kToggle, kSeek, kLoop, kClearLoop };

struct TransportRequest {
  TransportAction action = TransportAction::kToggle;
  double time = 0.0;  // seek
  double from = 0.0;  // loop
  double to = 0.0;
};

struct TransportRequestParse {
  TransportRequest request;
  std::string error;
};

// {"action": "play"|"pause"|"toggle"|"seek"|"loop"|"clearLoop", "time": s,
// "from": s, "to": s}. Times are finite and not negative; a loop ends after
// it starts. Never throws.
TransportRequestParse parseTransportRequest(std::string_view body);

// Answer bodies.
std::string errorJson(const std::string& message);
std::string errorJson(const std::string& message, int64_t version);  // 409: with the current version
// 409 for a key that changed meanwhile: the key as it is now (or null).
std::string conflictJson(const std::string& message, int64_t version, const std::string& track, int32_t row,
                         const SeenKey& now);
std::string versionJson(int64_t version);
// 200 for an edit in sync.txt whose track files were not all written: the
// files and the system's reasons under "trackFiles".
std::string versionJson(int64_t version, const std::string& trackFilesError);
std::string okJson();  // {"ok": true}
