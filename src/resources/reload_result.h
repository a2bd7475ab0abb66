// What one reload of a resource came to, as its owner reports it to the live
// mode: the resource (program path), and where and why it failed, if it did.
// An owner that had nothing to reload reports no result at all.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "resources/source_problem.h"

struct ReloadResult {
  std::string path;
  SourceProblem problem;  // empty when the new content is in use

  bool ok() const { return problem.empty(); }
  static ReloadResult done(std::string path) { return {std::move(path), {}}; }
  static ReloadResult failed(std::string path, SourceProblem problem) {
    return {std::move(path), std::move(problem)};
  }
};

using ReloadResults = std::vector<ReloadResult>;
