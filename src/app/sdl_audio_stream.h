// The production's sound output: SDL2 audio plays the decoded soundtrack
// from memory. The position is the frame being heard, interpolated with the
// steady clock between audio callbacks. Without an output device (or with
// SDL's dummy driver) the same clock runs silently in real time.
// The mutex guards what the audio thread shares with the main thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

#include "audio/audio_stream.h"

class SdlAudioStream : public AudioStream {
 public:
  SdlAudioStream() = default;
  ~SdlAudioStream() override;
  SdlAudioStream(const SdlAudioStream&) = delete;
  SdlAudioStream& operator=(const SdlAudioStream&) = delete;

  bool init() override;
  void openDecoded(DecodedAudio audio) override;
  void start() override;
  void play(bool restart) override;
  void pause() override;
  bool playing() const override;
  void setVolume(float volume) override;
  int64_t position() override;
  void setPosition(int64_t bytes) override;

  // True when no device plays the sound and the clock runs on its own.
  bool silent() const { return silent_; }

 private:
  using Clock = std::chrono::steady_clock;

  static void audioCallback(void* self, uint8_t* out, int length);
  void fill(uint8_t* out, int length);
  bool openDevice(int sampleRate, std::string& reason);
  void closeDevice();
  void goSilent(const std::string& reason);
  // Restarts the clock at a frame; the mutex must be held.
  void anchorAt(int64_t frame);
  int64_t estimatedFrame(Clock::time_point now) const;

  bool initialised_ = false;
  bool subsystemStarted_ = false;
  bool silent_ = false;
  uint32_t device_ = 0;
  int deviceRate_ = 0;
  int64_t bufferFrames_ = 0;

  // Shared with the audio thread.
  mutable std::mutex mutex_;
  bool playing_ = false;
  float gain_ = 1.0f;
  int64_t cursorFrame_ = 0;       // next frame handed to the device
  int64_t anchorFrame_ = 0;       // frame heard at anchorTime_
  Clock::time_point anchorTime_;  // when anchorFrame_ was heard
  int64_t anchorLimit_ = 0;       // the clock does not run past this frame
  int64_t segmentStart_ = 0;      // frame of the last restart or jump
  int64_t lastReported_ = 0;      // keeps position() from going backwards
};
