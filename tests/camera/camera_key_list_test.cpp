#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "camera/camera.h"
#include "camera_test_keys.h"
#include "support/test_support.h"

namespace {
bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<unsigned char> recordsFor(int count) {
  std::vector<unsigned char> bytes;
  for (int i = 0; i < count; ++i) appendRecord(bytes, testKey(i), 7.0f);
  return bytes;
}
}  // namespace

TEST(CameraKeyList, LoadsThreeRecords) {
  TempDir dir;
  std::filesystem::create_directory("demosrc");
  writeBytes("demosrc/cam1.cam", recordsFor(3));
  Camera camera;
  bool ok = false;
  const std::string log = captureStdout([&] { ok = camera.load("demosrc\\cam1.cam"); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(log,
            "Reading Camera Keys From: demosrc\\cam1.cam  fileEnd at 168b\n"
            "Read 3 positions\n"
            "Camera::Rebuild Tables\n");
  ASSERT_EQ(camera.keys.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(sameKey(camera.keys[i], testKey(i)));
  EXPECT_EQ(camera.currentKey, 3);
  EXPECT_EQ(camera.keyFilePath, "demosrc\\cam1.cam");
  EXPECT_EQ(camera.fov, 60.0f);  // loading does not touch the view
}

TEST(CameraKeyList, EmptyMissingAndTruncatedFiles) {
  TempDir dir;
  writeBytes("empty.cam", {});
  Camera empty;
  std::string log = captureStdout([&] { EXPECT_TRUE(empty.load("empty.cam")); });
  EXPECT_EQ(log, "Reading Camera Keys From: empty.cam  fileEnd at 0b\nRead 0 positions\n"
                 "Camera::Rebuild Tables\n");
  EXPECT_TRUE(empty.keys.empty());

  Camera missing;
  missing.keys.push_back(testKey(9));
  log = captureStdout([&] { EXPECT_FALSE(missing.load("nowhere\\cam1.cam")); });
  EXPECT_EQ(log, "CameraKeys file isn't good, recheck: nowhere\\cam1.cam\n");
  EXPECT_EQ(missing.keys.size(), 1u);
  EXPECT_EQ(missing.keyFilePath, "nowhere\\cam1.cam");  // a later save goes there
  EXPECT_EQ(missing.currentKey, 0);

  Camera folder;
  std::filesystem::create_directory("adir");
  EXPECT_FALSE(folder.load("adir"));

  std::vector<unsigned char> bytes = recordsFor(2);
  bytes.resize(bytes.size() + 30, 0x7F);
  writeBytes("cut.cam", bytes);
  Camera cut;
  log = captureStdout([&] { EXPECT_TRUE(cut.load("cut.cam")); });
  EXPECT_EQ(cut.keys.size(), 2u);
  EXPECT_EQ(cut.currentKey, 2);
  EXPECT_TRUE(contains(log, "fileEnd at 142b\n"));
  EXPECT_TRUE(contains(log, "partial camera key record of 30 bytes"));
  EXPECT_TRUE(contains(log, "Read 2 positions\n"));
}

TEST(CameraKeyList, SaveThenLoadGivesTheSameKeys) {
  TempDir dir;
  Camera camera;
  camera.keyFilePath = "cam1.cam";
  for (int i = 0; i < 3; ++i) camera.keys.push_back(testKey(i));
  const std::string log = captureStdout([&] { camera.saveKeys(); });
  EXPECT_EQ(log, "Writing Camera Pos: 0\nWriting Camera Pos: 1\nWriting Camera Pos: 2\n"
                 "Camera keys written successfully\n");

  const std::vector<unsigned char> bytes = readBytes("cam1.cam");
  ASSERT_EQ(bytes.size(), 3 * 56u);
  for (size_t r = 0; r < 3; ++r) {
    EXPECT_EQ(floatAt(bytes, 56 * r + 40), testKey(int(r)).near);
    EXPECT_EQ(floatAt(bytes, 56 * r + 44), testKey(int(r)).far);
    EXPECT_EQ(floatAt(bytes, 56 * r + 52), 0.0f);
  }
  EXPECT_FALSE(std::filesystem::exists("cam1.cam.tmp"));

  Camera reloaded;
  captureStdout([&] { reloaded.load("cam1.cam"); });
  ASSERT_EQ(reloaded.keys.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(sameKey(reloaded.keys[i], camera.keys[i]));

  // Saving a shorter list replaces the file rather than overwriting its start.
  camera.keys.resize(1);
  captureStdout([&] { camera.saveKeys(); });
  EXPECT_EQ(readBytes("cam1.cam").size(), 56u);

  // An empty list deletes the file and writes nothing.
  camera.keys.clear();
  EXPECT_EQ(captureStdout([&] { camera.saveKeys(); }), "");
  EXPECT_FALSE(std::filesystem::exists("cam1.cam"));
}

TEST(CameraKeyList, FailedSaveKeepsThePreviousFile) {
  TempDir dir;
  std::filesystem::create_directory("locked");
  Camera camera;
  camera.keyFilePath = "locked\\cam1.cam";
  camera.keys = {testKey(0), testKey(1)};
  captureStdout([&] { camera.saveKeys(); });
  const std::vector<unsigned char> before = readBytes("locked/cam1.cam");
  ASSERT_EQ(before.size(), 112u);

  camera.keys.push_back(testKey(2));
  ASSERT_EQ(chmod("locked", 0555), 0);
  // Permission bits do not bind root, so run the save as an unprivileged user.
  const bool asRoot = geteuid() == 0;
  if (asRoot) {
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  }
  bool dropped = true;
  const std::string log = captureStdout([&] {
    if (asRoot) dropped = seteuid(65534) == 0;
    if (dropped) camera.saveKeys();
    if (asRoot && dropped) {
      ASSERT_EQ(seteuid(0), 0);
    }
  });
  chmod("locked", 0755);
  if (!dropped) GTEST_SKIP() << "cannot drop root privileges to make a folder read-only";

  EXPECT_TRUE(contains(log, "camera::problem writing to file"));
  EXPECT_FALSE(contains(log, "written successfully"));
  EXPECT_EQ(readBytes("locked/cam1.cam"), before);
  EXPECT_FALSE(std::filesystem::exists("locked/cam1.cam.tmp"));
}

TEST(CameraKeyList, WriteErrorMidwayKeepsThePreviousFile) {
  TempDir dir;
  Camera camera;
  camera.keyFilePath = "cam1.cam";
  camera.keys = {testKey(0), testKey(1)};
  captureStdout([&] { camera.saveKeys(); });
  const std::vector<unsigned char> before = readBytes("cam1.cam");
  ASSERT_EQ(before.size(), 112u);

  // A file size limit below the new file's 168 bytes: the write runs out of
  // room half-way, as on a full disk.
  camera.keys.push_back(testKey(2));
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  const std::string log = captureStdout([&] {
    rlimit small = saved;
    small.rlim_cur = 150;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    camera.saveKeys();
    setrlimit(RLIMIT_FSIZE, &saved);
  });
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_TRUE(contains(log, "camera::problem writing to file"));
  EXPECT_FALSE(contains(log, "written successfully"));
  EXPECT_EQ(readBytes("cam1.cam"), before);
  EXPECT_FALSE(std::filesystem::exists("cam1.cam.tmp"));
}

TEST(CameraKeyList, FailedRenameLeavesNoTemporaryFile) {
  TempDir dir;
  // The key file path names a folder with content: the new file cannot
  // replace it, and the folder stays as it was.
  std::filesystem::create_directories("cam1.cam/inside");
  Camera camera;
  camera.keyFilePath = "cam1.cam";
  camera.keys = {testKey(0)};
  const std::string log = captureStdout([&] { camera.saveKeys(); });
  EXPECT_TRUE(contains(log, "Writing Camera Pos: 0\n"));
  EXPECT_TRUE(contains(log, "camera::problem writing to file"));
  EXPECT_TRUE(std::filesystem::is_directory("cam1.cam/inside"));
  EXPECT_FALSE(std::filesystem::exists("cam1.cam.tmp"));

  Camera unnamed;  // never loaded: no path to save to
  unnamed.keys = {testKey(0)};
  EXPECT_EQ(captureStdout([&] { unnamed.saveKeys(); }), "camera::problem writing to file");
}

TEST(CameraKeyList, PrintViewAndEditingOperations) {
  TempDir dir;
  Camera camera;
  camera.eyePos = {1, 2, 3};
  camera.lookAt = {4, 5, 6};
  EXPECT_EQ(captureStdout([&] { camera.printView(); }),
            "\tEyepos: 1.000000 2.000000 3.000000\n"
            "\tLookAt: 4.000000 5.000000 6.000000\n"
            "\tUpvector: 0.000000 1.000000 0.000000\n"
            "\tNear/Far: 0.100000 200000.000000\n"
            "\tFOV/RATIO: 60.000000\n"
            "\timestamp: 0.000000\n");

  // With no keys, or an index one past the end, nothing happens.
  const std::string none = captureStdout([&] {
    camera.copyKey(0);
    camera.updateKey(0);
    camera.deleteKey(0);
    camera.selectKey(0);
  });
  EXPECT_EQ(none, "");
  EXPECT_TRUE(camera.keys.empty());
  EXPECT_EQ(camera.currentKey, 0);

  for (int i = 0; i < 3; ++i) camera.keys.push_back(testKey(i));
  camera.currentKey = 3;
  EXPECT_EQ(captureStdout([&] {
              camera.copyKey(3);
              camera.updateKey(3);
              camera.deleteKey(3);
              camera.deleteKey(-1);
            }),
            "");
  EXPECT_EQ(camera.keys.size(), 3u);
  EXPECT_EQ(camera.currentKey, 3);

  camera.currentKey = 1;
  std::string log = captureStdout([&] { camera.updateKey(1); });
  EXPECT_EQ(log, "Updated Camera Index: 1\n");
  EXPECT_TRUE(sameKey(camera.keys[1], camera.currentView()));

  camera.selectKey(2);
  EXPECT_TRUE(sameKey(camera.currentView(), testKey(2)));
  log = captureStdout([&] { camera.saveCameraPos(0); });
  EXPECT_TRUE(contains(log, "saveCameraPos(), index=0, cameraBegin() = "));
  EXPECT_TRUE(contains(log, "Inserted Pos at 3\n\tNumber of keys in stack: 4\n"));
  EXPECT_EQ(camera.keys.size(), 4u);
  EXPECT_TRUE(sameKey(camera.keys[3], testKey(2)));  // appended at the end
  EXPECT_EQ(camera.currentKey, 2);
}
