// What a render will make, decided from the options and the soundtrack
// before any GL or file is touched: which frames, in what format, to which
// kind of output under which file numbers, and which listed frames a check
// renders. Also the soundtrack length that the renderer and frame assembly
// both take as the default end, so a whole render and its assembly agree on
// the last frame. No GL, no I/O.
#pragma once

#include <string>
#include <vector>

#include "audio/mp3_decoder.h"
#include "render/frame_hashes.h"
#include "render/frame_sink.h"
#include "render/render_options.h"

// The soundtrack's length as the player measures it (MusicPlayer::length, a
// float): the end of the show and of a render without --end.
double soundtrackSeconds(const DecodedAudio& audio);

struct RenderPlan {
  FrameRange frames;  // count 0: nothing to render, and `problem` says why
  std::string problem;
  bool video = false;             // an MP4 through ffmpeg, else PNG files in a folder
  long long firstFileNumber = 0;  // the number in the first PNG file's name
  FrameFormat format;             // what the output is opened with
};

RenderPlan planRender(const RenderOptions& options, double soundtrackSeconds);

// The frames of a hash file that --check renders: all of them, or those of
// --frames when given, in the file's order.
std::vector<FrameHash> framesToCheck(const std::vector<FrameHash>& listed, const RenderOptions& options);
