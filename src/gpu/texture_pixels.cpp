#include "gpu/texture_pixels.h"

#include <climits>
#include <csetjmp>
#include <cstdio>  // before jpeglib.h, which uses FILE without including it
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>  // after jpeglib.h: the warning codes
#include <png.h>
#include <stb_image.h>

namespace {
constexpr int kRgbChannels = 3;
constexpr int kRgbaChannels = 4;
// No GL implementation takes a texture side this long; libjpeg's own limit
// (65500) lies just below it.
constexpr int64_t kMaxTextureSide = 65535;

constexpr size_t kPngSignatureBytes = 8;
constexpr size_t kPngChunkFrameBytes = 12;  // length, type, CRC
constexpr size_t kPngChunkTypeOffset = 4;
constexpr size_t kPngChunkDataOffset = 8;
constexpr size_t kPngIhdrSizeBytes = 8;  // width and height lead the IHDR data
const unsigned char kPngSignature[kPngSignatureBytes] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Backstops: the chunks libpng buffers whole, often after inflating them
// (text, colour profiles), are skipped unread, but none could take more.
constexpr png_alloc_size_t kMaxPngChunkBytes = png_alloc_size_t(8) << 20;
constexpr png_uint_32 kMaxPngKeptChunks = 1000;

const unsigned char kJpegSignature[] = {0xFF, 0xD8, 0xFF};
// A crafted progressive file can repeat cheap scans, each a pass over the
// whole image; real ones have about ten.
constexpr int kMaxJpegScans = 256;
// No memory limit is set on libjpeg: libjpeg-turbo 2.1 ignores
// max_memory_to_use. Its largest buffer, the coefficients a progressive
// image keeps until its last scan (two bytes per sample, at most four
// samples per pixel), is bounded by the pixel budget checked first.

const char kRadianceSignature[] = "#?RADIANCE\n";
const char kRgbeSignature[] = "#?RGBE\n";

bool startsWith(const uint8_t* bytes, size_t size, const void* prefix, size_t prefixSize) {
  return size >= prefixSize && std::memcmp(bytes, prefix, prefixSize) == 0;
}

TexturePixels refused(std::string reason) {
  TexturePixels image;
  image.refusal = std::move(reason);
  return image;
}

// An 8-bit image that decoded: its size, the file's channel count and the
// upload's bytes.
TexturePixels decodedBytes(uint32_t width, uint32_t height, int channels, std::vector<unsigned char> bytes) {
  TexturePixels image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.channels = channels;
  image.bytes = std::move(bytes);
  return image;
}

// The refusal of an image whose upload would not fit, empty when it fits.
std::string sizeRefusal(int64_t width, int64_t height, uint64_t bytesPerPixel) {
  if (width > 0 && height > 0 && width <= kMaxTextureSide && height <= kMaxTextureSide &&
      uint64_t(width) * uint64_t(height) * bytesPerPixel <= kMaxTexturePixelBytes) {
    return {};
  }
  return "image of " + std::to_string(width) + "x" + std::to_string(height) + " pixels";
}

uint32_t readUint32BE(const uint8_t* bytes) {
  return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]);
}

// ---- PNG

// Walks the chunks before libpng sees any: every one up to IEND must lie
// within the file (a cut file gets one plain reason), and the size in a
// leading IHDR must fit the budget before libpng reads further.
std::string pngLayoutRefusal(const uint8_t* bytes, size_t size) {
  size_t offset = kPngSignatureBytes;
  while (size - offset >= kPngChunkFrameBytes) {
    const uint32_t length = readUint32BE(bytes + offset);
    if (length > size - offset - kPngChunkFrameBytes) break;
    const uint8_t* type = bytes + offset + kPngChunkTypeOffset;
    const uint8_t* data = bytes + offset + kPngChunkDataOffset;
    if (offset == kPngSignatureBytes && std::memcmp(type, "IHDR", 4) == 0 && length >= kPngIhdrSizeBytes) {
      std::string tooLarge = sizeRefusal(readUint32BE(data), readUint32BE(data + 4), kRgbaChannels);
      if (!tooLarge.empty()) return tooLarge;
    }
    if (std::memcmp(type, "IEND", 4) == 0) return {};
    offset += kPngChunkFrameBytes + length;
  }
  return "a PNG chunk runs past the end of the file";
}

