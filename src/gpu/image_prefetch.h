// Decoding a data directory's images on worker threads while the main
// thread sets up its window and GL state: starts at construction, hands each
// file's decoded pixels over once (take), and joins its workers when
// destroyed. Reading and decoding only; the upload stays with Texture on
// the GL thread.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gpu/texture_pixels.h"

class ImagePrefetch {
 public:
  // Every image file of the directory (program path), as the registry's
  // loader lists them, decoded by up to `workers` threads.
  explicit ImagePrefetch(const std::string& directory, unsigned workers = std::thread::hardware_concurrency());
  ~ImagePrefetch();
  ImagePrefetch(const ImagePrefetch&) = delete;
  ImagePrefetch& operator=(const ImagePrefetch&) = delete;

  // The decoded pixels of the file (program path), waiting for them when
  // they are still being decoded; nothing for a file that was not listed or
  // was taken before.
  std::optional<TexturePixels> take(const std::string& path);

 private:
  struct Item {
    std::string path;
    bool done = false;
    bool taken = false;
    TexturePixels pixels;
  };
  void work();

  std::vector<Item> items_;
  size_t next_ = 0;  // the first item no worker has started
  std::mutex mutex_;
  std::condition_variable decoded_;
  std::vector<std::thread> workers_;
};

// Reads and decodes one image file (program path); the refusal names why a
// file that cannot be read was not decoded.
TexturePixels decodeImageFile(const std::string& path);
