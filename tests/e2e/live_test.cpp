// The live authoring mode on the small test production, in a 640 x 360
// window on a private X server: reload on save (in place, by rename, with an
// error in an included file and its fix, the sync text, which also rewrites
// stale track files at start), pause and seek with
// the picture matching the renderer's frame for the same moment, the start
// and loop options, and bad options refused before any window opens; the
// music's analysis made for the editor beside the show.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/e2e_support.h"
#include "support/test_support.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {
constexpr int kWidth = 640;
constexpr int kHeight = 360;

// Mean absolute channel difference, as a share of the largest possible.
double difference(const Image& a, const Image& b) {
  if (a.rgba.size() != b.rgba.size() || a.rgba.empty()) return 1.0;
  double sum = 0.0;
  for (size_t i = 0; i < a.rgba.size(); ++i) sum += std::abs(int(a.rgba[i]) - int(b.rgba[i]));
  return sum / (255.0 * static_cast<double>(a.rgba.size()));
}

// The player in live mode in dir, with its window focused for key presses.
class LivePlayer {
 public:
  LivePlayer(const XvfbServer& x, const std::string& dir, std::vector<std::string> extra = {})
      : x_(x), dir_(dir), log_(dir + "/output2.txt"), console_(dir + "/console.txt") {
    std::vector<std::string> argv = {builtProgram("tarvo"), "--live", "--window", "640x360"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    process_ = std::make_unique<ChildProcess>(argv, dir, std::vector<std::string>{"DISPLAY=" + x.display(), "SDL_AUDIODRIVER=dummy"},
                                              console_);
  }
  ~LivePlayer() {
    if (process_->running()) {
      pressKey(x_.display(), "Escape");
      process_->wait(30s);
    }
  }

  // Waits for the first frame, then focuses the window.
  bool started() {
    if (!waitForText(log_, "Profiler::Reset\n", 120s)) return false;
    const std::string idFile = dir_ + "/window-id.txt";
    runProgram({"xdotool", "search", "--sync", "--name", "^tarvo$"}, {"DISPLAY=" + x_.display()}, idFile);
    window_ = readFile(idFile);
    while (!window_.empty() && (window_.back() == '\n' || window_.back() == ' ')) window_.pop_back();
    window_ = window_.substr(0, window_.find('\n'));
    runProgram({"xdotool", "windowfocus", "--sync", window_}, {"DISPLAY=" + x_.display()});
    return !window_.empty();
  }
  void key(const std::string& name) { pressKey(x_.display(), name); }
  std::string log() const { return readFile(log_); }
  bool waitFor(const std::string& text, size_t atLeast = 1, std::chrono::milliseconds timeout = 60s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (countOccurrences(log(), text) >= atLeast) return true;
      std::this_thread::sleep_for(25ms);
    }
    return false;
  }
  // The window's picture once a frame drawn after everything before this
  // call is on screen. B logs a line at the top of a frame; the second B is
  // seen only after the frame that followed the first was presented.
  Image settledShot() {
    const size_t seen = countOccurrences(log(), "resize: ");
    key("b");
    waitFor("resize: ", seen + 1);
    key("b");
    waitFor("resize: ", seen + 2);
    return grab();
  }
  Image grab() {
    const std::string file = dir_ + "/shot.png";
    runProgram({"import", "-window", window_, file}, {"DISPLAY=" + x_.display()});
    Image image;
    loadImage(file, image);
    return image;
  }
  bool running() { return process_->running(); }
  int wait() { return process_->wait(60s); }

 private:
  const XvfbServer& x_;
  std::string dir_, log_, console_, window_;
  std::unique_ptr<ChildProcess> process_;
};

// Replaces text in a file by writing a new file beside it and renaming it
// over the original, as many editors save.
void saveByRename(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = readFile(path);
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
  writeFile(path + ".swp", text);
  fs::rename(path + ".swp", path);
}

