#include "entry_points.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "app/player_options.h"
#include "audio/mp3_decoder.h"
#include "audio/music_analysis_format.h"
#include "audio/music_sections.h"
#include "audio/spectrum_analysis.h"
#include "audio/spectrum_cache.h"
#include "audio/spectrum_cache_format.h"
#include "audio/sync_text.h"
#include "audio/sync_track.h"
#include "audio/wav_decoder.h"
#include "camera/camera_key_file.h"
#include "camera/camera_matrices.h"
#include "drawables/spectrum_sampling.h"
#include "editor/edit_request.h"
#include "editor/edit_step.h"
#include "editor/sync_document.h"
#include "fuzz_input.h"
#include "gpu/mesh_parser.h"
#include "gpu/texture_pixels.h"
#include "gpu/shader_diagnostics.h"
#include "gpu/shader_source.h"
#include "render/frame_hashes.h"
#include "render/render_options.h"

namespace {
// Enough of each list to reach every branch of the code that follows a
// parser, without letting one input take seconds.
constexpr size_t kMaxFollowedItems = 64;
constexpr float kNotANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();
// The production's soundtrack is 2:28; the renderer takes its length as the
// default end of the range.
constexpr float kMusicSeconds = 148.0f;
constexpr float kWindowAspect = 16.0f / 9.0f;

bool sameFloat(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameKeys(const std::vector<SyncKey>& a, const std::vector<SyncKey>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].row != b[i].row || a[i].kind != b[i].kind || !sameFloat(a[i].value, b[i].value)) return false;
  }
  return true;
}

size_t lineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

void checkMesh(const MeshData& mesh) {
  if (!mesh.ok()) return;
  const size_t vertices = static_cast<size_t>(mesh.vertexCount);
  fuzzCheck(mesh.positions.size() == vertices && mesh.normals.size() == vertices,
            "a mesh has one position and one normal per vertex");
  fuzzCheck(mesh.indices.size() == static_cast<size_t>(mesh.triangleCount) * 3, "three indices per triangle");
  for (uint32_t index : mesh.indices) fuzzCheck(index < vertices, "every index names a vertex");
  fuzzCheck(buildVertexData(mesh).size() == vertices * 15, "15 floats per vertex");
}
}  // namespace

int fuzzOneSyncTrack(const uint8_t* data, size_t size) {
  const TrackParseResult parsed = parseTrackBytes(data, size);
  fuzzCheck(parsed.keys.size() <= size / kTrackKeyBytes, "no more keys than the bytes hold");
  SyncTrack track("fuzz");
  track.keys = parsed.keys;
  // The player evaluates at any fractional row; what reaches the shaders is
  // always a number.
  for (size_t i = 0; i < track.keys.size() && i < kMaxFollowedItems; ++i) {
    const double row = track.keys[i].row;
    fuzzCheck(i == 0 || track.keys[i - 1].row < track.keys[i].row, "rows ascend");
    for (double at : {row, row + 0.5, row - 0.25}) fuzzCheck(std::isfinite(track.valueAt(at)), "a finite value");
  }
  for (double row : {0.0, -1e300, 1e300, static_cast<double>(kNotANumber), static_cast<double>(kInfinity)}) {
    fuzzCheck(std::isfinite(track.valueAt(row)), "a finite value anywhere");
  }
  return 0;
}

