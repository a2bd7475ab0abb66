#include "gpu/image_prefetch.h"

#include <algorithm>
#include <system_error>

#include "resources/data_object.h"
#include "resources/file_utils.h"

TexturePixels decodeImageFile(const std::string& path) {
  std::vector<uint8_t> fileBytes;
  if (!readFileBytes(osPath(path), fileBytes)) {
    TexturePixels pixels;
    pixels.refusal = "cannot read the file: " + readFailureReason(osPath(path));
    return pixels;
  }
  return decodeTexturePixels(fileBytes.data(), fileBytes.size());
}

ImagePrefetch::ImagePrefetch(const std::string& directory, unsigned workers) {
  for (const std::string& path : listDirectory(textureExtensions, directory)) items_.push_back(Item{path, false, false, TexturePixels{}});
  const size_t count = std::min<size_t>(items_.size(), std::max(1u, workers));
  try {
    for (size_t i = 0; i < count; ++i) workers_.emplace_back([this] { work(); });
  } catch (const std::system_error&) {
    // Fewer threads (or none): take() decodes what no worker started.
  }
}

ImagePrefetch::~ImagePrefetch() {
  {
    // Nothing new is started; running decodes finish.
    std::lock_guard<std::mutex> lock(mutex_);
    next_ = items_.size();
  }
  for (std::thread& worker : workers_) worker.join();
}

void ImagePrefetch::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (next_ < items_.size()) {
    Item& item = items_[next_++];
    if (item.taken) continue;  // take() decoded it itself
    lock.unlock();
    TexturePixels pixels = decodeImageFile(item.path);
    lock.lock();
    item.pixels = std::move(pixels);
    item.done = true;
    decoded_.notify_all();
  }
}

std::optional<TexturePixels> ImagePrefetch::take(const std::string& path) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (size_t i = 0; i < items_.size(); ++i) {
    Item& item = items_[i];
    if (item.path != path || item.taken) continue;
    item.taken = true;
    if (i >= next_) {
      // No worker has started it: decode it here rather than wait.
      item.done = true;
      lock.unlock();
      return decodeImageFile(path);
    }
    decoded_.wait(lock, [&] { return item.done; });
    return std::move(item.pixels);
  }
  return std::nullopt;
}
