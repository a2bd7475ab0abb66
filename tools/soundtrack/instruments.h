// The instruments of the soundtrack: each turns one Note into samples on the
// mix buses (drums, bass, pads, lead, arpeggio, bells and effects).
#pragma once

#include "mix.h"
#include "score.h"

namespace soundtrack {

// Seconds a note keeps sounding after its length (its release tail).
double releaseTail(Instrument instrument);

// Renders the note, including its release tail, into the mix.
void renderNote(const Note& note, Mix& mix);

}  // namespace soundtrack