// The player started in live mode, paused with the display hidden, so its
// picture holds still.
void startPaused(LivePlayer& player) {
  ASSERT_TRUE(player.started()) << player.log();
  player.key("h");
  player.key("space");
  ASSERT_TRUE(player.waitFor("paused at ")) << player.log();
}

void saveInPlace(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = readFile(path);
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}
}  // namespace

TEST(Live, ReloadsOnSaveKeepsTheLastGoodProgramAndNamesTheLineOfAnError) {
  XvfbServer x(1280, 720);
  ASSERT_TRUE(x.running());
  TempDir dir(false);
  makeTestProduction(dir.path());
  const std::string data = dir.path() + "/demosrc/norde/data";
  LivePlayer player(x, dir.path());
  ASSERT_NO_FATAL_FAILURE(startPaused(player));
  // The music's beats and onsets for the editor are worked out beside the
  // show and kept beside the music.
  ASSERT_TRUE(player.waitFor("editor: music analysed: 120.0 BPM, ")) << player.log();
  EXPECT_TRUE(fs::exists(data + "/brivel-669.analysis.cache"));
  const Image before = player.settledShot();
  const Image again = player.settledShot();
  EXPECT_EQ(before.rgba, again.rgba) << "a paused picture changed";

  // A colour change saved in place shows up.
  saveInPlace(data + "/postProc-1.glsl", "gl_FragColor = vec4(clamp(colour, 0.0, 1.0), 1.0);",
              "gl_FragColor = vec4(clamp(colour * vec3(1.0, 0.2, 0.2), 0.0, 1.0), 1.0);");
  ASSERT_TRUE(player.waitFor("reloaded: demosrc/norde/data/postProc-1.glsl (")) << player.log();
  const Image reddened = player.settledShot();
  EXPECT_GT(difference(before, reddened), 0.02);

  // Saved by rename, back to the original colour: the first picture again.
  saveByRename(data + "/postProc-1.glsl", "colour * vec3(1.0, 0.2, 0.2)", "colour");
  ASSERT_TRUE(player.waitFor("reloaded: demosrc/norde/data/postProc-1.glsl (", 2)) << player.log();
  EXPECT_LT(difference(before, player.settledShot()), 0.002);

  // touch changes nothing, so nothing reloads: a real save after it is
  // the one reload that follows.
  const size_t reloads = countOccurrences(player.log(), "reloaded:");
  fs::last_write_time(data + "/postProc-1.glsl", fs::file_time_type::clock::now());
  writeFile(data + "/blit.glsl", readFile(data + "/blit.glsl") + "// saved\n");
  ASSERT_TRUE(player.waitFor("reloaded: demosrc/norde/data/blit.glsl (")) << player.log();
  EXPECT_EQ(countOccurrences(player.log(), "reloaded:"), reloads + 1) << player.log();

  // A syntax error on line 12 of the included library: named there, and the
  // picture stays; the fix brings every program that includes it back.
  std::string common = readFile(data + "/common.glsl");
  std::vector<std::string> lines;
  for (size_t begin = 0; begin < common.size();) {
    const size_t end = common.find('\n', begin);
    lines.push_back(common.substr(begin, end - begin));
    begin = end == std::string::npos ? common.size() : end + 1;
  }
  ASSERT_GT(lines.size(), 12u);
  const std::string good = lines[11];
  saveInPlace(data + "/common.glsl", good + "\n", good + " this is not glsl;\n");
  ASSERT_TRUE(player.waitFor("\nreload failed: demosrc/norde/data/common.glsl:12: ")) << player.log();
  // After the compiler's report, whose last line break goes to the console
  // only, the line still starts at the beginning in the file.
  EXPECT_NE(player.log().find("Debug Info for: "), std::string::npos);
  EXPECT_EQ(player.log().find("\treload failed:"), std::string::npos) << player.log();
  EXPECT_TRUE(player.running());
  EXPECT_LT(difference(before, player.settledShot()), 0.002);
  saveInPlace(data + "/common.glsl", good + " this is not glsl;\n", good + "\n");
  ASSERT_TRUE(player.waitFor("reloaded: demosrc/norde/data/bg.glsl (")) << player.log();

  player.key("Escape");
  EXPECT_EQ(player.wait(), 0);
}

