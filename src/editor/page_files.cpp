#include "editor/page_files.h"

#include <filesystem>
#include <utility>

namespace fs = std::filesystem;

namespace {
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
}  // namespace

std::string findPageFolder() {
  std::error_code error;
  if (fs::is_directory("web/editor", error)) return "web/editor";
  return TARVO_EDITOR_PAGE_DIR;
}

bool resolvePageFile(const std::string& folder, const std::string& urlPath, PageFile& file) {
  if (urlPath.empty() || urlPath.front() != '/') return false;
  const std::string relative = urlPath == "/" ? "index.html" : urlPath.substr(1);
  fs::path path(folder);
  size_t at = 0;
  while (at <= relative.size()) {
    const size_t slash = std::min(relative.find('/', at), relative.size());
    const std::string segment = relative.substr(at, slash - at);
    if (!safeSegment(segment)) return false;
    path /= segment;
    at = slash + 1;
  }
  const std::string extension = path.extension().string();
  for (const auto& [ending, type] : kContentTypes) {
    if (extension != ending) continue;
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return false;
    file.path = path.string();
    file.contentType = type;
    return true;
  }
  return false;
}
