#include "render/render_plan.h"

double soundtrackSeconds(const DecodedAudio& audio) {
  if (audio.sampleRate <= 0) return 0.0;
  return static_cast<float>(static_cast<double>(audio.frameCount()) / audio.sampleRate);
}

RenderPlan planRender(const RenderOptions& options, double soundtrackSeconds) {
  RenderPlan plan;
  plan.frames = requestedFrames(options, soundtrackSeconds, plan.problem);
  plan.video = options.wantsVideo();
  // Pieces of a range rendered apart fit together when named by frame number.
  plan.firstFileNumber = options.globalFrameNames() ? plan.frames.first : 0;
  plan.format.width = options.width;
  plan.format.height = options.height;
  plan.format.fps = options.fps;
  plan.format.firstFrame = plan.frames.first;
  plan.format.frameCount = plan.frames.count;
  return plan;
}

std::vector<FrameHash> framesToCheck(const std::vector<FrameHash>& listed, const RenderOptions& options) {
  std::vector<FrameHash> chosen;
  for (const FrameHash& entry : listed) {
    if (options.framesGiven && (entry.frame < options.firstFrame || entry.frame >= options.endFrame)) continue;
    chosen.push_back(entry);
  }
  return chosen;
}
