// Finds the DejaVu font files the program and its tools set text in: an
// override directory named by TARVO_FONT_DIR first, then Debian's
// fonts-dejavu-core directory. Only paths; reading and drawing the faces
// belongs to their users.
#pragma once

#include <string>
#include <vector>

constexpr const char* kDejaVuDirectory = "/usr/share/fonts/truetype/dejavu";
constexpr const char* kDejaVuPackage = "fonts-dejavu-core";
constexpr const char* kFontDirectoryVariable = "TARVO_FONT_DIR";

// The directories searched, in order.
std::vector<std::string> fontDirectories();

// Path of the first regular file of that name in the font directories;
// empty, with *error naming the file, the places looked in and the package
// to install, when there is none.
std::string findDejaVuFont(const std::string& fileName, std::string* error);