// libpng's state and the input it reads. It lives in decodePng's frame,
// which libpng's longjmp never leaves, so its destructor always runs.
struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  size_t offset = 0;
  std::string message;  // libpng's, when it gave up

  ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct PngLayout {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int channels = 0;        // the file's, counted as stb_image counted them
  int uploadChannels = 0;  // after the transforms: 3 or 4
  size_t rowBytes = 0;
};

[[noreturn]] void onPngError(png_structp png, png_const_charp message) {
  static_cast<PngReader*>(png_get_error_ptr(png))->message = message;
  png_longjmp(png, 1);
}

// Warnings (and libpng's "benign" errors) come after every pixel was read:
// a damaged ancillary chunk, data after the last row, a palette index past
// the palette (black). The image stands, as it did with stb_image.
void onPngWarning(png_structp, png_const_charp) {}

void readPngBytes(png_structp png, png_bytep out, size_t length) {
  auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
  if (length > reader->size - reader->offset) png_error(png, "the file ends early");
  std::memcpy(out, reader->bytes + reader->offset, length);
  reader->offset += length;
}

// A transparent colour (tRNS) gives grey, RGB and palette images an alpha
// channel of their own.
int pngChannels(int colourType, bool transparentColour) {
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
      return transparentColour ? 2 : 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_PALETTE:
      return transparentColour ? 4 : 3;
    default:
      return 4;
  }
}

// Reads up to the image data and sets the transforms that give 8-bit RGB or
// RGBA: palettes looked up, grey widened, bits below 8 scaled to 0..255, 16
// bits cut to their high byte, a transparent colour made alpha. No gamma or
// colour profile is applied: those chunks are not even read. libpng leaves
// this frame by longjmp, so nothing in it has a destructor.
bool readPngHeader(PngReader& reader, PngLayout& layout) {
  png_structp png = reader.png;
  png_infop info = reader.info;
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &reader, readPngBytes);
  png_set_user_limits(png, kMaxTextureSide, kMaxTextureSide);
  png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
  png_set_chunk_cache_max(png, kMaxPngKeptChunks);
  // Every chunk but IHDR, PLTE, tRNS, IDAT and IEND is skipped (its CRC
  // still checked); an unknown critical one is refused.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_read_info(png, info);

  int bitDepth = 0;
  int colourType = 0;
  png_get_IHDR(png, info, &layout.width, &layout.height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
  layout.channels = pngChannels(colourType, png_get_valid(png, info, PNG_INFO_tRNS) != 0);
  png_set_expand(png);
  png_set_strip_16(png);
  if (layout.channels < kRgbChannels) png_set_gray_to_rgb(png);
  if (layout.channels == 1) png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  layout.uploadChannels = png_get_channels(png, info);
  layout.rowBytes = png_get_rowbytes(png, info);
  return true;
}

// Every row, then the chunks after them up to IEND with their CRCs.
bool readPngPixels(PngReader& reader, png_bytepp rows) {
  if (setjmp(png_jmpbuf(reader.png))) return false;
  png_read_image(reader.png, rows);
  png_read_end(reader.png, nullptr);
  return true;
}

TexturePixels decodePng(const uint8_t* bytes, size_t size) {
  std::string layoutRefusal = pngLayoutRefusal(bytes, size);
  if (!layoutRefusal.empty()) return refused(std::move(layoutRefusal));

  PngReader reader;
  reader.bytes = bytes;
  reader.size = size;
  reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, onPngError, onPngWarning);
  if (reader.png) reader.info = png_create_info_struct(reader.png);
  if (!reader.info) return refused("PNG: libpng could not start (out of memory?)");

  PngLayout layout;
  if (!readPngHeader(reader, layout)) return refused("PNG: " + reader.message);
  std::string tooLarge = sizeRefusal(layout.width, layout.height, kRgbaChannels);
  if (!tooLarge.empty()) return refused(std::move(tooLarge));
  const int expectedChannels = layout.channels == kRgbChannels ? kRgbChannels : kRgbaChannels;
  if (layout.uploadChannels != expectedChannels || layout.rowBytes != size_t(layout.width) * expectedChannels) {
    return refused("PNG: rows of " + std::to_string(layout.rowBytes) + " bytes where " +
                   std::to_string(size_t(layout.width) * expectedChannels) + " were expected");
  }

  std::vector<unsigned char> pixels(layout.rowBytes * layout.height);
  std::vector<png_bytep> rows(layout.height);
  for (png_uint_32 y = 0; y < layout.height; ++y) rows[y] = pixels.data() + y * layout.rowBytes;
  if (!readPngPixels(reader, rows.data())) return refused("PNG: " + reader.message);
  return decodedBytes(layout.width, layout.height, layout.channels, std::move(pixels));
}