TEST(Live, SyncTextEditsChangeThePictureAndAMalformedLineKeepsTheTracks) {
  XvfbServer x(1280, 720);
  ASSERT_TRUE(x.running());
  TempDir dir(false);
  makeTestProduction(dir.path());
  const std::string sync = dir.path() + "/demosrc/norde/sync.txt";
  // Track files that went stale while the player was off, and one of a
  // track the text no longer has: the text is the truth from the start.
  const std::string trackFolder = dir.path() + "/demosrc/norde/data/sync/";
  const std::vector<unsigned char> right = readBytes(trackFolder + "_16.track");
  fs::copy_file(trackFolder + "_1.track", trackFolder + "_16.track", fs::copy_options::overwrite_existing);
  fs::copy_file(trackFolder + "_1.track", trackFolder + "_40.track");
  LivePlayer player(x, dir.path());
  ASSERT_NO_FATAL_FAILURE(startPaused(player));
  EXPECT_TRUE(player.waitFor("sync: track files that differed from demosrc/norde/sync.txt rewritten: 16; removed, "
                             "no longer in the text: 40\n"))
      << player.log();
  EXPECT_EQ(readBytes(trackFolder + "_16.track"), right);
  EXPECT_FALSE(fs::exists(trackFolder + "_40.track"));
  // The log holds the editor's token: its owner's alone.
  EXPECT_EQ(fs::status(dir.path() + "/output2.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  const Image before = player.settledShot();

  // The background grey, from 0.05 to 0.6.
  saveInPlace(sync, "track 16\n0s    0.05  step", "track 16\n0s    0.6   step");
  ASSERT_TRUE(player.waitFor("reloaded sync: demosrc/norde/sync.txt (")) << player.log();
  const Image lighter = player.settledShot();
  EXPECT_GT(difference(before, lighter), 0.02);
  // The track files follow the text.
  EXPECT_NE(readBytes(dir.path() + "/demosrc/norde/data/sync/_16.track").size(), 0u);

  // Line 2 of the text made malformed: named, as editors' error parsers
  // read it, and the tracks stay.
  saveInPlace(sync, "# beat at 120 BPM)", "garbage here");
  ASSERT_TRUE(player.waitFor("\nreload failed: demosrc/norde/sync.txt:2: key before the first 'track NAME' line\n")) << player.log();
  EXPECT_LT(difference(lighter, player.settledShot()), 0.002);
}

TEST(Live, PauseSeekAndTheRenderersFrameForThatMomentAgree) {
  XvfbServer x(1280, 720);
  ASSERT_TRUE(x.running());
  TempDir dir(false);
  makeTestProduction(dir.path());
  // At full scale, as the renderer draws by default.
  LivePlayer player(x, dir.path(), {"--start", "outro", "--preview-scale", "1"});
  ASSERT_TRUE(player.started()) << player.log();
  EXPECT_TRUE(player.waitFor("seek to 3.000 s (row 48)\n"));
  player.key("space");
  ASSERT_TRUE(player.waitFor("paused at ")) << player.log();
  player.key("Home");
  ASSERT_TRUE(player.waitFor("seek to 0.000 s (row 0)\n")) << player.log();
  // PageDown: the next section, the drop, starts at 1.0 s, a moment the
  // renderer can show exactly.
  player.key("Next");
  ASSERT_TRUE(player.waitFor("seek to 1.000 s (row 16)\n")) << player.log();
  player.key("h");
  const Image windowShot = player.settledShot();
  const Image later = player.settledShot();
  EXPECT_EQ(windowShot.rgba, later.rgba) << "a paused picture changed";
  player.key("space");
  ASSERT_TRUE(player.waitFor("resumed at 1.000 s\n")) << player.log();

  const std::string frames = dir.path() + "/frames";
  ASSERT_EQ(runProgram({builtProgram("tarvo-render"), "--output", frames, "--start", "1", "--end", "1.01",
                        "--fps", "60", "--size", "640x360"},
                       {"DISPLAY=" + x.display()}, dir.path() + "/render.txt", dir.path()),
            0);
  Image rendered;
  ASSERT_TRUE(loadImage(frames + "/00000.png", rendered));
  ASSERT_EQ(windowShot.width, kWidth);
  ASSERT_EQ(windowShot.height, kHeight);
  EXPECT_GT(luminanceDeviation(rendered), 8.0) << "not a composed frame";
  EXPECT_LT(difference(windowShot, rendered), 0.01);
}

TEST(Live, LoopWrapsAndBadOptionsExitBeforeAnyWindow) {
  XvfbServer x(1280, 720);
  ASSERT_TRUE(x.running());
  TempDir dir(false);
  makeTestProduction(dir.path());
  {
    LivePlayer player(x, dir.path(), {"--loop", "1:2", "--mute"});
    ASSERT_TRUE(player.started()) << player.log();
    EXPECT_TRUE(player.waitFor("loop: back to 1.000 s\n", 2)) << player.log();
  }
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--wat"}, {"--start", "dorp"}, {"--window", "0x5"}, {"--loop", "3:1"},
        {"--preview-scale", "0.2"}, {"--preview-scale", "2"}, {"--preview-scale", "x"}}) {
    fs::remove(dir.path() + "/output2.txt");
    std::vector<std::string> argv = {builtProgram("tarvo")};
    argv.insert(argv.end(), bad.begin(), bad.end());
    EXPECT_EQ(runProgram(argv, {"DISPLAY=" + x.display()}, dir.path() + "/bad.txt", dir.path()), 2) << bad[0];
    EXPECT_NE(readFile(dir.path() + "/bad.txt").find("tarvo --help"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path() + "/output2.txt")) << "a window was opened for " << bad[0];
  }
}

