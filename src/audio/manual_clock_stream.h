// A stream without any output whose clock is set by the caller: the offline
// renderer steps it frame by frame (time = frame / fps) and tests place it
// anywhere. Play, start and volume are only remembered.
#pragma once

#include "audio/audio_stream.h"

class ManualClockStream : public AudioStream {
 public:
  bool init() override { return true; }
  void start() override { started_ = true; }
  void play(bool restart) override;
  void pause() override { playing_ = false; }
  void setVolume(float volume) override { volume_ = volume; }
  int64_t position() override { return positionBytes_; }
  void setPosition(int64_t bytes) override;

  // Clock controls.
  void setSeconds(double seconds) { moveTo(secondsToBytes(seconds)); }
  void setFrame(int64_t frame, double framesPerSecond) {
    setSeconds(static_cast<double>(frame) / framesPerSecond);
  }

  // When driven, the clock moves only through the controls above: the
  // player's own requests (restart on the first frame, the jump back at the
  // end of the music) are taken but do not move it, so a renderer can start
  // anywhere in the music.
  void setDriven(bool driven) { driven_ = driven; }

  bool started() const { return started_; }
  bool playing() const override { return playing_; }
  float volume() const { return volume_; }

 private:
  void moveTo(int64_t bytes);

  int64_t positionBytes_ = 0;
  bool driven_ = false;
  bool started_ = false;
  bool playing_ = false;
  float volume_ = 1.0f;
};
