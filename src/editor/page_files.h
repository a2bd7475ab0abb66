// The editor page's files: built into the player (a source generated from
// web/editor at build time, see cmake/embed_page.cmake), or read from a
// folder given with --editor-page while the page itself is worked on. Which
// file a URL path names: a path that would leave the folder, a hidden name
// or a type the page does not use names nothing.
#pragma once

#include <cstddef>
#include <string>

struct PageFileBytes {
  std::string contentType;
  std::string bytes;
};

// "/" is index.html; "/app.js", "/img/icon.png" are files of the page. From
// `folder` when it is not empty, else the built-in copy. False when there is
// no such file (or it cannot be read).
bool readPageFile(const std::string& folder, const std::string& urlPath, PageFileBytes& file);

// The built-in copy, generated at build time.
struct EmbeddedPageFile {
  const char* name;  // relative to the page's folder, '/' between folders
  const char* contentType;
  const unsigned char* bytes;
  size_t size;
};
extern const EmbeddedPageFile kEmbeddedPageFiles[];
extern const size_t kEmbeddedPageFileCount;
