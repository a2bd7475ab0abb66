// image-gen: draws the production's images into its data folder and, when a
// second folder is given, the test production's overlay into that one.
//   image-gen DATA_DIR [TEST_DATA_DIR]
// The fonts are loaded and every image drawn before the first file is
// written, so a missing font leaves the folders as they were.
#include <cstdio>
#include <string>
#include <vector>

#include "cards.h"

namespace {

struct Output {
  images::Canvas canvas;
  std::string path;
  bool straightColour;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: image-gen DATA_DIR [TEST_DATA_DIR]\n");
    return 2;
  }
  std::string error;
  const std::optional<images::CardFonts> fonts = images::loadCardFonts(&error);
  if (!fonts) {
    std::fprintf(stderr, "image-gen: %s\n", error.c_str());
    return 1;
  }
  const std::string data = std::string(argv[1]) + "/";
  std::vector<Output> outputs;
  outputs.push_back({images::titleCard(*fonts), data + "1.png", false});
  outputs.push_back({images::creditsCard(*fonts), data + "2.png", false});
  outputs.push_back({images::sectionCard(*fonts), data + "3.png", false});
  outputs.push_back({images::farewellCard(*fonts), data + "4.png", false});
  outputs.push_back({images::pointSprite(), data + "pointRenderer.png", true});
  outputs.push_back({images::glowDot(), data + "dot.png", false});
  outputs.push_back({images::binaryAtlas(*fonts), data + "binary.png", false});
  if (argc == 3) outputs.push_back({images::testOverlayCard(*fonts), std::string(argv[2]) + "/1.png", false});

  bool ok = true;
  for (const Output& output : outputs) {
    if (!output.canvas.writePng(output.path, output.straightColour)) {
      std::fprintf(stderr, "image-gen: cannot write %s\n", output.path.c_str());
      ok = false;
      continue;
    }
    std::printf("wrote %s (%dx%d)\n", output.path.c_str(), output.canvas.width(), output.canvas.height());
  }
  return ok ? 0 : 1;
}
