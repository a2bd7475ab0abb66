// Reloading and seeking for a long authoring session: 500 reloads (a shader,
// an image, the sync text) and 500 seeks in one process, with frames drawn
// between them, leave the GL object count and the process's memory where
// they were after warming up.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "audio/manual_clock_stream.h"
#include "demo/demo.h"
#include "gpu/gl_handle.h"
#include "live/reloader.h"
#include "live/transport.h"
#include "support/e2e_support.h"
#include "support/test_support.h"

namespace {
constexpr int kRounds = 500;
constexpr int kWarmUp = 25;
constexpr int kFrameEvery = 25;
constexpr long kAllowedGrowthBytes = 24L << 20;
}  // namespace

TEST(LiveSoak, FiveHundredReloadsAndSeeksLeaveGlObjectsAndMemoryFlat) {
  ASSERT_TRUE(ensureGLContext(640, 360));
  TempDir dir;
  makeTestProduction(dir.path());
  const std::string shader = "demosrc/norde/data/postProc-1.glsl";
  const std::string original = readFile(shader);
  const std::string sync = readFile("demosrc/norde/sync.txt");

  int objectsAfterWarmUp = 0;
  long memoryAfterWarmUp = 0;
  int objectsAtEnd = 0;
  long memoryAtEnd = 0;
  int reloads = 0;
  const std::string out = captureStdout([&] {
    Demo demo(std::make_unique<ManualClockStream>());
    Transport transport(demo.music, true);
    Reloader reloader(demo, transport);
    for (int i = 0; i < kRounds; ++i) {
      if (i == kWarmUp) {
        objectsAfterWarmUp = liveGlObjectCount();
        memoryAfterWarmUp = residentBytes();
      }
      // Every save differs from the last, as an author's would.
      writeFile(shader, original + "// save " + std::to_string(i) + "\n");
      reloader.reload("demosrc\\norde\\data\\postProc-1.glsl");
      if (i % 3 == 0) reloader.reload("demosrc\\norde\\data\\1.png");
      if (i % 5 == 0) {
        writeFile("demosrc/norde/sync.txt", sync + "# save " + std::to_string(i) + "\n");
        reloader.reload("demosrc\\norde\\sync.txt");
      }
      transport.seek(static_cast<double>(i % 47) / 10.0);
      if (i % kFrameEvery == 0) {
        demo.Frame();
        reloader.framePresented();
      }
    }
    objectsAtEnd = liveGlObjectCount();
    memoryAtEnd = residentBytes();
    reloads = reloader.reloadCount();
  });
  EXPECT_EQ(reloads, kRounds + (kRounds + 2) / 3 + kRounds / 5);
  EXPECT_EQ(countOccurrences(out, "reload failed"), 0u);
  EXPECT_EQ(countOccurrences(out, "seek to "), static_cast<size_t>(kRounds));
  EXPECT_EQ(objectsAtEnd, objectsAfterWarmUp);
  EXPECT_LT(memoryAtEnd - memoryAfterWarmUp, kAllowedGrowthBytes)
      << "grew by " << ((memoryAtEnd - memoryAfterWarmUp) >> 20) << " MiB";
}
