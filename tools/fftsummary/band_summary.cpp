#include "band_summary.h"

#include <algorithm>
#include <cmath>

double meanBandLevel(const SpectrumView& view, double startSeconds, double endSeconds, int firstBand,
                     int lastBand) {
  if (!view.values || view.framesPerSecond <= 0) return 0.0;
  const int firstFrame = std::max(0, static_cast<int>(std::ceil(startSeconds * view.framesPerSecond)));
  const int endFrame = std::min(view.frameCount, static_cast<int>(std::ceil(endSeconds * view.framesPerSecond)));
  firstBand = std::max(firstBand, 0);
  lastBand = std::min(lastBand, view.bandCount - 1);
  if (firstFrame >= endFrame || firstBand > lastBand) return 0.0;
  double sum = 0.0;
  for (int frame = firstFrame; frame < endFrame; ++frame)
    for (int band = firstBand; band <= lastBand; ++band)
      sum += view.values[static_cast<size_t>(frame) * view.bandCount + band];
  return sum / (static_cast<double>(endFrame - firstFrame) * (lastBand - firstBand + 1));
}
