// Command-line options of the player, parsed without side effects, and the
// resolution of the times they name (seconds, m:ss or a section of the
// music's section table) into seconds. Does not open windows, read files or
// print: main.cpp does that with what these functions return.
#pragma once

#include <string>
#include <vector>

#include "audio/music_sections.h"
#include "demo/preview_scale.h"

// A moment as the user typed it: seconds, or a section name that is looked up
// once the production's section table is loaded.
struct TimeValue {
  bool given = false;
  double seconds = 0.0;
  std::string section;  // non-empty: a section name
  std::string text;     // what the user typed, for messages
};

constexpr int kDefaultEditorPort = 7040;

struct PlayerOptions {
  bool live = false;  // the authoring mode: reload on save, transport keys, heads-up display
  bool windowed = false;  // a resizable window of width x height: --window, or live's default
  int width = 0;
  int height = 0;
  bool fullscreen = false;  // asked for explicitly; also what no arguments gives
  TimeValue start;
  bool loop = false;  // playback wraps from loopTo back to loopFrom
  TimeValue loopFrom;
  TimeValue loopTo;
  bool loopSection = false;  // `--loop NAME`: loopFrom and loopTo name one section, start to end
  std::string loopText;      // the --loop value as typed, for messages
  bool mute = false;
  bool help = false;
  // --preview-scale: the passes drawn at a fraction of the design size, or
  // fitted to the window. Not given: fit in live mode, else 1.
  bool previewGiven = false;
  PreviewScaleChoice preview;
  bool version = false;  // --version: print the version and exit
  // --editor-port: the live mode's sync editor on 127.0.0.1 (0: no editor).
  int editorPort = kDefaultEditorPort;
  bool editorPortGiven = false;
  // --editor-page: serve the editor page from this folder instead of the
  // copy built into the player (while the page itself is worked on).
  std::string editorPage;

  // False when no option was given: the show runs exactly as it always did.
  bool any() const;
};

struct ParsedPlayerOptions {
  PlayerOptions options;
  std::string error;  // empty when the arguments were valid
};

ParsedPlayerOptions parsePlayerOptions(const std::vector<std::string>& arguments);

std::string playerUsage();

// Seconds for a TimeValue: its own seconds, or the start of the section it
// names. False, with `error` naming the value and the known sections, when the
// name is not in `sections` (an empty table knows no names).
bool resolveTime(const TimeValue& moment, const std::vector<MusicSection>& sections, double& seconds,
                 std::string& error);

struct ResolvedTimes {
  bool hasStart = false;
  double start = 0.0;
  bool hasLoop = false;
  double loopFrom = 0.0;
  double loopTo = 0.0;
};

// Resolves --start and --loop together and checks that the loop ends after it
// begins.
bool resolvePlayerTimes(const PlayerOptions& options, const std::vector<MusicSection>& sections,
                        ResolvedTimes& out, std::string& error);
