// Finds the DejaVu faces the cards are set in: Debian's fonts-dejavu-core
// directory, after an override directory named by TARVO_FONT_DIR.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "truetype_font.h"

namespace images {

constexpr const char* kDejaVuDirectory = "/usr/share/fonts/truetype/dejavu";
constexpr const char* kDejaVuPackage = "fonts-dejavu-core";
constexpr const char* kFontDirectoryVariable = "TARVO_FONT_DIR";

// The directories searched, in order.
std::vector<std::string> fontDirectories();

// Path of the first file of that name in the font directories; empty, with
// *error naming the file, the places looked in and the package to install,
// when there is none.
std::string findDejaVuFont(const std::string& fileName, std::string* error);

// Finds and loads a face; null with *error set when either step fails.
std::unique_ptr<TrueTypeFont> loadDejaVuFont(const std::string& fileName, std::string* error);

}  // namespace images
