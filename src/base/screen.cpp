#include "base/screen.h"

float screenWidth = 0.0f;
float screenHeight = 0.0f;
float screenAspect = 0.0f;

void setScreenMetrics(int width, int height) {
  screenWidth = static_cast<float>(width);
  screenHeight = static_cast<float>(height);
  screenAspect = screenWidth / screenHeight;
}