// ---- JPEG

// libjpeg's error manager and the way back out of it; libjpeg hands the
// callbacks `base`, so it comes first.
struct JpegErrors {
  jpeg_error_mgr base;
  std::jmp_buf escape;
  char message[JMSG_LENGTH_MAX];
};

// Lives in decodeJpeg's frame, which the longjmp never leaves.
struct JpegReader {
  jpeg_decompress_struct info;
  JpegErrors errors;
  jpeg_progress_mgr progress;
  bool created = false;

  ~JpegReader() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

struct JpegLayout {
  int channels = 0;        // 1 for grey, 3 for colour or CMYK
  int uploadChannels = 0;  // 4 for grey (widened to RGBA), else 3
  bool cmyk = false;       // decoded as CMYK, turned into RGB row by row
};

[[noreturn]] void leaveJpeg(j_common_ptr common) {
  std::longjmp(reinterpret_cast<JpegErrors*>(common->err)->escape, 1);
}

[[noreturn]] void onJpegError(j_common_ptr common) {
  common->err->format_message(common, reinterpret_cast<JpegErrors*>(common->err)->message);
  leaveJpeg(common);
}

// libjpeg goes on after a warning with whatever it could salvage: grey for
// the rest of a cut file, garbage after a damaged one. Every warning but
// two that concern the header's labels ends the decoding.
void onJpegMessage(j_common_ptr common, int level) {
  constexpr int kWarning = -1;  // levels 0 and up are traces
  if (level != kWarning) return;
  const int code = common->err->msg_code;
  if (code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM) return;
  onJpegError(common);
}

void countJpegScans(j_common_ptr common) {
  const int scan = reinterpret_cast<j_decompress_ptr>(common)->input_scan_number;
  if (scan <= kMaxJpegScans) return;
  auto* errors = reinterpret_cast<JpegErrors*>(common->err);
  std::snprintf(errors->message, sizeof errors->message, "more than %d scans", kMaxJpegScans);
  leaveJpeg(common);
}

// Reads the markers up to the first scan and picks the output colours. The
// longjmp leaves this frame, so nothing in it has a destructor.
bool readJpegHeader(JpegReader& reader, const uint8_t* bytes, size_t size, JpegLayout& layout) {
  jpeg_decompress_struct& info = reader.info;
  if (setjmp(reader.errors.escape)) return false;
  jpeg_create_decompress(&info);
  reader.created = true;
  info.progress = &reader.progress;
  jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      info.out_color_space = JCS_EXT_RGBA;
      layout = {1, kRgbaChannels, false};
      break;
    case JCS_YCbCr:
    case JCS_RGB:
      info.out_color_space = JCS_RGB;
      layout = {kRgbChannels, kRgbChannels, false};
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      info.out_color_space = JCS_CMYK;
      layout = {kRgbChannels, kRgbChannels, true};
      break;
    default:
      std::snprintf(reader.errors.message, sizeof reader.errors.message,
                    "%d colour components, neither grey, colour nor CMYK", info.num_components);
      return false;
  }
  jpeg_calc_output_dimensions(&info);
  return true;
}

// Adobe's writers store CMYK inverted (0 is full ink), others as ink. No
// colour profile: paper left uncovered by the ink and the black, per primary.
void cmykRowToRgb(const unsigned char* cmyk, unsigned char* rgb, size_t width, bool inverted) {
  constexpr unsigned kFull = 255;
  for (size_t x = 0; x < width; ++x) {
    const unsigned black = inverted ? cmyk[4 * x + 3] : kFull - cmyk[4 * x + 3];
    for (int c = 0; c < kRgbChannels; ++c) {
      const unsigned uncovered = inverted ? cmyk[4 * x + c] : kFull - cmyk[4 * x + c];
      rgb[kRgbChannels * x + c] = static_cast<unsigned char>((uncovered * black + kFull / 2) / kFull);
    }
  }
}

