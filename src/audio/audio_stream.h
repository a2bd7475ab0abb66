// The sound layer's interface: a decoded soundtrack with a playback clock.
// Positions are bytes of 16-bit stereo frames (4 bytes per frame). The
// player and the spectrum cache see only this interface, so tests and the
// offline renderer can put their own clock behind it.
#pragma once

#include <cstdint>
#include <future>
#include <string>

#include "audio/mp3_decoder.h"

class AudioStream {
 public:
  virtual ~AudioStream() = default;

  // Prepares output on the default device. False only when no clock at all
  // can be offered.
  virtual bool init() = 0;

  // Decodes the whole MP3 (an operating-system path) and makes it the
  // stream. False, with the stream closed, when the file can't be decoded.
  // Takes the decode that prefetch started for the same path, waiting for
  // it to finish, so the result is always that of the whole file.
  bool open(const std::string& osPath);
  // Starts decoding the file on a worker thread, so that the decode runs
  // while the program sets up its window, GL state and resources. Opens
  // nothing: open() takes the result.
  void prefetch(const std::string& osPath);
  // Makes already decoded audio the stream (tests, generated sound).
  virtual void openDecoded(DecodedAudio audio);

  bool isOpen() const { return !audio_.empty(); }
  const DecodedAudio& decoded() const { return audio_; }
  // Why the last open failed.
  const std::string& openError() const { return openError_; }
  // What the last successful open found odd about the file (DecodeResult::notice).
  const std::string& openNotice() const { return openNotice_; }

  int64_t lengthBytes() const { return audio_.frameCount() * kBytesPerFrame; }
  float sampleRate() const { return static_cast<float>(audio_.sampleRate); }
  // 0 for a closed stream.
  double bytesToSeconds(int64_t bytes) const;
  // Whole frames at or before the time; never negative.
  int64_t secondsToBytes(double seconds) const;

  // Output running.
  virtual void start() = 0;
  // Playback running; from the beginning when restart is true. After a
  // pause it goes on from the frame where it stopped.
  virtual void play(bool restart) = 0;
  // Sound stops and the clock stands still at the frame being heard.
  virtual void pause() = 0;
  virtual bool playing() const = 0;
  // Values above 1.0 play at full volume; the value itself is not changed.
  virtual void setVolume(float volume) = 0;
  // The frame being heard, in bytes. Never decreases except through play(true)
  // or setPosition.
  virtual int64_t position() = 0;
  // Playback goes on from there (clamped to the stream).
  virtual void setPosition(int64_t bytes) = 0;

 protected:
  // Frame index within the stream for a byte position.
  int64_t clampedFrame(int64_t bytes) const;

  DecodedAudio audio_;
  std::string openError_;
  std::string openNotice_;

 private:
  std::string prefetchPath_;
  std::future<DecodeResult> prefetched_;
};

// The gain a volume value plays at: 0..1, non-numbers silent.
float playbackGain(float volume);
