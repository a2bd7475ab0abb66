#include "editor/page_files.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace fs = std::filesystem;

namespace {
// For files read from a folder; the built-in copy carries the types its
// generator gave each file.
const std::pair<const char*, const char*> kContentTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".mjs", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".json", "application/json"},
    {".png", "image/png"},
    {".svg", "image/svg+xml"},
    {".ico", "image/x-icon"},
    {".woff2", "font/woff2"},
};

bool safeSegment(const std::string& segment) {
  if (segment.empty() || segment.front() == '.') return false;  // "..", hidden names
  for (char c : segment) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                       c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
}

// "/" → "index.html", "/img/a.png" → "img/a.png"; "" when a segment is unsafe.
std::string relativeName(const std::string& urlPath) {
  if (urlPath.empty() || urlPath.front() != '/') return {};
  const std::string relative = urlPath == "/" ? "index.html" : urlPath.substr(1);
  size_t at = 0;
  while (at <= relative.size()) {
    const size_t slash = std::min(relative.find('/', at), relative.size());
    if (!safeSegment(relative.substr(at, slash - at))) return {};
    at = slash + 1;
  }
  return relative;
}

bool readFromFolder(const std::string& folder, const std::string& name, PageFileBytes& file) {
  const fs::path path = fs::path(folder) / name;
  const std::string extension = path.extension().string();
  for (const auto& [ending, type] : kContentTypes) {
    if (extension != ending) continue;
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return false;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in) return false;
    file.contentType = type;
    file.bytes = bytes.str();
    return true;
  }
  return false;
}
}  // namespace

bool readPageFile(const std::string& folder, const std::string& urlPath, PageFileBytes& file) {
  const std::string name = relativeName(urlPath);
  if (name.empty()) return false;
  if (!folder.empty()) return readFromFolder(folder, name, file);
  for (size_t i = 0; i < kEmbeddedPageFileCount; ++i) {
    const EmbeddedPageFile& embedded = kEmbeddedPageFiles[i];
    if (name != embedded.name) continue;
    file.contentType = embedded.contentType;
    file.bytes.assign(reinterpret_cast<const char*>(embedded.bytes), embedded.size);
    return true;
  }
  return false;
}