// Decodes every row into `pixels` (through `cmykRow` for CMYK), then reads
// on to the end of the image so that data missing after the last row is
// caught too.
bool readJpegPixels(JpegReader& reader, const JpegLayout& layout, unsigned char* pixels, unsigned char* cmykRow) {
  jpeg_decompress_struct& info = reader.info;
  if (setjmp(reader.errors.escape)) return false;
  jpeg_start_decompress(&info);
  const size_t rowBytes = size_t(info.output_width) * layout.uploadChannels;
  while (info.output_scanline < info.output_height) {
    unsigned char* out = pixels + size_t(info.output_scanline) * rowBytes;
    JSAMPROW row = layout.cmyk ? cmykRow : out;
    if (jpeg_read_scanlines(&info, &row, 1) != 1) {
      std::snprintf(reader.errors.message, sizeof reader.errors.message, "no data for row %u", info.output_scanline);
      return false;
    }
    if (layout.cmyk) cmykRowToRgb(cmykRow, out, info.output_width, info.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&info);
  return true;
}

TexturePixels decodeJpeg(const uint8_t* bytes, size_t size) {
  JpegReader reader;
  reader.info.err = jpeg_std_error(&reader.errors.base);
  reader.errors.base.error_exit = onJpegError;
  reader.errors.base.emit_message = onJpegMessage;
  reader.errors.message[0] = '\0';
  reader.progress.progress_monitor = countJpegScans;

  JpegLayout layout;
  if (!readJpegHeader(reader, bytes, size, layout)) return refused(std::string("JPEG: ") + reader.errors.message);
  const jpeg_decompress_struct& info = reader.info;
  std::string tooLarge = sizeRefusal(info.output_width, info.output_height, kRgbaChannels);
  if (!tooLarge.empty()) return refused(std::move(tooLarge));
  const int decodedChannels = layout.cmyk ? 4 : layout.uploadChannels;
  if (info.output_components != decodedChannels) {
    return refused("JPEG: " + std::to_string(info.output_components) + " values per pixel where " +
                   std::to_string(decodedChannels) + " were expected");
  }

  std::vector<unsigned char> pixels(size_t(info.output_width) * info.output_height * layout.uploadChannels);
  std::vector<unsigned char> cmykRow(layout.cmyk ? size_t(info.output_width) * 4 : 0);
  if (!readJpegPixels(reader, layout, pixels.data(), cmykRow.data())) {
    return refused(std::string("JPEG: ") + reader.errors.message);
  }
  return decodedBytes(info.output_width, info.output_height, layout.channels, std::move(pixels));
}

// ---- Radiance HDR

std::string radianceReason() {
  const char* reason = stbi_failure_reason();
  return std::string("Radiance HDR: ") + (reason && *reason ? reason : "not decoded");
}

TexturePixels decodeRadiance(const uint8_t* bytes, size_t size) {
  TexturePixels image;
  image.isHDR = true;
  const int length = static_cast<int>(size);
  int width = 0;
  int height = 0;
  int channels = 0;
  if (!stbi_info_from_memory(bytes, length, &width, &height, &channels)) {
    image.refusal = radianceReason();
    return image;
  }
  // Accounted as four floats per pixel, as every texture's budget is.
  image.refusal = sizeRefusal(width, height, kRgbaChannels * sizeof(float));
  if (!image.ok()) return image;

  float* decoded = stbi_loadf_from_memory(bytes, length, &width, &height, &channels, kRgbChannels);
  if (!decoded) {
    image.refusal = radianceReason();
    return image;
  }
  image.floats.assign(decoded, decoded + size_t(width) * size_t(height) * kRgbChannels);
  stbi_image_free(decoded);
  image.width = width;
  image.height = height;
  image.channels = kRgbChannels;
  return image;
}
}  // namespace

const void* TexturePixels::upload() const {
  if (!ok()) return nullptr;
  if (isHDR) return floats.data();
  return bytes.data();
}

TexturePixels decodeTexturePixels(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr || size == 0) return refused("the file is empty");
  // stb_image and libjpeg count bytes in an int or long.
  if (size > static_cast<size_t>(INT_MAX)) return refused("the file is larger than 2 GiB");
  if (startsWith(bytes, size, kPngSignature, sizeof kPngSignature)) return decodePng(bytes, size);
  if (startsWith(bytes, size, kJpegSignature, sizeof kJpegSignature)) return decodeJpeg(bytes, size);
  if (startsWith(bytes, size, kRadianceSignature, sizeof kRadianceSignature - 1) ||
      startsWith(bytes, size, kRgbeSignature, sizeof kRgbeSignature - 1)) {
    return decodeRadiance(bytes, size);
  }
  return refused("not a PNG, JPEG or Radiance HDR file (its first bytes are none of theirs)");
}