int fuzzOneSyncText(const uint8_t* data, size_t size) {
  const SyncTextResult parsed = parseSyncText(textOf(data, size));
  if (!parsed.error.empty()) return 0;
  // synctool's round trip: a track printed back parses to the same keys.
  for (size_t i = 0; i < parsed.tracks.size() && i < kMaxFollowedItems; ++i) {
    const TextTrack& track = parsed.tracks[i];
    const SyncTextResult again = parseSyncText(printSyncTrack(track.name, track.keys));
    fuzzCheck(again.error.empty(), "a printed track parses");
    fuzzCheck(again.tracks.size() == 1 && again.tracks[0].name == track.name, "a printed track keeps its name");
    fuzzCheck(sameKeys(again.tracks[0].keys, track.keys), "a printed track keeps its keys");
    const std::vector<uint8_t> bytes = writeTrackBytes(track.keys);
    fuzzCheck(sameKeys(parseTrackBytes(bytes.data(), bytes.size()).keys, track.keys),
              "a written track file reads back");
  }
  // Time inserted and removed: refused, or the document's own read-back
  // check passed; either way the text still parses.
  SyncDocument document;
  std::string error;
  if (document.parse(textOf(data, size), error)) {
    for (const auto& [at, by] : {std::pair<int32_t, int32_t>{32, 17}, {49, -17}, {0, -16}, {INT32_MAX, INT32_MAX}}) {
      document.shift(at, by);
      fuzzCheck(parseSyncText(document.text()).error.empty(), "a shifted text parses");
    }
  }
  return 0;
}

int fuzzOneSectionTable(const uint8_t* data, size_t size) {
  const SectionTableParse parsed = parseSectionTable(textOf(data, size));
  fuzzCheck(parsed.problem.empty() || parsed.sections.empty(), "a refused table has no sections");
  for (const MusicSection& section : parsed.sections) {
    fuzzCheck(section.end > section.start, "every section ends after it starts");
  }
  for (const auto& [at, by] : {std::pair<int32_t, int32_t>{32, 17}, {256, -48}, {INT32_MAX, INT32_MIN}}) {
    const SectionTableShift shift = shiftSectionTable(textOf(data, size), at, by);
    fuzzCheck(!shift.problem.empty() || parseSectionTable(shift.text).problem.empty(), "a shifted table parses");
  }
  return 0;
}

int fuzzOneMusicAnalysisCache(const uint8_t* data, size_t size) {
  const MusicAnalysisParse parsed = parseMusicAnalysis(data, size);
  if (!parsed.problem.empty()) return 0;
  const std::vector<uint8_t> written = writeMusicAnalysis(parsed.file);
  fuzzCheck(written.size() == size && std::memcmp(written.data(), data, size) == 0,
            "an accepted analysis is written back byte for byte");
  const std::vector<TrackedBeat>& beats = parsed.file.analysis.beats;
  for (size_t i = 1; i < beats.size(); ++i) fuzzCheck(beats[i].time > beats[i - 1].time, "beats ascend");
  return 0;
}

int fuzzOneWav(const uint8_t* data, size_t size) {
  const DecodeResult decoded = decodeWav(data, size);
  if (!decoded.error.empty()) {
    fuzzCheck(decoded.audio.empty(), "a refused WAV has no samples");
    return 0;
  }
  fuzzCheck(!decoded.audio.empty() && decoded.audio.sampleRate > 0, "a decoded WAV has samples and a rate");
  fuzzCheck(decoded.audio.samples.size() % kPcmChannels == 0, "whole stereo frames");
  return 0;
}

int fuzzOneSpectrumCache(const uint8_t* data, size_t size) {
  SpectrumCacheParseResult parsed = parseSpectrumCache(data, size);
  if (!parsed.problem.empty()) {
    fuzzCheck(parsed.data.bandValues.empty(), "a refused cache has no table");
    return 0;
  }
  const std::vector<uint8_t> written = writeSpectrumCache(parsed.data);
  fuzzCheck(written.size() == size && std::memcmp(written.data(), data, size) == 0,
            "an accepted cache is written back byte for byte");

  // What SpectrumCache::load keeps, then the statistics and the terrain's reads.
  SpectrumCache cache;
  cache.frameCount = parsed.data.frameCount;
  cache.bandCount = parsed.data.bandCount;
  cache.framesPerSecond = parsed.data.framesPerSecond;
  cache.fftFlags = parsed.data.fftFlags;
  cache.bandValues = std::move(parsed.data.bandValues);
  cache.length = static_cast<float>(cache.frameCount) / static_cast<float>(cache.framesPerSecond);
  cache.computeStatistics();
  const SpectrumView view = cache.view();
  const float bands = static_cast<float>(cache.bandCount);
  for (float t : {-1.0f, 0.0f, 0.37f * cache.length, cache.length, cache.length + 1.0f, kNotANumber}) {
    for (float band : {-1.0f, 0.0f, 0.5f * bands + 0.25f, bands, kInfinity, kNotANumber}) {
      sampleSpectrum(view, t, band);
    }
  }
  for (int frame : {INT_MIN, -1, 0, cache.frameCount - 1, cache.frameCount, INT_MAX}) {
    for (int band : {-1, 0, cache.bandCount - 1, cache.bandCount}) cache.value(frame, band);
  }
  return 0;
}

