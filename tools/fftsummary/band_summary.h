// Mean spectrum levels over a stretch of the music, for comparing the
// sections of a soundtrack by how much low and high energy they carry.
#pragma once

#include "audio/spectrum_view.h"

// Mean of bands [firstBand, lastBand] over the frames whose time lies in
// [startSeconds, endSeconds). Bands and frames are clamped to the table;
// 0 when nothing is left.
double meanBandLevel(const SpectrumView& view, double startSeconds, double endSeconds, int firstBand,
                     int lastBand);