namespace {
// Pixels of the display's red error text in the window's top-left quarter.
size_t redPixels(const Image& image) {
  size_t count = 0;
  for (int y = 0; y < image.height / 2; ++y) {
    for (int x = 0; x < image.width / 2; ++x) {
      const unsigned char* p = &image.rgba[(static_cast<size_t>(y) * image.width + x) * 4];
      if (p[0] > 180 && p[1] < 110 && p[2] < 110) ++count;
    }
  }
  return count;
}

// Makes one track file impossible to replace: immutable where the file
// system and our rights allow, otherwise a folder in its place, which no
// rename can replace either. Undone by the destructor.
class UnreplaceableFile {
 public:
  explicit UnreplaceableFile(const std::string& path) : path_(path) {
    immutable_ = runProgram({"chattr", "+i", path_}, {}) == 0;
    if (!immutable_) {
      fs::remove(path_);
      fs::create_directories(path_ + "/blocker");
    }
  }
  ~UnreplaceableFile() { release(); }
  void release() {
    if (immutable_) runProgram({"chattr", "-i", path_}, {});
    if (!immutable_ && fs::is_directory(path_)) fs::remove_all(path_);
    immutable_ = false;
  }

 private:
  std::string path_;
  bool immutable_ = false;
};
}  // namespace