int fuzzOneRawGeometry(const uint8_t* data, size_t size) {
  checkMesh(parseRawGeometry(data, size));
  return 0;
}

int fuzzOneIndexedGeometry(const uint8_t* data, size_t size) {
  checkMesh(parseIndexedGeometry(data, size));
  return 0;
}

int fuzzOneCameraKeys(const uint8_t* data, size_t size) {
  const ParsedCameraKeys parsed = parseCameraKeys(data, size);
  const size_t records = parsed.keys.size() + parsed.nonFiniteRecords.size();
  fuzzCheck(records * kCameraKeyRecordSize + parsed.trailingBytes == size,
            "every byte is a whole record or trailing");
  // Saving writes every finite record back, its timestamp as 0.
  const std::vector<uint8_t> written = serializeCameraKeys(parsed.keys);
  std::vector<uint8_t> expected;
  size_t skipped = 0;
  for (size_t record = 0; record < records; ++record) {
    if (skipped < parsed.nonFiniteRecords.size() && parsed.nonFiniteRecords[skipped] == record) {
      ++skipped;
      continue;
    }
    const uint8_t* from = data + record * kCameraKeyRecordSize;
    expected.insert(expected.end(), from, from + kCameraKeyRecordSize - 4);
    expected.insert(expected.end(), 4, 0);
  }
  fuzzCheck(written == expected, "keys are saved as they were read");
  for (size_t i = 0; i < parsed.keys.size() && i < kMaxFollowedItems; ++i) {
    const CameraKey& key = parsed.keys[i];
    cameraMatrices(key.eyePos, key.lookAt, key.upVector, key.fov, resolveAspect(key.ratio, kWindowAspect),
                   key.near, key.far);
  }
  return 0;
}

int fuzzOneShaderSource(const uint8_t* data, size_t size) {
  const std::vector<std::string> parts = splitAtNul(data, size);
  const std::string shaderText = parts.empty() ? std::string() : parts[0];
  std::optional<std::vector<std::string>> includeLines;  // no second part: an include that cannot be read
  if (parts.size() > 1) includeLines = splitSourceLines(parts[1]);
  const IncludeReader reader = [&includeLines](const std::string&) { return includeLines; };
  const std::string path = "demosrc\\norde\\data\\fuzz.glsl";

  const PreprocessedShader shader = preprocessShader(splitSourceLines(shaderText), path, reader);
  fuzzCheck(lineCount(shader.vertexText) == shader.vertexOrigins.size(), "one origin per vertex line");
  fuzzCheck(lineCount(shader.fragmentText) == shader.fragmentOrigins.size(), "one origin per fragment line");
  if (parts.size() > 2) {
    parseShaderInfoLog(parts[2]);
    fuzzCheck(!describeShaderFailure(parts[2], shader.fragmentOrigins, path).empty(), "a failure is described");
  }
  return 0;
}

int fuzzOneMp3(const uint8_t* data, size_t size) {
  const DecodeResult decoded = decodeMp3(data, size);
  if (!decoded.error.empty()) {
    fuzzCheck(decoded.audio.empty(), "a refused MP3 has no samples");
    return 0;
  }
  const DecodedAudio& audio = decoded.audio;
  fuzzCheck(!audio.empty() && audio.sampleRate > 0, "decoded music has samples and a rate");
  fuzzCheck(audio.samples.size() % kPcmChannels == 0, "whole stereo frames");
  // The spectrum's frame count follows from the decoded length.
  spectrumFrameCount(static_cast<float>(static_cast<double>(audio.frameCount()) / audio.sampleRate));
  return 0;
}

