#include "audio/music_player.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <new>

#include "audio/track_files.h"
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
  } else if (!stream->openNotice().empty()) {
    Log("\t%s: %s\n", musicPath.c_str(), stream->openNotice().c_str());
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

bool MusicPlayer::reloadMusic(const std::string& musicPath, std::string& error) {
  DecodeResult decoded = decodeMp3File(osPath(musicPath));
  if (!decoded.error.empty()) {
    error = decoded.error;
    return false;
  }
  if (!decoded.notice.empty()) Log("\t%s: %s\n", musicPath.c_str(), decoded.notice.c_str());
  stream->openDecoded(std::move(decoded.audio));
  length = static_cast<float>(stream->bytesToSeconds(stream->lengthBytes()));
  sampleRate = stream->sampleRate();
  // The old cache describes the old music, whatever its header says.
  spectrum.length = length;
  spectrum.build(SpectrumCache::cacheFileName(musicPath), *stream);
  spectrum.computeStatistics();
  stream->start();
  stream->setVolume(volume);
  return true;
}

void MusicPlayer::replaceSyncKeys(const std::vector<TextTrack>& textTracks) {
  if (!syncDevice) return;
  for (int i = 0; i < kSyncTrackCount; ++i) {
    SyncTrack& track = syncDevice->getTrack(std::to_string(i));
    track.keys.clear();
    for (const TextTrack& text : textTracks) {
      if (text.name == track.name) track.keys = text.keys;
    }
    tracks[i] = &track;
  }
}

ReloadResult MusicPlayer::applySyncText(const std::string& textPath, const std::string& text, int& trackCount,
                                        TrackFolderChanges& changes) {
  changes = {};
  const SyncTextResult parsed = parseSyncText(text);
  if (!parsed.error.empty()) return ReloadResult::failed(textPath, {textPath, parsed.errorLine, parsed.errorReason});
  replaceSyncKeys(parsed.tracks);
  trackCount = static_cast<int>(parsed.tracks.size());
  if (!syncDevice) return ReloadResult::done(textPath);
  TrackWriteFailure failure;
  if (!syncTrackFolder(parsed.tracks, osPath(syncDevice->base), changes, failure)) {
    // The first file names the error; the others follow in its message.
    std::string reason = failure.reason;
    for (size_t i = 1; i < changes.failures.size(); ++i) {
      reason += "; and " + changes.failures[i].file + ": " + changes.failures[i].reason;
    }
    return ReloadResult::failed(textPath, {failure.file, 0, reason});
  }
  return ReloadResult::done(textPath);
}

ReloadResult MusicPlayer::reloadTrackFile(const std::string& trackPath) {
  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath(trackPath), bytes)) {
    return ReloadResult::failed(trackPath, {trackPath, 0, "cannot be read: " + readFailureReason(osPath(trackPath))});
  }
  const TrackParseResult parsed = parseTrackBytes(bytes.data(), bytes.size());
  if (!parsed.problem.empty()) return ReloadResult::failed(trackPath, {trackPath, 0, parsed.problem});
  if (syncDevice) syncDevice->getTrack(trackNameOfFile(fileNameOf(trackPath))).keys = parsed.keys;
  return ReloadResult::done(trackPath);
}

FrameValues MusicPlayer::frameValues() const {
  FrameValues frame;
  frame.time = time;
  frame.row = row;
  std::copy(std::begin(values), std::end(values), std::begin(frame.values));
  return frame;
}

double MusicPlayer::readSeconds() { return stream->bytesToSeconds(stream->position()); }

void MusicPlayer::begin() {
  if (started) return;
  stream->start();
  stream->play(true);
  stream->setVolume(volume);
  started = true;
}

double MusicPlayer::update() {
  begin();
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
  if (positionOwnedElsewhere) return time;
  const bool restartKey = KeyPressed('I');
  const bool atEnd = nearEndOfMusic(time, length);
  if (restartKey || atEnd) stream->setPosition(0);
  return time;
}
