#include "app/sdl_audio_stream.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/log.h"

namespace {
constexpr int kDefaultSampleRate = 44100;
constexpr int kDeviceBufferFrames = 1024;

void copyFrames(const int16_t* source, int16_t* target, int64_t sampleCount, float gain) {
  if (gain >= 1.0f) {
    std::memcpy(target, source, static_cast<size_t>(sampleCount) * sizeof(int16_t));
    return;
  }
  for (int64_t i = 0; i < sampleCount; ++i) {
    target[i] = static_cast<int16_t>(std::lrintf(source[i] * gain));
  }
}
}  // namespace

SdlAudioStream::~SdlAudioStream() {
  closeDevice();
  if (subsystemStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlAudioStream::init() {
  if (initialised_) return true;
  initialised_ = true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    goSilent(SDL_GetError());
    return true;
  }
  subsystemStarted_ = true;
  const char* driver = SDL_GetCurrentAudioDriver();
  if (driver && std::strcmp(driver, "dummy") == 0) {
    // The dummy driver paces its callbacks loosely; our own clock is exact.
    goSilent("the 'dummy' audio driver has no output");
    return true;
  }
  std::string reason;
  if (!openDevice(kDefaultSampleRate, reason)) goSilent(reason);
  return true;
}

bool SdlAudioStream::openDevice(int sampleRate, std::string& reason) {
  SDL_AudioSpec want;
  SDL_zero(want);
  want.freq = sampleRate;
  want.format = AUDIO_S16SYS;
  want.channels = kPcmChannels;
  want.samples = kDeviceBufferFrames;
  want.callback = [](void* self, Uint8* out, int length) { audioCallback(self, out, length); };
  want.userdata = this;
  SDL_AudioSpec have;
  // No allowed changes: SDL converts to whatever the hardware wants.
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device == 0) {
    reason = SDL_GetError();
    return false;
  }
  device_ = device;
  deviceRate_ = sampleRate;
  bufferFrames_ = have.samples > 0 ? have.samples : kDeviceBufferFrames;
  return true;
}

void SdlAudioStream::closeDevice() {
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }
}

void SdlAudioStream::goSilent(const std::string& reason) {
  if (silent_) return;
  silent_ = true;
  Log("no audio output (%s): the music clock runs silently\n", reason.c_str());
}

void SdlAudioStream::openDecoded(DecodedAudio audio) {
  if (!initialised_) init();
  // Stop the callback before the samples it reads are replaced.
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    AudioStream::openDecoded(std::move(audio));
    playing_ = false;
    cursorFrame_ = 0;
    segmentStart_ = 0;
    lastReported_ = 0;
    anchorAt(0);
  }
  if (!silent_ && isOpen() && audio_.sampleRate != deviceRate_) {
    closeDevice();
    std::string reason;
    if (!openDevice(audio_.sampleRate, reason)) goSilent(reason);
  }
}

void SdlAudioStream::start() {
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

void SdlAudioStream::play(bool restart) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (restart) {
    cursorFrame_ = 0;
    segmentStart_ = 0;
    lastReported_ = 0;
  }
  if (!playing_ || restart) {
    playing_ = true;
    anchorAt(cursorFrame_);
  }
}

void SdlAudioStream::pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!playing_) return;
  // Resuming goes on from what was heard, not from what the device had
  // already been handed.
  const int64_t frame = std::max(lastReported_, estimatedFrame(Clock::now()));
  playing_ = false;
  cursorFrame_ = frame;
  segmentStart_ = frame;
  lastReported_ = frame;
  anchorAt(frame);
}

bool SdlAudioStream::playing() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return playing_;
}

void SdlAudioStream::setVolume(float volume) {
  std::lock_guard<std::mutex> lock(mutex_);
  gain_ = playbackGain(volume);
}

void SdlAudioStream::setPosition(int64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int64_t frame = clampedFrame(bytes);
  cursorFrame_ = frame;
  segmentStart_ = frame;
  lastReported_ = frame;
  anchorAt(frame);
}

void SdlAudioStream::anchorAt(int64_t frame) {
  anchorFrame_ = frame;
  anchorTime_ = Clock::now();
  // Without a device nothing limits the clock but the end of the stream.
  anchorLimit_ = silent_ ? audio_.frameCount() : std::min(frame + bufferFrames_, audio_.frameCount());
}

int64_t SdlAudioStream::estimatedFrame(Clock::time_point now) const {
  if (!playing_) return anchorFrame_;
  const double elapsed = std::chrono::duration<double>(now - anchorTime_).count();
  const double advanced = std::max(0.0, elapsed) * audio_.sampleRate;
  const int64_t frame = anchorFrame_ + static_cast<int64_t>(advanced);
  return std::min(frame, anchorLimit_);
}

int64_t SdlAudioStream::position() {
  std::lock_guard<std::mutex> lock(mutex_);
  const int64_t frame = std::max(lastReported_, estimatedFrame(Clock::now()));
  lastReported_ = frame;
  return frame * kBytesPerFrame;
}

void SdlAudioStream::audioCallback(void* self, uint8_t* out, int length) {
  static_cast<SdlAudioStream*>(self)->fill(out, length);
}

void SdlAudioStream::fill(uint8_t* out, int length) {
  std::memset(out, 0, static_cast<size_t>(length));
  std::lock_guard<std::mutex> lock(mutex_);
  const Clock::time_point now = Clock::now();
  if (!playing_) {
    anchorFrame_ = estimatedFrame(now);
    anchorTime_ = now;
    return;
  }
  // What the device plays now was handed over one buffer ago.
  anchorFrame_ = std::max(segmentStart_, cursorFrame_ - bufferFrames_);
  anchorTime_ = now;

  const int64_t total = audio_.frameCount();
  const int64_t wanted = length / kBytesPerFrame;
  const int64_t frames = std::clamp<int64_t>(total - cursorFrame_, 0, wanted);
  if (frames > 0) {
    copyFrames(audio_.samples.data() + cursorFrame_ * kPcmChannels,
               reinterpret_cast<int16_t*>(out), frames * kPcmChannels, gain_);
  }
  cursorFrame_ += frames;
  anchorLimit_ = std::max(anchorFrame_, cursorFrame_);
}
