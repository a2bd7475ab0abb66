#include "gpu/render_target.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/keys.h"
#include "base/log.h"
#include "gpu/screen_framebuffer.h"
#include "gpu/texture_binding.h"
#include "resources/file_utils.h"

const char* const kCaptureDirectory = "output";

namespace {
constexpr int kCaptureKey = '1';
constexpr int kCaptureChannels = 4;
constexpr int kFinishReadSize = 4;
constexpr int32_t kRenderTargetFileTime = -666;

// Defines level 0 of the bound texture; false for an unknown format, which
// leaves the texture without storage.
bool defineColorStorage(int format, int width, int height) {
  switch (format) {
    case kFormatRGBA8:
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
      return true;
    case kFormatR32F:
      glTexImage2D(GL_TEXTURE_2D, 0, GL_R32F, width, height, 0, GL_RED, GL_FLOAT, nullptr);
      return true;
    case kFormatRGBA16F:
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16F, width, height, 0, GL_RGBA, GL_FLOAT, nullptr);
      return true;
    case kFormatR16F:
      glTexImage2D(GL_TEXTURE_2D, 0, GL_R16F, width, height, 0, GL_RED, GL_HALF_FLOAT, nullptr);
      return true;
    default:
      return false;
  }
}

const char* framebufferProblem(GLenum status) {
  switch (status) {
    case GL_FRAMEBUFFER_COMPLETE:
      return nullptr;
    case GL_FRAMEBUFFER_UNDEFINED:
      return "FBO Undefined\n";
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT:
      return "FBO Incomplete Attachment\n";
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT:
      return "FBO Missing Attachment\n";
    case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER:
      return "FBO Incomplete Draw Buffer\n";
    case GL_FRAMEBUFFER_UNSUPPORTED:
      return "FBO Unsupported\n";
    default:
      return "FBO Problem?\n";
  }
}

}  // namespace

std::string captureFileName(int32_t firstNumber,
                            const std::function<bool(const std::string&)>& inUse) {
  char fileName[64];
  for (int64_t number = std::max<int32_t>(firstNumber, 0);; ++number) {
    std::snprintf(fileName, sizeof(fileName), "%s\\%05lld.png", kCaptureDirectory,
                  static_cast<long long>(number));
    if (!inUse(fileName)) return fileName;
  }
}

int previewTargetSide(float relativeSize, float designSide, float scale) {
  return std::max(1, static_cast<int>(relativeSize * designSide * scale));
}

void flipRows(std::vector<unsigned char>& pixels, size_t rowBytes, size_t rowCount) {
  if (rowBytes == 0 || pixels.size() < rowBytes * rowCount) return;
  for (size_t top = 0, bottom = rowCount; top + 1 < bottom; ++top, --bottom) {
    std::swap_ranges(pixels.begin() + static_cast<std::ptrdiff_t>(top * rowBytes),
                     pixels.begin() + static_cast<std::ptrdiff_t>((top + 1) * rowBytes),
                     pixels.begin() + static_cast<std::ptrdiff_t>((bottom - 1) * rowBytes));
  }
}

RenderTarget2D::RenderTarget2D(int format, bool relative, float size, const std::string& targetName) {
  initialise(targetName);
  format_ = format;
  if (relative) relativeSize_ = size;
  const int targetWidth = relative ? static_cast<int>(size * kDesignWidth) : static_cast<int>(size);
  const int targetHeight = relative ? static_cast<int>(size * kDesignHeight) : static_cast<int>(size);
  if (create(targetWidth, targetHeight, format)) {
    Log("created RT: [%s] %dx%d\n", name.c_str(), targetWidth, targetHeight);
  }
}

bool RenderTarget2D::resizeForPreview(float scale) {
  if (relativeSize_ <= 0.0f) return false;
  const int targetWidth = previewTargetSide(relativeSize_, kDesignWidth, scale);
  const int targetHeight = previewTargetSide(relativeSize_, kDesignHeight, scale);
  if (targetWidth == static_cast<int>(width) && targetHeight == static_cast<int>(height)) return false;
  isComplete = false;
  create(targetWidth, targetHeight, format_);
  return true;
}

RenderTarget2D::RenderTarget2D(int targetWidth, int targetHeight, int format,
                               const std::string& targetName) {
  initialise(targetName);
  format_ = format;
  if (create(targetWidth, targetHeight, format)) {
    Log("created RT: [%s] %dx%d\n", name.c_str(), targetWidth, targetHeight);
  }
}

