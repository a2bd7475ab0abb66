// Onsets from the onset envelope: the peaks that stand out of their
// surroundings (a local maximum above the moving average by a margin that
// follows the music's loudness), at least 30 ms apart. Pure computation.
#pragma once

#include <vector>

#include "audio/onset_envelope.h"

// Seconds, ascending.
std::vector<double> pickOnsets(const OnsetEnvelope& envelope);