// The files the live mode must not lose track of: a shader linked in from
// outside the production, files beginning with a byte-order mark, track
// files that cannot be written (the error stays on the display, every later
// save retries), and a data folder deleted and copied back.
TEST(Live, KeepsTrackOfLinkedFilesFailedWritesAndAReplacedFolder) {
  XvfbServer x(1280, 720);
  ASSERT_TRUE(x.running());
  TempDir dir(false);
  makeTestProduction(dir.path());
  const std::string norde = dir.path() + "/demosrc/norde";
  const std::string data = norde + "/data";
  const std::string sync = norde + "/sync.txt";
  // bg.glsl lives in the author's own folder, linked into the production.
  const std::string outside = dir.path() + "/my-shaders";
  fs::create_directories(outside);
  fs::rename(data + "/bg.glsl", outside + "/bg.glsl");
  fs::create_symlink(outside + "/bg.glsl", data + "/bg.glsl");
  const std::string kBom = "\xEF\xBB\xBF";

  LivePlayer player(x, dir.path());
  ASSERT_NO_FATAL_FAILURE(startPaused(player));
  player.key("h");  // the display back on, for its error line

  // The link's target saved (by rename, as editors do): the linked shader reloads.
  saveByRename(outside + "/bg.glsl", "void main", "// saved outside\nvoid main");
  ASSERT_TRUE(player.waitFor("reloaded: demosrc/norde/data/bg.glsl (")) << player.log();

  // A byte-order mark at the start of a shader and of the sync text.
  writeFile(data + "/postProc-1.glsl", kBom + readFile(data + "/postProc-1.glsl"));
  ASSERT_TRUE(player.waitFor("reloaded: demosrc/norde/data/postProc-1.glsl (")) << player.log();
  writeFile(sync, kBom + readFile(sync));
  ASSERT_TRUE(player.waitFor("reloaded sync: demosrc/norde/sync.txt (")) << player.log();
  const size_t redBefore = redPixels(player.settledShot());

  {
    // A track file that cannot be replaced: named with the system's reason,
    // in the log and in red on the display.
    UnreplaceableFile blocked(data + "/sync/_16.track");
    saveInPlace(sync, "track 16\n0s    0.05  step", "track 16\n0s    0.6   step");
    const std::string failure = "\nreload failed: demosrc/norde/data/sync/_16.track: cannot rename ";
    ASSERT_TRUE(player.waitFor(failure)) << player.log();
    EXPECT_GT(redPixels(player.settledShot()), redBefore + 100) << "the error is not on the display";
    // Saved again unchanged: the write is tried again.
    writeFile(sync, readFile(sync));
    ASSERT_TRUE(player.waitFor(failure, 2)) << player.log();
    blocked.release();
  }
  // The cause gone, the same text saved once more: written, and the error goes.
  const size_t syncReloads = countOccurrences(player.log(), "reloaded sync: ");
  writeFile(sync, readFile(sync));
  ASSERT_TRUE(player.waitFor("reloaded sync: ", syncReloads + 1)) << player.log();
  EXPECT_LE(redPixels(player.settledShot()), redBefore + 20) << "the error stayed on the display";
  const std::string built = dir.path() + "/built";
  ASSERT_EQ(runProgram({builtProgram("synctool"), "build", sync, built}, {}), 0);
  for (const auto& entry : fs::directory_iterator(built)) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(readBytes(data + "/sync/" + name), readBytes(entry.path().string())) << name;
  }

  // sync.txt replaced by a folder: named with the reason; a file again, it loads.
  const std::string syncText = readFile(sync);
  fs::remove(sync);
  fs::create_directory(sync);
  ASSERT_TRUE(player.waitFor("\nreload failed: demosrc/norde/sync.txt: cannot be read: it is a folder, not a file\n"))
      << player.log();
  fs::remove(sync);
  writeFile(sync, syncText);
  ASSERT_TRUE(player.waitFor("reloaded sync: ", syncReloads + 2)) << player.log();

  // The data folder deleted and copied back with one shader changed, as a
  // script or an archive does it: watched again, and the change reloads.
  const std::string backup = dir.path() + "/backup";
  fs::copy(data, backup, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  saveInPlace(backup + "/postProc-1.glsl", "gl_FragColor = vec4(clamp(colour, 0.0, 1.0), 1.0);",
              "gl_FragColor = vec4(clamp(colour * vec3(1.0, 0.2, 0.2), 0.0, 1.0), 1.0);");
  const size_t composeReloads = countOccurrences(player.log(), "reloaded: demosrc/norde/data/postProc-1.glsl (");
  fs::remove_all(data);
  ASSERT_TRUE(player.waitFor("went away")) << player.log();
  fs::copy(backup, data, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  ASSERT_TRUE(player.waitFor("reloaded: demosrc/norde/data/postProc-1.glsl (", composeReloads + 1)) << player.log();
  // A later save in the new folder is seen too.
  saveInPlace(data + "/postProc-1.glsl", "colour * vec3(1.0, 0.2, 0.2)", "colour");
  ASSERT_TRUE(player.waitFor("reloaded: demosrc/norde/data/postProc-1.glsl (", composeReloads + 2)) << player.log();

  player.key("Escape");
  EXPECT_EQ(player.wait(), 0);
}

namespace {
struct Counters {
  long long presented = -1;
  long long drawn = -1;
};

// N logs how many frames were presented and how many of them drew the scene.
Counters readCounters(LivePlayer& player) {
  const std::string tail = " scenes drawn\n";
  const size_t seen = countOccurrences(player.log(), tail);
  player.key("n");
  Counters counters;
  if (!player.waitFor(tail, seen + 1)) return counters;
  const std::string log = player.log();
  const size_t line = log.rfind("live: ", log.rfind(tail));
  std::sscanf(log.c_str() + line, "live: %lld frames presented, %lld scenes drawn", &counters.presented,
              &counters.drawn);
  return counters;
}

// Reads the counters until at least `frames` more frames were presented.
Counters countersAfter(LivePlayer& player, const Counters& from, long long frames) {
  Counters now = readCounters(player);
  while (now.presented >= 0 && now.presented < from.presented + frames) now = readCounters(player);
  return now;
}
}  // namespace

// The passes fit the window, follow a resize and the [ and ] keys; paused,
// the picture is drawn once and then presented again until something that
// shows changes.
TEST(Live, PreviewScaleFollowsTheWindowAndKeysAndAPausedPictureIsDrawnOnce) {
  XvfbServer x(1280, 720);
  ASSERT_TRUE(x.running());
  TempDir dir(false);
  makeTestProduction(dir.path());
  LivePlayer player(x, dir.path());
  ASSERT_TRUE(player.started()) << player.log();
  EXPECT_NE(player.log().find("\npreview 0.33 (640x360), fit to the window\n"), std::string::npos) << player.log();

  player.key("space");
  ASSERT_TRUE(player.waitFor("paused at ")) << player.log();
  const Counters paused = readCounters(player);
  ASSERT_GE(paused.drawn, 1) << player.log();
  const Counters still = countersAfter(player, paused, 30);
  EXPECT_EQ(still.drawn, paused.drawn) << "a paused, unchanged picture was drawn again";
  // A seek while paused draws exactly once.
  player.key("Right");
  ASSERT_TRUE(player.waitFor("seek to ")) << player.log();
  const Counters sought = countersAfter(player, still, 30);
  EXPECT_EQ(sought.drawn, still.drawn + 1) << player.log();

  // A larger window: the passes grow with it.
  runProgram({"xdotool", "search", "--name", "^tarvo$", "windowsize", "--sync", "%@", "960", "540"},
             {"DISPLAY=" + x.display()});
  ASSERT_TRUE(player.waitFor("\npreview 0.50 (960x540), fit to the window\n")) << player.log();
  player.key("bracketleft");
  ASSERT_TRUE(player.waitFor("\npreview 0.25 (480x270), halved\n")) << player.log();
  player.key("bracketright");
  ASSERT_TRUE(player.waitFor("\npreview 0.50 (960x540), doubled\n")) << player.log();
  // Scale changes and the resize each drew the paused picture again.
  const Counters after = readCounters(player);
  EXPECT_GE(after.drawn, sought.drawn + 3) << player.log();

  player.key("Escape");
  EXPECT_EQ(player.wait(), 0);
}