int fuzzOneImage(const uint8_t* data, size_t size) {
  const TexturePixels image = decodeTexturePixels(data, size);
  if (!image.ok()) {
    fuzzCheck(image.upload() == nullptr && image.bytes.empty() && image.floats.empty(),
              "a refused image holds no pixels");
    return 0;
  }
  fuzzCheck(image.width > 0 && image.height > 0 && image.channels >= 1 && image.channels <= 4,
            "a decoded image has pixels of 1 to 4 channels");
  const uint64_t values = uint64_t(image.width) * uint64_t(image.height) * (image.channels == 3 ? 3 : 4);
  const uint64_t valueBytes = image.isHDR ? sizeof(float) : 1;
  fuzzCheck(values * valueBytes <= kMaxTexturePixelBytes, "no image beyond the pixel budget");
  const size_t held = image.isHDR ? image.floats.size() : image.bytes.size();
  fuzzCheck(held == values, "three values per pixel for RGB, four for every other count");
  // The upload reads every value: any missing one shows under AddressSanitizer.
  const auto* first = static_cast<const unsigned char*>(image.upload());
  volatile unsigned char last = first[values * valueBytes - 1];
  (void)last;
  return 0;
}

int fuzzOneFrameHashes(const uint8_t* data, size_t size) {
  const FrameHashFile parsed = parseFrameHashes(textOf(data, size));
  if (!parsed.problem.empty()) return 0;
  for (size_t i = 0; i < parsed.frames.size() && i < kMaxFollowedItems; ++i) {
    const FrameHash& entry = parsed.frames[i];
    fuzzCheck(entry.frame >= 0, "frame numbers are not negative");
    const FrameHashFile again = parseFrameHashes(frameHashLine(entry.frame, 60, entry.hash));
    fuzzCheck(again.problem.empty() && again.frames.size() == 1 && again.frames[0].frame == entry.frame &&
                  again.frames[0].hash == entry.hash,
              "a hash line reads back");
  }
  return 0;
}

int fuzzOnePlayerOptions(const uint8_t* data, size_t size) {
  static const std::vector<MusicSection> sections = {
      {"intro", 0.0, 16.0}, {"drop", 32.0, 64.0}, {"second build-up", 64.0, 80.0}, {"a:b", 90.0, 95.5}};
  const ParsedPlayerOptions parsed = parsePlayerOptions(splitAtNul(data, size));
  if (!parsed.error.empty() || parsed.options.help) return 0;
  const PlayerOptions& o = parsed.options;
  o.any();
  if (o.windowed) fuzzCheck(o.width > 0 && o.height > 0, "a window has a size");
  ResolvedTimes times;
  std::string error;
  if (resolvePlayerTimes(o, sections, times, error)) {
    if (times.hasLoop) fuzzCheck(times.loopFrom < times.loopTo, "a loop ends after it starts");
  } else {
    fuzzCheck(!error.empty(), "a refused time says why");
  }
  return 0;
}

int fuzzOneRenderOptions(const uint8_t* data, size_t size) {
  const ParsedRenderOptions parsed = parseRenderOptions(splitAtNul(data, size));
  if (!parsed.error.empty() || parsed.options.help) return 0;
  const RenderOptions& o = parsed.options;
  // The renderer's range, first whole, then the shard asked for.
  RenderOptions whole = o;
  whole.sharded = false;
  std::string problem;
  const FrameRange range = requestedFrames(whole, kMusicSeconds, problem);
  const double end = o.end >= 0.0 ? o.end : static_cast<double>(kMusicSeconds);
  if (!o.framesGiven && end > o.start) {
    fuzzCheck(range.first >= 0 && range.count >= 1, "a range of accepted times has frames");
  }
  if (range.count <= 0) {
    fuzzCheck(!problem.empty(), "a range without frames says why");
    return 0;
  }
  FrameRange chosen = range;
  if (o.sharded) {
    chosen = requestedFrames(o, kMusicSeconds, problem);
    fuzzCheck(chosen.count >= 0 && chosen.first >= range.first &&
                  chosen.first + chosen.count <= range.first + range.count,
              "a shard lies within its range");
  }
  progressLine(chosen.count / 2, chosen.count, 0.5);
  return 0;
}