void RenderTarget2D::initialise(const std::string& targetName) {
  kind = "RenderTarget2D";
  name = targetName;
  path.clear();
  fileTime = kRenderTargetFileTime;
  isActive = false;
}

const char* ColorDepthFramebuffer::createAttachments(int width, int height, int format) {
  colorTexture = generateTexture();
  glBindTexture(GL_TEXTURE_2D, colorTexture);
  defineColorStorage(format, width, height);

  framebuffer = generateFramebuffer();
  glBindFramebufferEXT(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorTexture, 0);

  depthBuffer = generateRenderbuffer();
  glBindRenderbufferEXT(GL_RENDERBUFFER, depthBuffer);
  glRenderbufferStorageEXT(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  glFramebufferRenderbufferEXT(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);

  const char* problem = framebufferProblem(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER));
  // The screen's framebuffer is made current again in both cases, so a
  // broken target never swallows the drawing meant for the screen.
  glBindFramebufferEXT(GL_FRAMEBUFFER, screenFramebuffer());
  return problem;
}

bool RenderTarget2D::create(int targetWidth, int targetHeight, int format) {
  width = static_cast<float>(targetWidth);
  height = static_cast<float>(targetHeight);
  if (const char* problem = createAttachments(targetWidth, targetHeight, format)) {
    Log("%s", problem);
    return false;
  }
  isComplete = true;
  return true;
}

void RenderTarget2D::begin() {
  glGetIntegerv(GL_VIEWPORT, savedViewport);
  glViewport(0, 0, static_cast<int>(width), static_cast<int>(height));
  glBindFramebufferEXT(GL_FRAMEBUFFER, framebuffer);
  isActive = true;
}

void RenderTarget2D::end(bool buildMipmaps) {
  // The read waits for the target's drawing to finish before it is left.
  glReadPixels(0, 0, kFinishReadSize, kFinishReadSize, GL_BGRA, GL_UNSIGNED_BYTE, finishScratch);
  glBindFramebufferEXT(GL_FRAMEBUFFER, screenFramebuffer());
  glViewport(savedViewport[0], savedViewport[1], savedViewport[2], savedViewport[3]);
  if (buildMipmaps) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, colorTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    generateMipmaps();
  }
  isActive = false;
}

void RenderTarget2D::bindTexture(int unit, int minFilter, int magFilter, int wrap) {
  bindTextureToUnit(colorTexture, width, height, unit, minFilter, magFilter, wrap);
}

std::pair<float, float> RenderTarget2D::getTexelSize() { return texelSizeOf(width, height); }

bool RenderTarget2D::active() { return isActive; }

void RenderTarget2D::save() {
  if (!KeyPressed(kCaptureKey)) return;
  const int32_t entryCount = countDirectoryEntries(kCaptureDirectory);
  const std::string fileName = captureFileName(entryCount, [](const std::string& candidate) {
    std::error_code error;
    return std::filesystem::exists(osPath(candidate), error);
  });
  Log("writing: %s\n", fileName.c_str());
  std::error_code error;
  std::filesystem::create_directories(osPath(kCaptureDirectory), error);
  writeCapture(fileName);
}

void RenderTarget2D::writeCapture(const std::string& fileName) {
  const int captureWidth = static_cast<int>(width);
  const int captureHeight = static_cast<int>(height);
  if (captureWidth <= 0 || captureHeight <= 0) {
    Log("\tcould not write %s: the target has no pixels\n", fileName.c_str());
    return;
  }
  begin();
  const size_t rowBytes = static_cast<size_t>(captureWidth) * kCaptureChannels;
  std::vector<unsigned char> pixels(rowBytes * static_cast<size_t>(captureHeight));
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  GLint savedAlignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &savedAlignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, captureWidth, captureHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, savedAlignment);
  // GL returns the bottom row first; the file starts with the top row.
  flipRows(pixels, rowBytes, static_cast<size_t>(captureHeight));
  const int written = stbi_write_png(osPath(fileName).c_str(), captureWidth, captureHeight,
                                     kCaptureChannels, pixels.data(), static_cast<int>(rowBytes));
  end(false);
  if (!written) Log("\tcould not write %s\n", fileName.c_str());
}
