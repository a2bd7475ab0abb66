#include "support/test_support.h"

#include <SDL2/SDL.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "gpu/gl.h"

namespace {
// One attempt at a hidden window with a current context; the reason of a
// failure goes to stderr so a failing GL test says why.
bool tryCreateGLContext(int width, int height) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "ensureGLContext: SDL_Init: %s\n", SDL_GetError());
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_Window* window = SDL_CreateWindow("tarvo-test", 0, 0, width, height,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!window) {
    std::fprintf(stderr, "ensureGLContext: SDL_CreateWindow: %s\n", SDL_GetError());
    SDL_Quit();
    return false;
  }
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    std::fprintf(stderr, "ensureGLContext: SDL_GL_CreateContext: %s\n", SDL_GetError());
    SDL_DestroyWindow(window);
    SDL_Quit();
    return false;
  }
  SDL_GL_MakeCurrent(window, context);
  glewExperimental = GL_TRUE;
  const GLenum glew = glewInit();
  if (glew != GLEW_OK) {
    std::fprintf(stderr, "ensureGLContext: glewInit: %s\n",
                 reinterpret_cast<const char*>(glewGetErrorString(glew)));
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return false;
  }
  glGetError();
  glViewport(0, 0, width, height);
  return true;
}
}  // namespace

bool ensureGLContext(int width, int height) {
  static bool tried = false;
  static bool ok = false;
  if (tried) return ok;
  tried = true;
  // ctest runs GL tests side by side on one shared Xvfb; a connection that
  // fails while the server is busy gets two more tries before the test fails.
  for (int attempt = 0; attempt < 3 && !ok; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ok = tryCreateGLContext(width, height);
  }
  return ok;
}

namespace {
GLuint compileTestStage(GLenum stage, const char* source, std::string& log) {
  const GLuint shader = glCreateShader(stage);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  char text[2048] = {};
  glGetShaderInfoLog(shader, sizeof text, nullptr, text);
  log += text;
  return shader;
}
}  // namespace

unsigned int buildTestProgram(const char* vertexSource, const char* fragmentSource) {
  std::string log;
  const GLuint program = glCreateProgram();
  glAttachShader(program, compileTestStage(GL_VERTEX_SHADER, vertexSource, log));
  glAttachShader(program, compileTestStage(GL_FRAGMENT_SHADER, fragmentSource, log));
  glLinkProgram(program);
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked) return program;
  char text[2048] = {};
  glGetProgramInfoLog(program, sizeof text, nullptr, text);
  ADD_FAILURE() << "test program did not link:\n" << log << text;
  glDeleteProgram(program);
  return 0;
}

namespace {
std::string captureStream(FILE* stream, int fd, const std::function<void()>& fn) {
  std::fflush(stream);
  char name[] = "/tmp/tarvo-capture-XXXXXX";
  const int tmp = mkstemp(name);
  const int saved = dup(fd);
  dup2(tmp, fd);
  fn();
  std::fflush(stream);
  dup2(saved, fd);
  close(saved);
  close(tmp);
  std::string text = readFile(name);
  std::remove(name);
  return text;
}
}  // namespace

std::string captureStdout(const std::function<void()>& fn) {
  return captureStream(stdout, STDOUT_FILENO, fn);
}

std::string captureStderr(const std::function<void()>& fn) {
  return captureStream(stderr, STDERR_FILENO, fn);
}

TempDir::TempDir(bool enter) : entered_(enter) {
  char name[] = "/tmp/tarvo-test-XXXXXX";
  path_ = mkdtemp(name);
  if (entered_) {
    previous_ = std::filesystem::current_path().string();
    std::filesystem::current_path(path_);
  }
}

TempDir::~TempDir() {
  std::error_code error;
  if (entered_) std::filesystem::current_path(previous_, error);
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, error);
  std::filesystem::remove_all(path_, error);
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<unsigned char> readBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(file),
                                    std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary);
  file << content;
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

long residentBytes() {
  long pages = 0;
  long resident = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (!statm) return 0;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(statm);
  return resident * sysconf(_SC_PAGESIZE);
}
