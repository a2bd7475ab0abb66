#include "render.h"

#include "instruments.h"
#include "mix.h"

namespace soundtrack {

std::vector<int16_t> renderScore(const Score& score) {
  Mix mix(score.length, score.kickTimes);
  for (const Note& note : score.notes) renderNote(note, mix);
  return mix.finish(score.fadeOut, kPeakLevel);
}

}  // namespace soundtrack
