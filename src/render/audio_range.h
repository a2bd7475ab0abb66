// The soundtrack's samples for a range of frames: frames [A, B) at fps are
// exactly samples A * rate / fps to B * rate / fps (whole samples, rounded
// down), so videos assembled from pieces of a range keep their sound in
// step at every seam. Written as a 16-bit stereo WAV for the encoder.
#pragma once

#include <cstdint>
#include <string>

#include "audio/mp3_decoder.h"

struct SampleRange {
  int64_t first = 0;
  int64_t end = 0;  // not included
};

SampleRange samplesOfFrames(long long firstFrame, long long endFrame, int fps, int sampleRate);

// The range's samples (silence past the end of the music) as a WAV file at
// an operating-system path. False with `error` set when it cannot be
// written.
bool writeWavRange(const DecodedAudio& audio, const SampleRange& range, const std::string& path,
                   std::string& error);
