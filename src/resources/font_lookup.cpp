#include "resources/font_lookup.h"

#include <sys/stat.h>

#include <cstdlib>

namespace {
bool isRegularFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
}  // namespace

std::vector<std::string> fontDirectories() {
  std::vector<std::string> directories;
  const char* override = std::getenv(kFontDirectoryVariable);
  if (override && *override) directories.push_back(override);
  directories.push_back(kDejaVuDirectory);
  return directories;
}

std::string findDejaVuFont(const std::string& fileName, std::string* error) {
  std::string searched;
  for (const std::string& directory : fontDirectories()) {
    const std::string path = directory + "/" + fileName;
    if (isRegularFile(path)) return path;
    searched += (searched.empty() ? "" : ", ") + directory;
  }
  *error = "font " + fileName + " not found in " + searched + "; install the Debian package " +
           kDejaVuPackage + " (or set " + kFontDirectoryVariable + " to a folder holding it)";
  return "";
}
