#include "editor/edit_request.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "audio/sync_text.h"

using Json = nlohmann::json;

namespace {
std::string dump(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

const Json* member(const Json& object, const char* name) {
  const auto found = object.find(name);
  return found == object.end() ? nullptr : &*found;
}

// A whole number within [low, high], given as an integer or as a float
// without a fraction.
bool wholeNumber(const Json* json, double low, double high, int64_t& out) {
  if (json == nullptr || !json->is_number()) return false;
  double value = 0.0;
  if (json->is_number_unsigned()) {
    const uint64_t raw = json->get<uint64_t>();
    if (raw > static_cast<uint64_t>(high)) return false;
    value = static_cast<double>(raw);
  } else if (json->is_number_integer()) {
    value = static_cast<double>(json->get<int64_t>());
  } else {
    value = json->get<double>();
    if (!std::isfinite(value) || std::floor(value) != value) return false;
  }
  if (value < low || value > high) return false;
  out = static_cast<int64_t>(value);
  return true;
}

bool finiteNumber(const Json* json, double& out) {
  if (json == nullptr || !json->is_number()) return false;
  out = json->get<double>();
  return std::isfinite(out);
}

bool kindOf(const Json* json, int& kind) {
  if (json == nullptr || !json->is_string()) return false;
  const std::string& name = json->get_ref<const std::string&>();
  for (int k = kSyncStep; k <= kSyncRamp; ++k) {
    if (name == syncKindName(k)) {
      kind = k;
      return true;
    }
  }
  return false;
}

// The edit's "was": null, or the key the page saw at the edit's row.
std::string readSeen(const Json& json, int32_t row, SeenKey& seen) {
  const Json* was = member(json, "was");
  const std::string form = " (null for no key, or {\"value\": V, \"kind\": K}: the key the page saw at the row)";
  if (was == nullptr) return "has no \"was\"" + form;
  seen = SeenKey{};
  if (was->is_null()) return "";
  double value = 0.0;
  int64_t wasRow = row;
  if (!was->is_object() || !finiteNumber(member(*was, "value"), value) || std::fabs(value) > FLT_MAX ||
      !kindOf(member(*was, "kind"), seen.kind)) {
    return "has a \"was\" that is not a key" + form;
  }
  if (member(*was, "row") != nullptr && (!wholeNumber(member(*was, "row"), row, row, wasRow))) {
    return "has a \"was\" at another row than the edit's";
  }
  seen.present = true;
  seen.value = static_cast<float>(value);
  return "";
}

// One edit of the list, or the reason it is refused.
std::string readEdit(const Json& json, int32_t maxRow, SyncEdit& edit, SeenKey& seen) {
  if (!json.is_object()) return "is not an object";
  const Json* op = member(json, "op");
  if (op == nullptr || !op->is_string()) return "has no \"op\"";
  const std::string& name = op->get_ref<const std::string&>();
  if (name == "set") {
    edit.op = EditOp::kSet;
  } else if (name == "delete") {
    edit.op = EditOp::kDelete;
  } else if (name == "move") {
    edit.op = EditOp::kMove;
  } else if (name == "kind") {
    edit.op = EditOp::kKind;
  } else if (name == "value") {
    edit.op = EditOp::kValue;
  } else {
    return "has an unknown op \"" + name + "\" (set, delete, move, kind or value)";
  }
  const Json* track = member(json, "track");
  if (track == nullptr || !track->is_string() || track->get_ref<const std::string&>().empty()) {
    return "has no \"track\" name (a string such as \"16\")";
  }
  edit.track = track->get<std::string>();
  const std::string rows = " (a whole number from 0 to " + std::to_string(maxRow) + ")";
  int64_t row = 0;
  if (!wholeNumber(member(json, "row"), 0.0, maxRow, row)) return "has a \"row\" out of range" + rows;
  edit.row = static_cast<int32_t>(row);
  if (edit.op == EditOp::kMove) {
    if (!wholeNumber(member(json, "toRow"), 0.0, maxRow, row)) return "has a \"toRow\" out of range" + rows;
    edit.toRow = static_cast<int32_t>(row);
  }
  if (edit.op == EditOp::kSet || edit.op == EditOp::kValue) {
    double value = 0.0;
    if (!finiteNumber(member(json, "value"), value) || std::fabs(value) > FLT_MAX) {
      return "has no finite \"value\" a float can hold";
    }
    edit.value = static_cast<float>(value);
  }
  if ((edit.op == EditOp::kSet || edit.op == EditOp::kKind) && !kindOf(member(json, "kind"), edit.kind)) {
    return "has no known \"kind\" (step, linear, smooth or ramp)";
  }
  return readSeen(json, edit.row, seen);
}
std::string readShift(const Json& json, int32_t maxRow, RowShift& shift) {
  const std::string form = " ({\"shift\": {\"at\": ROW, \"by\": ROWS}}, whole rows)";
  if (!json.is_object()) return "\"shift\" is not an object" + form;
  int64_t at = 0;
  int64_t by = 0;
  if (!wholeNumber(member(json, "at"), 0.0, maxRow, at)) {
    return "the shift's \"at\" is not a row from 0 to " + std::to_string(maxRow) + form;
  }
  if (!wholeNumber(member(json, "by"), -static_cast<double>(at), maxRow, by) || by == 0) {
    return "the shift's \"by\" is not a number of rows from " + std::to_string(-at) + " to " +
           std::to_string(maxRow) + ", other than 0" + form;
  }
  shift.at = static_cast<int32_t>(at);
  shift.by = static_cast<int32_t>(by);
  return "";
}
}  // namespace

EditRequestParse parseEditRequest(std::string_view body, int32_t maxRow) {
  EditRequestParse parsed;
  const Json json = Json::parse(body.begin(), body.end(), nullptr, false);
  if (json.is_discarded()) {
    parsed.error = "the body is not JSON";
    return parsed;
  }
  if (!json.is_object()) {
    parsed.error = "the body is not a JSON object";
    return parsed;
  }
  const Json* edits = member(json, "edits");
  const Json* shift = member(json, "shift");
  if (shift != nullptr) {
    if (edits != nullptr) {
      parsed.error = "a request holds \"edits\" or a \"shift\", not both";
    } else {
      parsed.error = readShift(*shift, maxRow, parsed.request.shift);
      parsed.request.hasShift = parsed.error.empty();
    }
    return parsed;
  }
  if (edits == nullptr || !edits->is_array() || edits->empty()) {
    parsed.error = "\"edits\" is missing or not a list of edits";
    return parsed;
  }
  for (size_t i = 0; i < edits->size(); ++i) {
    SyncEdit edit;
    SeenKey seen;
    const std::string problem = readEdit((*edits)[i], maxRow, edit, seen);
    if (!problem.empty()) {
      parsed.error = "edit " + std::to_string(i) + " " + problem;
      parsed.request.edits.clear();
      parsed.request.seen.clear();
      return parsed;
    }
    parsed.request.edits.push_back(std::move(edit));
    parsed.request.seen.push_back(seen);
  }
  return parsed;
}

TransportRequestParse parseTransportRequest(std::string_view body) {
  TransportRequestParse parsed;
  const Json json = Json::parse(body.begin(), body.end(), nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    parsed.error = json.is_discarded() ? "the body is not JSON" : "the body is not a JSON object";
    return parsed;
  }
  const Json* action = member(json, "action");
  if (action == nullptr || !action->is_string()) {
    parsed.error = "\"action\" is missing";
    return parsed;
  }
  const std::string& name = action->get_ref<const std::string&>();
  TransportRequest& request = parsed.request;
  const auto time = [&](const char* field, double& out) {
    if (finiteNumber(member(json, field), out) && out >= 0.0) return true;
    parsed.error = "\"" + std::string(field) + "\" is missing or not a time in seconds";
    return false;
  };
  if (name == "play") {
    request.action = TransportAction::kPlay;
  } else if (name == "pause") {
    request.action = TransportAction::kPause;
  } else if (name == "toggle") {
    request.action = TransportAction::kToggle;
  } else if (name == "seek") {
    request.action = TransportAction::kSeek;
    time("time", request.time);
  } else if (name == "loop") {
    request.action = TransportAction::kLoop;
    if (time("from", request.from) && time("to", request.to) && request.from >= request.to) {
      parsed.error = "the loop must end after it starts";
    }
  } else if (name == "clearLoop") {
    request.action = TransportAction::kClearLoop;
  } else {
    parsed.error = "unknown action \"" + name + "\" (play, pause, toggle, seek, loop or clearLoop)";
  }
  return parsed;
}

std::string errorJson(const std::string& message) { return dump(Json{{"error", message}}); }

std::string errorJson(const std::string& message, int64_t version) {
  return dump(Json{{"error", message}, {"version", version}});
}

std::string conflictJson(const std::string& message, int64_t version, const std::string& track, int32_t row,
                         const SeenKey& now) {
  Json key = nullptr;
  if (now.present) {
    const char* kind = syncKindName(now.kind);
    key = {{"row", row},
           {"value", std::strtod(formatSyncValue(now.value).c_str(), nullptr)},
           {"kind", kind ? kind : "step"}};
  }
  return dump(Json{{"error", message},
                   {"version", version},
                   {"conflict", {{"track", track}, {"row", row}, {"key", std::move(key)}}}});
}

std::string versionJson(int64_t version) { return dump(Json{{"version", version}}); }

std::string versionJson(int64_t version, const std::string& trackFilesError) {
  return dump(Json{{"version", version}, {"trackFiles", trackFilesError}});
}

std::string okJson() { return dump(Json{{"ok", true}}); }
