#include "audio/music_player.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <new>

#include "base/keys.h"
#include "base/log.h"
#include "resources/file_utils.h"

MusicPlayer::MusicPlayer(std::unique_ptr<AudioStream> audioStream) : stream(std::move(audioStream)) {}

MusicPlayer::~MusicPlayer() { Log("Rydd minnet ditt sjael\n"); }

void MusicPlayer::open(std::string musicPath, std::string projectPath, std::string syncBase) {
  (void)projectPath;  // the sync editor's project is not read by the player
  started = false;
  if (!stream->init()) Log("failed to init bass\n");
  if (!stream->open(osPath(musicPath))) {
    Log("failed to open tune\n");
    if (!stream->openError().empty()) Log("\t%s: %s\n", musicPath.c_str(), stream->openError().c_str());
  }
  try {
    syncDevice = std::make_unique<SyncDevice>(syncBase);
  } catch (const std::bad_alloc&) {
    std::printf("synctracker shit - out of memory?\n");
    std::fflush(stdout);
  }
  length = static_cast<float>(stream->bytesToSeconds(stream->lengthBytes()));
  sampleRate = stream->sampleRate();
  Log("Freqency: %f\n", sampleRate);
  spectrum.open(*stream, musicPath);
  for (int i = 0; i < kSyncTrackCount; ++i) {
    tracks[i] = nullptr;
    if (!syncDevice) continue;
    try {
      tracks[i] = &syncDevice->getTrack(std::to_string(i));
    } catch (const std::bad_alloc&) {
      // The track stays absent and reads 0.0, like a track without a file.
    }
  }
}

FrameValues MusicPlayer::frameValues() const {
  FrameValues frame;
  frame.time = time;
  frame.row = row;
  std::copy(std::begin(values), std::end(values), std::begin(frame.values));
  return frame;
}

double MusicPlayer::readSeconds() { return stream->bytesToSeconds(stream->position()); }

double MusicPlayer::update() {
  if (!started) {
    stream->start();
    stream->play(true);
    stream->setVolume(volume);
    started = true;
  }
  row = readSeconds() * kRowsPerSecond;
  time = static_cast<float>(readSeconds());
  for (int i = 0; i < kSyncTrackCount; ++i) {
    values[i] = tracks[i] ? static_cast<float>(tracks[i]->valueAt(row)) : 0.0f;
  }

  // KeyPressed is false without focus, so both keys are ignored then.
  if (KeyPressed('K')) {
    if (volume == 0.0f) {
      Log("on");
      volume = 1.0f;
    } else {
      Log("off");
      volume = 0.0f;
    }
    stream->setVolume(volume);
    Log("volume: %f\n", volume);
  }
  const bool restartKey = KeyPressed('I');
  if (restartKey || static_cast<double>(time) > static_cast<double>(length) - kEndOfMusicMargin) {
    stream->setPosition(0);
  }
  return time;
}
