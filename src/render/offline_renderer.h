// The offline renderer: the production's own Demo, driven by a clock that
// steps one frame at a time (time = frame / fps) instead of the sound device,
// composed into an off-screen image of any size and handed frame by frame to
// a sink. Needs a current GL context.
#pragma once

#include <functional>
#include <string>

#include "render/render_options.h"

// Exit code of a render stopped before its end (as a shell reports SIGINT).
constexpr int kRenderInterruptedExitCode = 130;

// Renders the range the options ask for; returns the process exit code
// (0 on success) after reporting any failure on standard error. keepGoing,
// when given, is asked before every frame; once it says false the render
// stops, the frames made so far are finished into the output (a shorter but
// playable video, or the PNG files written so far), and the result is
// kRenderInterruptedExitCode.
int runOfflineRender(const RenderOptions& options, const std::function<bool()>& keepGoing = {});
