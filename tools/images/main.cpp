// image-gen: draws the production's images into its data folder and, when a
// second folder is given, the test production's overlay into that one.
//   image-gen DATA_DIR [TEST_DATA_DIR]
#include <cstdio>
#include <string>

#include "cards.h"

namespace {

bool write(const images::Canvas& canvas, const std::string& directory, const char* name,
           bool straightColour) {
  const std::string path = directory + "/" + name;
  if (!canvas.writePng(path, straightColour)) {
    std::fprintf(stderr, "image-gen: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("wrote %s (%dx%d)\n", path.c_str(), canvas.width(), canvas.height());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: image-gen DATA_DIR [TEST_DATA_DIR]\n");
    return 2;
  }
  const std::string data = argv[1];
  bool ok = true;
  ok &= write(images::titleCard(), data, "1.png", false);
  ok &= write(images::creditsCard(), data, "2.png", false);
  ok &= write(images::sectionCard(), data, "3.png", false);
  ok &= write(images::farewellCard(), data, "4.png", false);
  ok &= write(images::pointSprite(), data, "pointRenderer.png", true);
  ok &= write(images::glowDot(), data, "dot.png", false);
  ok &= write(images::binaryAtlas(), data, "binary.png", false);
  if (argc == 3) ok &= write(images::testOverlayCard(), argv[2], "1.png", false);
  return ok ? 0 : 1;
}
