// The offline renderer: the production's own Demo, driven by a clock that
// steps one frame at a time (time = frame / fps) instead of the sound device,
// composed into an off-screen image of any size and handed frame by frame to
// a sink. Needs a current GL context.
#pragma once

#include <string>

#include "demo/render_options.h"

// Renders the range the options ask for; returns the process exit code
// (0 on success) after reporting any failure on standard error.
int runOfflineRender(const RenderOptions& options);
