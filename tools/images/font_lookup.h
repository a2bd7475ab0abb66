// Loads the DejaVu faces the cards are set in. Finding the files is shared
// with the program (resources/font_lookup.h); this adds the tool's loader.
#pragma once

#include <memory>
#include <string>

#include "resources/font_lookup.h"
#include "truetype_font.h"

namespace images {

// Finds and loads a face; null with *error set when either step fails.
std::unique_ptr<TrueTypeFont> loadDejaVuFont(const std::string& fileName, std::string* error);

}  // namespace images
