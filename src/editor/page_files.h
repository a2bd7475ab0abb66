// The editor page's files, served as they are: where the folder is and which
// file a URL path names. A path that would leave the folder, a hidden name
// or a type the page does not use names nothing.
#pragma once

#include <string>

// "web/editor" under the working directory when it is there, else the
// folder of the source tree the player was built from.
std::string findPageFolder();

struct PageFile {
  std::string path;  // operating-system path
  std::string contentType;
};

// "/" is index.html; "/app.js", "/img/icon.png" are files under the folder.
bool resolvePageFile(const std::string& folder, const std::string& urlPath, PageFile& file);
