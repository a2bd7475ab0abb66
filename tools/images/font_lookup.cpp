#include "font_lookup.h"

namespace images {

std::unique_ptr<TrueTypeFont> loadDejaVuFont(const std::string& fileName, std::string* error) {
  const std::string path = findDejaVuFont(fileName, error);
  return path.empty() ? nullptr : TrueTypeFont::load(path, error);
}

}  // namespace images
