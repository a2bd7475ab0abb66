#include "app/player_options.h"

#include <cstdio>
#include <utility>

#include "base/number_parsing.h"

namespace {
constexpr int kMaxWindowSide = 16384;
constexpr int kMaxPort = 65535;
constexpr int kLiveWidth = 1280;
constexpr int kLiveHeight = 720;
constexpr double kSecondsPerMinute = 60.0;

// Digits with at most one decimal point: no sign, no exponent, no blanks.
bool isUnsignedDecimal(const std::string& text) {
  bool digit = false;
  bool point = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

bool isDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "75.5" or "1:15.5" (seconds part below 60).
bool parseClockTime(const std::string& text, double& seconds) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return isUnsignedDecimal(text) && parseDouble(text, seconds);
  const std::string minutesText = text.substr(0, colon);
  const std::string secondsText = text.substr(colon + 1);
  int minutes = 0;
  double rest = 0.0;
  if (!isDigits(minutesText) || !parseInt(minutesText, minutes)) return false;
  if (!isUnsignedDecimal(secondsText) || !parseDouble(secondsText, rest)) return false;
  if (rest >= kSecondsPerMinute) return false;
  seconds = minutes * kSecondsPerMinute + rest;
  return true;
}

// Text made only of the characters a time uses is a time and must parse as
// one, so "-3" or "1:75" are refused here rather than looked up as section
// names; anything else is a section name, checked once the table is loaded.
bool parseTimeValue(const std::string& text, TimeValue& moment) {
  moment = TimeValue();
  moment.given = true;
  moment.text = text;
  if (text.empty()) return false;
  if (text.find_first_not_of("0123456789.:+-") == std::string::npos) {
    return parseClockTime(text, moment.seconds);
  }
  moment.section = text;
  return true;
}

std::string formatSeconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", seconds);
  return text;
}

std::string loopOrderError(const std::string& loopText, double from, double to) {
  return "--loop '" + loopText + "' must end after it starts (from " + formatSeconds(from) +
         " to " + formatSeconds(to) + ")";
}

bool knownBackwards(const TimeValue& from, const TimeValue& to) {
  return from.section.empty() && to.section.empty() && from.seconds >= to.seconds;
}

// FROM:TO, where either side may itself hold a colon (m:ss): every colon is
// tried as the separator. Among several readings, one that runs backwards
// loses, then one that takes a colon into a section name; more than one left
// is an error rather than a guess.
bool parseLoop(const std::string& value, PlayerOptions& o, std::string& error) {
  o.loop = true;
  o.loopSection = false;
  o.loopText = value;
  if (value.find(':') == std::string::npos) {
    if (!parseTimeValue(value, o.loopFrom) || o.loopFrom.section.empty()) {
      error = "bad value '" + value + "' for --loop (FROM:TO or a section name)";
      return false;
    }
    o.loopTo = o.loopFrom;
    o.loopSection = true;
    return true;
  }

  std::vector<std::pair<TimeValue, TimeValue>> readings;
  for (size_t colon = value.find(':'); colon != std::string::npos;
       colon = value.find(':', colon + 1)) {
    TimeValue from;
    TimeValue to;
    if (parseTimeValue(value.substr(0, colon), from) && parseTimeValue(value.substr(colon + 1), to)) {
      readings.emplace_back(from, to);
    }
  }
  const auto keepIfAnyLeft = [&readings](auto drop) {
    std::vector<std::pair<TimeValue, TimeValue>> kept;
    for (const auto& r : readings) {
      if (!drop(r)) kept.push_back(r);
    }
    if (!kept.empty()) readings = std::move(kept);
  };
  if (readings.size() > 1) {
    keepIfAnyLeft([](const auto& r) { return knownBackwards(r.first, r.second); });
  }
  if (readings.size() > 1) {
    keepIfAnyLeft([](const auto& r) {
      return r.first.section.find(':') != std::string::npos ||
             r.second.section.find(':') != std::string::npos;
    });
  }

  if (readings.empty()) {
    error = "bad value '" + value + "' for --loop (FROM:TO or a section name)";
    return false;
  }
  if (readings.size() > 1) {
    error = "ambiguous value '" + value + "' for --loop (write FROM or TO in seconds)";
    return false;
  }
  o.loopFrom = readings[0].first;
  o.loopTo = readings[0].second;
  if (knownBackwards(o.loopFrom, o.loopTo)) {
    error = loopOrderError(value, o.loopFrom.seconds, o.loopTo.seconds);
    return false;
  }
  return true;
}

const MusicSection* findSection(const std::string& name,
                                const std::vector<MusicSection>& sections) {
  for (const MusicSection& section : sections) {
    if (section.name == name) return &section;
  }
  return nullptr;
}

std::string unknownSection(const std::string& name, const std::vector<MusicSection>& sections) {
  std::string error = "unknown section '" + name + "' (";
  if (sections.empty()) return error + "the production has no section table)";
  error += "sections: ";
  for (size_t i = 0; i < sections.size(); ++i) error += (i ? ", " : "") + sections[i].name;
  return error + ")";
}
}  // namespace

bool PlayerOptions::any() const {
  return live || windowed || fullscreen || start.given || loop || mute || help || previewGiven || version ||
         editorPortGiven || !editorPage.empty();
}

