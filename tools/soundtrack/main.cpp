// soundtrack-gen: writes the production's music (or the test production's
// five-second clip with --test) as a 44.1 kHz 16-bit stereo WAV file, and
// with --sections FILE the table of the piece's sections for the show's
// author.
#include <cstdio>
#include <cstring>
#include <string>

#include "arrangement.h"
#include "dsp.h"
#include "render.h"
#include "wav_writer.h"

int main(int argc, char** argv) {
  bool testClip = false;
  const char* output = nullptr;
  const char* sectionsOutput = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--test") == 0) {
      testClip = true;
    } else if (std::strcmp(argv[i], "--sections") == 0 && i + 1 < argc) {
      sectionsOutput = argv[++i];
    } else if (!output && argv[i][0] != '-') {
      output = argv[i];
    } else {
      output = nullptr;
      break;
    }
  }
  if (!output || (testClip && sectionsOutput)) {
    std::fprintf(stderr, "usage: soundtrack-gen [--test] OUTPUT.wav\n"
                         "       soundtrack-gen OUTPUT.wav --sections SECTIONS.txt\n");
    return 2;
  }
  const soundtrack::Score score =
      testClip ? soundtrack::composeTestClip() : soundtrack::composeFullPiece();
  const std::vector<int16_t> samples = soundtrack::renderScore(score);
  const std::vector<uint8_t> wav =
      soundtrack::encodeWav16(samples, 2, static_cast<int>(soundtrack::kSampleRate));
  std::string error;
  if (!soundtrack::writeBytes(output, wav, &error)) {
    std::fprintf(stderr, "soundtrack-gen: cannot write %s: %s\n", output, error.c_str());
    return 1;
  }
  std::printf("wrote %s: %.2f s, %zu notes\n", output, score.length, score.notes.size());
  if (sectionsOutput) {
    const std::string table = soundtrack::describeSections(soundtrack::fullPieceSections(), score.length);
    if (!soundtrack::writeBytes(sectionsOutput, std::vector<uint8_t>(table.begin(), table.end()), &error)) {
      std::fprintf(stderr, "soundtrack-gen: cannot write %s: %s\n", sectionsOutput, error.c_str());
      return 1;
    }
    std::printf("wrote %s\n", sectionsOutput);
  }
  return 0;
}
