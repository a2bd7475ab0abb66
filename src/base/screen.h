// Process-wide metrics of the window's client area, written at window
// creation and on every size change, read by full-screen passes and cameras.
#pragma once

extern float screenWidth;
extern float screenHeight;
extern float screenAspect;

// Sets the three metrics (aspect = width / height as a float division, so a
// zero height gives an infinite or not-a-number aspect).
void setScreenMetrics(int width, int height);
