// Helpers for the tests: a hidden window with a current GL context (GL tests
// run under Xvfb with Mesa's software renderer), capture of what a piece of
// code prints on standard output and standard error, and a temporary
// directory that becomes the working directory for the test's lifetime.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Creates (once per process) a hidden SDL window with a compatibility GL
// context and GLEW initialised. Returns false when no display is available.
bool ensureGLContext(int width = 256, int height = 256);

// Compiles and links a program straight through GL (no engine classes);
// a failure is reported as a test failure with the info logs, and gives 0.
unsigned int buildTestProgram(const char* vertexSource, const char* fragmentSource);

// Runs fn with stdout redirected, returns what was printed.
std::string captureStdout(const std::function<void()>& fn);
std::string captureStderr(const std::function<void()>& fn);

// A fresh directory under /tmp; the process changes into it and back.
class TempDir {
 public:
  explicit TempDir(bool enter = true);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
  bool entered_;
};

// The process's resident memory in bytes (0 when it cannot be read).
long residentBytes();

std::string readFile(const std::string& path);
std::vector<unsigned char> readBytes(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);
