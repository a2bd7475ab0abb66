#include "editor/sync_text_editor.h"

#include <sys/stat.h>

#include <utility>

SyncTextEditor::SyncTextEditor(std::string osFileName, GuardedWriteHooks hooks)
    : file_(std::move(osFileName)), hooks_(std::move(hooks)) {}

SyncTextEditor::Result SyncTextEditor::apply(const EditRequest& request, int64_t version) {
  Result result;
  struct stat status {};
  if (::stat(file_.c_str(), &status) != 0) {
    result.status = 409;
    result.body = errorJson("sync.txt does not exist, so there is no text to edit (" + file_ + ")", version);
    return result;
  }
  EditStep step;
  std::string before;
  const auto merge = [&](const std::vector<uint8_t>& current, std::vector<uint8_t>& out) {
    before.assign(current.begin(), current.end());
    const ShiftMemory* undone = nullptr;
    for (auto memory = shifts_.rbegin(); request.hasShift && memory != shifts_.rend() && !undone; ++memory) {
      if (memory->after == before && request.shift.at == memory->shift.at + memory->shift.by &&
          request.shift.by == -memory->shift.by) {
        undone = &*memory;
      }
    }
    if (undone != nullptr) {
      // Exactly the text the shift started from: notation and columns as
      // the author left them, whatever the shift had to change.
      step = {200, "", undone->before, appended_};
    } else {
      step = applyEditRequest(request, before, version, appended_);
    }
    if (step.status != 200) return false;
    out.assign(step.newText.begin(), step.newText.end());
    return true;
  };
  const GuardedWriteResult written = rewriteFileGuarded(file_, merge, hooks_);
  result.merges = written.merges;
  switch (written.outcome) {
    case GuardedWriteResult::Outcome::kRefused:
      result.status = step.status;
      result.body = step.body;
      return result;
    case GuardedWriteResult::Outcome::kFailed:
      result.status = 500;
      result.body = errorJson("the edit was not written: " + written.error);
      return result;
    case GuardedWriteResult::Outcome::kWritten:
      result.written = true;
      break;
    case GuardedWriteResult::Outcome::kUnchanged:
      break;
  }
  appended_ = std::move(step.appended);
  result.text.assign(written.written.begin(), written.written.end());
  if (request.hasShift) {
    shifts_.push_back({request.shift, std::move(before), result.text});
    if (shifts_.size() > kRememberedShifts) shifts_.pop_front();
  }
  return result;
}
