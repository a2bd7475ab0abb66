// Where a file the show reads went wrong, and why: the file (a program path:
// the included file, when the fault is there), its 1-based line (0 when the
// problem has none) and the reason. Parsers and loaders fill it; the live
// mode prints it.
#pragma once

#include <string>

struct SourceProblem {
  std::string file;
  int line = 0;
  std::string message;

  bool empty() const { return file.empty() && message.empty(); }
  // "FILE:LINE: MESSAGE", or "FILE: MESSAGE" without a line, FILE as given.
  std::string text() const;
  // The same with FILE as the operating system spells it, so editors' and
  // terminals' error parsers can open it.
  std::string osText() const;
};
