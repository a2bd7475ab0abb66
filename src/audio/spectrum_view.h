// A read-only look at the spectrum table for code that must not depend on the
// cache itself (the terrain reads the spectrum through it).
#pragma once

struct SpectrumView {
  const float* values = nullptr;  // frameCount x bandCount, frame-major
  int frameCount = 0;
  int bandCount = 0;
  int framesPerSecond = 0;
  float length = 0.0f;  // seconds of music
};
