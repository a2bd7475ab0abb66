#include "base/malloc_tuning.h"

#include <gnu/libc-version.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {
constexpr const char* kHugePageTunable = "glibc.malloc.hugetlb";
// Huge pages; no block of its own for a large allocation (the heap serves it,
// and a free keeps it); the heap's top never given back.
constexpr const char* kTunedMalloc =
    "glibc.malloc.hugetlb=1:glibc.malloc.mmap_max=0:glibc.malloc.trim_threshold=18446744073709551615";

// glibc reads glibc.malloc.hugetlb from 2.35 on.
bool libcHasHugePageTunable(const std::string& version) {
  int major = 0;
  int minor = 0;
  if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) != 2) return false;
  return major > 2 || (major == 2 && minor >= 35);
}
}  // namespace

std::string tunedMallocTunables(const char* tunables, const std::string& hugePageMode, const std::string& libcVersion) {
  if (tunables && std::strstr(tunables, kHugePageTunable)) return "";
  // "always" gives huge pages without asking; "never" refuses them.
  if (hugePageMode.find("[madvise]") == std::string::npos) return "";
  if (!libcHasHugePageTunable(libcVersion)) return "";
  std::string wanted = kTunedMalloc;
  if (tunables && *tunables) wanted += std::string(":") + tunables;
  return wanted;
}

bool runsUnderInstrumentation() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
  return true;
#endif
#endif
  // valgrind preloads its own library into the program it runs; a restart
  // would leave valgrind behind.
  const char* preload = std::getenv("LD_PRELOAD");
  return preload && std::strstr(preload, "vgpreload");
}
void restartWithTunedMalloc(char** argv) {
  if (runsUnderInstrumentation()) return;
  std::ifstream modeFile("/sys/kernel/mm/transparent_hugepage/enabled");
  std::stringstream mode;
  mode << modeFile.rdbuf();
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  const std::string previous = tunables ? tunables : "";
  const std::string wanted = tunedMallocTunables(tunables, mode.str(), gnu_get_libc_version());
  if (wanted.empty()) return;
  if (setenv("GLIBC_TUNABLES", wanted.c_str(), 1) != 0) return;
  // The program's own path, not /proc/self/exe: the kernel names a process
  // after the file it executes, and `pkill tarvo` or top must still find
  // "tarvo", not "exe". The link is the fallback when that exec fails (the
  // file replaced by a rebuild while the program starts).
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length > 0) {
    path[length] = '\0';
    execv(path, argv);
  }
  execv("/proc/self/exe", argv);
  // No restart: go on as started.
  if (tunables) {
    setenv("GLIBC_TUNABLES", previous.c_str(), 1);
  } else {
    unsetenv("GLIBC_TUNABLES");
  }
}
