// Assembling a video from frames already rendered (by one render or by the
// pieces of a farm): the folder's PNG files of frames [A, B), named by frame
// number, become an H.264 video with exactly the soundtrack's samples of
// that range. Needs no GL context; needs ffmpeg.
#pragma once

#include "render/render_options.h"

// Returns the process exit code after reporting any failure on standard
// error: 0 done, 1 the encoder failed, 2 missing frames, music or ffmpeg.
int assembleVideo(const RenderOptions& options);