ParsedPlayerOptions parsePlayerOptions(const std::vector<std::string>& arguments) {
  ParsedPlayerOptions parsed;
  PlayerOptions& o = parsed.options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& a = arguments[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      return parsed;
    }
    if (a == "--version") {
      o.version = true;
      return parsed;
    }
    if (a == "--live") {
      o.live = true;
      continue;
    }
    if (a == "--fullscreen") {
      o.fullscreen = true;
      continue;
    }
    if (a == "--mute") {
      o.mute = true;
      continue;
    }
    const bool takesValue = a == "--window" || a == "--start" || a == "--loop" || a == "--preview-scale" ||
                            a == "--editor-port" || a == "--editor-page";
    const std::string* taken = takeOptionValue(arguments, i, takesValue, parsed.error);
    if (!taken) return parsed;
    const std::string& value = *taken;
    bool ok = true;
    if (a == "--window") {
      o.windowed = true;
      ok = parseSize(value, o.width, o.height) && o.width > 0 && o.height > 0 &&
           o.width <= kMaxWindowSide && o.height <= kMaxWindowSide;
    } else if (a == "--start") {
      ok = parseTimeValue(value, o.start);
    } else if (a == "--editor-port") {
      o.editorPortGiven = true;
      ok = parseInt(value, o.editorPort) && o.editorPort >= 0 && o.editorPort <= kMaxPort;
    } else if (a == "--editor-page") {
      o.editorPage = value;
      ok = !value.empty();
    } else if (a == "--preview-scale") {
      o.previewGiven = true;
      if (!parsePreviewScale(value, true, o.preview, parsed.error)) return parsed;
    } else if (!parseLoop(value, o, parsed.error)) {  // --loop writes its own error
      return parsed;
    }
    if (!ok) {
      parsed.error = "bad value '" + value + "' for " + a;
      return parsed;
    }
  }
  if (o.windowed && o.fullscreen) {
    parsed.error = "--window and --fullscreen cannot be used together";
  } else if (o.live && !o.windowed && !o.fullscreen) {
    o.windowed = true;
    o.width = kLiveWidth;
    o.height = kLiveHeight;
  }
  if (o.live && !o.previewGiven) o.preview.fit = true;
  return parsed;
}

std::string playerUsage() {
  return "usage: tarvo [--live] [--window WxH | --fullscreen] [--start WHEN] [--loop FROM:TO]\n"
         "             [--mute] [--preview-scale S | fit] [--editor-port N] [--editor-page DIR]\n"
         "             [--version]\n"
         "\n"
         "Plays the production in demosrc/norde (relative to the working directory). With no\n"
         "arguments the show plays from the beginning, full screen, exactly as it always has.\n"
         "\n"
         "  --live            authoring mode: files of the production are reloaded when saved,\n"
         "                    the transport keys below work and a heads-up display shows the\n"
         "                    time and section; opens a 1280x720 window unless --window or\n"
         "                    --fullscreen says otherwise\n"
         "  --window WxH      a resizable window of W x H pixels (each side 1 to 16384)\n"
         "  --fullscreen      the borderless full-screen window (the default)\n"
         "  --start WHEN      start playing at WHEN\n"
         "  --loop FROM:TO    when playback reaches TO, jump back to FROM (sound included);\n"
         "                    FROM must come before TO. --loop NAME loops the section NAME\n"
         "                    from its start to its end\n"
         "  --mute            start with the sound muted\n"
         "  --preview-scale S draw the passes at S (0.25 to 1) times 1920x1080, for speed while\n"
         "                    working; fit: as tall as the window (live mode's default)\n"
         "  --editor-port N   live mode's sync editor on http://127.0.0.1:N (default 7040; 0: none)\n"
         "  --editor-page DIR serve the editor page from DIR (web/editor of a checkout, while\n"
         "                    working on the page) instead of the copy built into the player\n"
         "  --version         print the version and exit\n"
         "  --help, -h        this text\n"
         "\n"
         "WHEN, FROM and TO are seconds (75.5), minutes and seconds (1:15.5), or the name of a\n"
         "section in demosrc/norde/sections.txt (drop, \"second build-up\"), spelt exactly; a\n"
         "section stands for its start. Quote a name that holds blanks.\n"
         "\n"
         "Keys in live mode:\n"
         "  Space               pause / resume\n"
         "  Left / Right        seek back / forward 1 s\n"
         "  PageUp / PageDown   previous / next section\n"
         "  Home                back to the start\n"
         "  H                   heads-up display on / off\n"
         "  [ / ]               halve / double the preview scale\n"
         "  N                   log frames presented and scenes drawn\n";
}

bool resolveTime(const TimeValue& moment, const std::vector<MusicSection>& sections, double& seconds,
                 std::string& error) {
  if (moment.section.empty()) {
    seconds = moment.seconds;
    return true;
  }
  const MusicSection* section = findSection(moment.section, sections);
  if (!section) {
    error = unknownSection(moment.section, sections);
    return false;
  }
  seconds = section->start;
  return true;
}

bool resolvePlayerTimes(const PlayerOptions& options, const std::vector<MusicSection>& sections,
                        ResolvedTimes& out, std::string& error) {
  out = ResolvedTimes();
  if (options.start.given) {
    if (!resolveTime(options.start, sections, out.start, error)) return false;
    out.hasStart = true;
  }
  if (!options.loop) return true;
  if (options.loopSection) {
    const MusicSection* section = findSection(options.loopFrom.section, sections);
    if (!section) {
      error = unknownSection(options.loopFrom.section, sections);
      return false;
    }
    out.loopFrom = section->start;
    out.loopTo = section->end;
  } else if (!resolveTime(options.loopFrom, sections, out.loopFrom, error) ||
             !resolveTime(options.loopTo, sections, out.loopTo, error)) {
    return false;
  }
  if (out.loopFrom >= out.loopTo) {
    error = loopOrderError(options.loopText, out.loopFrom, out.loopTo);
    return false;
  }
  out.hasLoop = true;
  return true;
}
