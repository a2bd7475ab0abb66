#include "audio/spectrum_cache.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "audio/audio_stream.h"
#include "audio/spectrum_analysis.h"
#include "audio/spectrum_cache_format.h"
#include "base/log.h"
#include "resources/file_utils.h"

std::string SpectrumCache::cacheFileName(const std::string& musicPath) {
  const std::vector<std::string> pieces = splitString(musicPath, '.');
  return (pieces.empty() ? std::string() : pieces.front()) + ".cache";
}

void SpectrumCache::open(AudioStream& stream, const std::string& musicPath) {
  length = static_cast<float>(stream.bytesToSeconds(stream.lengthBytes()));
  const std::string fileName = cacheFileName(musicPath);
  Log("fftCacheName: %s\n", fileName.c_str());
  struct stat status;
  if (::stat(osPath(fileName).c_str(), &status) != 0 || !load(fileName) || !fitsMusic()) {
    build(fileName, stream);
  }
  computeStatistics();
}

bool SpectrumCache::fitsMusic() const {
  // A well-formed cache of other music (or of another analysis) would be
  // sampled past its end or with the wrong bands.
  const int32_t expectedFrames = spectrumFrameCount(length);
  if (bandCount == kSpectrumBandCount && frameCount == expectedFrames) return true;
  Log("\tThe cache does not fit the music: %d bands and %d frames where %d and %d are expected\n",
      bandCount, frameCount, kSpectrumBandCount, expectedFrames);
  return false;
}

bool SpectrumCache::build(const std::string& fileName, AudioStream& stream) {
  Log("Creating %s\n", fileName.c_str());
  bandCount = kSpectrumBandCount;
  framesPerSecond = kSpectrumFramesPerSecond;
  fftFlags = kSpectrumFftFlags;
  frameCount = 0;
  bandValues.clear();
  if (!stream.isOpen()) {
    // Writing an empty table would hide the music once it can be opened.
    Log("\tNo decoded music to analyse: the spectrum stays empty and %s is not written\n",
        fileName.c_str());
    return false;
  }
  frameCount = spectrumFrameCount(length);
  Log("\tWriting %d samples and %d bands\n", frameCount, bandCount);

  SpectrumTable table = analyseSpectrum(stream.decoded(), frameCount, analysisThreads);
  bandValues = std::move(table.bandValues);
  for (int32_t i = 0; i < frameCount; ++i) {
    const int64_t position = stream.secondsToBytes(i / static_cast<double>(kSpectrumFramesPerSecond));
    const float frameTime = static_cast<float>(i / static_cast<double>(kSpectrumFramesPerSecond));
    const auto& bins = table.loggedBins[i];
    Log("%d %d@%f - %f %f %f \n", static_cast<int32_t>(static_cast<uint32_t>(position)),
        i * kSpectrumBandCount, frameTime, bins[0], bins[1], bins[2]);
  }

  SpectrumCacheData data;
  data.frameCount = frameCount;
  data.bandCount = bandCount;
  data.framesPerSecond = framesPerSecond;
  data.fftFlags = fftFlags;
  data.bandValues = bandValues;
  // Replaced whole, so renderers building the same cache side by side (a
  // farm's pieces) never read one another's half-written file.
  std::string error;
  if (!writeFileAtomically(osPath(fileName), writeSpectrumCache(data), error)) {
    Log("\tCould not write %s; the spectrum is kept for this run only\n", fileName.c_str());
    return false;
  }
  Log("%s is Successfully Created\n", fileName.c_str());
  return true;
}

bool SpectrumCache::load(const std::string& fileName) {
  Log("Loading FFT Cache: %s\n", fileName.c_str());
  frameCount = bandCount = framesPerSecond = fftFlags = 0;
  bandValues.clear();
  std::vector<uint8_t> bytes;
  if (!readFileBytes(osPath(fileName), bytes)) {
    Log("\tCannot read %s\n", fileName.c_str());
    return false;
  }
  SpectrumCacheParseResult parsed = parseSpectrumCache(bytes.data(), bytes.size());
  if (!parsed.problem.empty()) {
    Log("\tNot a usable cache: %s: %s\n", fileName.c_str(), parsed.problem.c_str());
    return false;
  }
  frameCount = parsed.data.frameCount;
  bandCount = parsed.data.bandCount;
  framesPerSecond = parsed.data.framesPerSecond;
  fftFlags = parsed.data.fftFlags;
  bandValues = std::move(parsed.data.bandValues);
  Log("\tLoaded Successfully\n");
  return true;
}

void SpectrumCache::computeStatistics() {
  statistics.assign(static_cast<size_t>(std::max(bandCount, 0)), BandStatistics{});
  if (frameCount <= 0 || bandValues.size() != size_t(frameCount) * size_t(bandCount)) return;
  for (int32_t b = 0; b < bandCount; ++b) {
    BandStatistics& stats = statistics[b];
    float sum = 0.0f;
    float maximum = bandValues[b];
    float minimum = bandValues[b];
    for (int32_t f = 0; f < frameCount; ++f) {
      const float v = bandValues[size_t(f) * bandCount + b];
      sum += v;
      maximum = std::max(maximum, v);
      minimum = std::min(minimum, v);
    }
    stats.mean = sum / static_cast<float>(frameCount);
    double squares = 0.0;
    for (int32_t f = 0; f < frameCount; ++f) {
      const double d = double(bandValues[size_t(f) * bandCount + b]) - stats.mean;
      squares += d * d;
    }
    stats.maximum = maximum;
    stats.minimum = minimum;
    stats.variance = static_cast<float>(squares / frameCount);
  }
}

SpectrumView SpectrumCache::view() const {
  SpectrumView v;
  v.values = bandValues.empty() ? nullptr : bandValues.data();
  v.frameCount = bandValues.empty() ? 0 : frameCount;
  v.bandCount = bandCount;
  v.framesPerSecond = framesPerSecond;
  v.length = length;
  return v;
}

float SpectrumCache::value(int frame, int band) const {
  if (frameCount <= 0 || band < 0 || band >= bandCount || bandValues.empty()) return 0.0f;
  frame = std::clamp(frame, 0, frameCount - 1);
  return bandValues[size_t(frame) * bandCount + band];
}
