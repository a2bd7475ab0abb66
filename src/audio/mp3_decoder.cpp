#include "audio/mp3_decoder.h"

#include <mpg123.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "resources/file_utils.h"

namespace {
struct HandleDeleter {
  void operator()(mpg123_handle* handle) const {
    mpg123_close(handle);
    mpg123_delete(handle);
  }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

// No MPEG audio file holds more sample frames per byte than this (the
// thinnest, 8 kbit/s at 8 kHz, holds 8), and a frame or two of slack on a
// reserved claim.
constexpr uint64_t kMostFramesPerByte = 16;
constexpr off_t kSlackFrames = 2 * 1152;

void initLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

std::string errorText(mpg123_handle* handle, int code) {
  return handle ? mpg123_strerror(handle) : mpg123_plain_strerror(code);
}
}  // namespace

DecodeResult decodeMp3(const uint8_t* data, size_t size) {
  DecodeResult result;
  if (data == nullptr || size == 0) {
    result.error = "empty file";
    return result;
  }
  initLibraryOnce();
  int code = MPG123_OK;
  Handle handle(mpg123_new(nullptr, &code));
  if (!handle) {
    result.error = errorText(nullptr, code);
    return result;
  }
  mpg123_handle* mh = handle.get();
  // 16-bit output at the file's own rate; mono is spread to both channels.
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO, 0.0);
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) {
    mpg123_format(mh, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
  }
  if (mpg123_open_feed(mh) != MPG123_OK) {
    result.error = errorText(mh, code);
    return result;
  }
  if (mpg123_feed(mh, data, size) != MPG123_OK) {
    result.error = errorText(mh, code);
    return result;
  }

  std::vector<int16_t>& samples = result.audio.samples;
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  for (;;) {
    off_t frameNumber = 0;
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    const int status = mpg123_decode_frame(mh, &frameNumber, &audio, &bytes);
    if (status == MPG123_NEW_FORMAT) {
      long newRate = 0;
      mpg123_getformat(mh, &newRate, &channels, &encoding);
      if (rate != 0 && newRate != rate) {
        result.error = "sample rate changes within the file";
        break;
      }
      rate = newRate;
      // The length in the encoder's header is only a claim: a damaged or
      // hostile one may name billions of frames. Reserved only when the
      // file's bytes could hold it, it spares the copies of a growing
      // buffer; otherwise the buffer grows with what is actually decoded.
      const off_t claimed = mpg123_length(mh);
      if (samples.empty() && claimed > 0 &&
          static_cast<uint64_t>(claimed) <= static_cast<uint64_t>(size) * kMostFramesPerByte) {
        samples.reserve(static_cast<size_t>(claimed + kSlackFrames) * kPcmChannels);
      }
      continue;
    }
    if (status == MPG123_OK) {
      if (bytes > 0 && audio) {
        const int16_t* pcm = reinterpret_cast<const int16_t*>(audio);
        samples.insert(samples.end(), pcm, pcm + bytes / sizeof(int16_t));
      }
      continue;
    }
    if (status == MPG123_NEED_MORE || status == MPG123_DONE) break;
    result.error = errorText(mh, status);
    break;
  }
  // An odd trailing sample would split a frame; drop it.
  samples.resize(samples.size() - samples.size() % kPcmChannels);
  // A claim well above what decoded leaves no idle memory behind.
  if (samples.capacity() > samples.size() + samples.size() / 8 + kSlackFrames * kPcmChannels) {
    samples.shrink_to_fit();
  }
  result.audio.sampleRate = static_cast<int>(rate);
  if (result.error.empty() && (samples.empty() || rate <= 0)) result.error = "no MP3 audio found";
  if (!result.error.empty()) {
    result.audio = DecodedAudio{};
    return result;
  }
  // Once the whole file has been fed, mpg123 knows the length only from an
  // encoder's header. More than one MPEG frame (1152 samples) apart from
  // what decoded is worth telling the author.
  const off_t announced = mpg123_length(mh);
  const int64_t decoded = result.audio.frameCount();
  if (announced > 0 && std::llabs(static_cast<long long>(announced) - decoded) > 1152) {
    char text[160];
    std::snprintf(text, sizeof text, "the header announces %.2f s, %.2f s decoded; the music is %.2f s long",
                  static_cast<double>(announced) / rate, static_cast<double>(decoded) / rate,
                  static_cast<double>(decoded) / rate);
    result.notice = text;
  }
  return result;
}

DecodeResult decodeMp3File(const std::string& osPath) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath, bytes)) {
    DecodeResult result;
    result.error = "cannot open " + osPath;
    return result;
  }
  return decodeMp3(bytes.data(), bytes.size());
}
