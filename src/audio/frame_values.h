// What one frame of the show reads of the music, taken together once the
// player has updated: the music time, the sync row and the sync values. The
// passes get this value instead of reading the player themselves.
#pragma once

constexpr int kSyncTrackCount = 64;

struct FrameValues {
  float time = 0.0f;  // seconds
  double row = 0.0;   // sync row, 16 per second
  float values[kSyncTrackCount] = {};
};