int fuzzOneEditRequest(const uint8_t* data, size_t size) {
  // The production's music is 2368 rows long; edits may reach past it.
  constexpr int32_t kMaxRow = 2368 + 512;
  static const std::string kText =
      "# 0: \"drum\"\ntrack 0\n0s      0       step\n16s     0.003   step  # hit\n\n"
      "track 5\n0 1 linear\n64 2 2\n# end\n";
  const std::string body = textOf(data, size);
  const TransportRequestParse transport = parseTransportRequest(body);
  if (transport.error.empty()) {
    const TransportRequest& t = transport.request;
    fuzzCheck(std::isfinite(t.time) && t.time >= 0.0, "a seek goes to a time");
    if (t.action == TransportAction::kLoop) fuzzCheck(t.from >= 0.0 && t.from < t.to, "a loop ends after it starts");
  }
  const EditRequestParse parsed = parseEditRequest(body, kMaxRow);
  if (!parsed.error.empty()) {
    fuzzCheck(parsed.request.edits.empty(), "a refused request holds no edits");
    return 0;
  }
  fuzzCheck(!parsed.request.edits.empty(), "an accepted request edits something");
  for (const SyncEdit& edit : parsed.request.edits) {
    fuzzCheck(edit.row >= 0 && edit.row <= kMaxRow && edit.toRow >= 0 && edit.toRow <= kMaxRow, "rows in range");
    fuzzCheck(std::isfinite(edit.value), "a finite value");
    fuzzCheck(edit.kind >= kSyncStep && edit.kind <= kSyncRamp, "a known kind");
  }
  fuzzCheck(parsed.request.seen.size() == parsed.request.edits.size(), "each edit names the key it was made on");
  // What the main thread does next, on the text the keys were seen in.
  const EditStep step = applyEditRequest(parsed.request, kText, 1, {});
  if (step.status != 200) {
    fuzzCheck(step.newText.empty() && step.body.find("\"error\"") != std::string::npos, "a refusal says why");
    fuzzCheck(step.body.find("would not read back") == std::string::npos, "the rewrite keeps the edited keys");
    return 0;
  }
  fuzzCheck(parseSyncText(step.newText).error.empty(), "the rewritten text reads");
  for (const char* kept : {"# 0: \"drum\"\ntrack 0\n", "\ntrack 5\n", "# end\n"}) {
    fuzzCheck(step.newText.find(kept) != std::string::npos, "lines no edit names stay");
  }
  return 0;
}

const std::vector<FuzzEntry>& fuzzEntries() {
  static const std::vector<FuzzEntry> entries = {
      {"sync_track", fuzzOneSyncTrack},
      {"sync_text", fuzzOneSyncText},
      {"section_table", fuzzOneSectionTable},
      {"spectrum_cache", fuzzOneSpectrumCache},
      {"music_analysis_cache", fuzzOneMusicAnalysisCache},
      {"wav", fuzzOneWav},
      {"raw_geometry", fuzzOneRawGeometry},
      {"indexed_geometry", fuzzOneIndexedGeometry},
      {"camera_keys", fuzzOneCameraKeys},
      {"shader_source", fuzzOneShaderSource},
      {"mp3", fuzzOneMp3},
      {"image", fuzzOneImage},
      {"frame_hashes", fuzzOneFrameHashes},
      {"player_options", fuzzOnePlayerOptions},
      {"render_options", fuzzOneRenderOptions},
      {"edit_request", fuzzOneEditRequest},
  };
  return entries;
}
