#include <gtest/gtest.h>

#include <cmath>

#include "camera/camera.h"
#include "camera_test_keys.h"

TEST(CameraPath, BlendsTheTwoKeysChosenBySyncValues) {
  Camera camera;
  for (int i = 0; i < 5; ++i) camera.keys.push_back(testKey(i));
  // Sync values 2.9 and 3.2 truncate to keys 2 and 3; a quarter of the way.
  ASSERT_TRUE(camera.evaluatePath(keyIndexFromSync(2.9f), keyIndexFromSync(3.2f), 0.25f));
  const CameraKey a = testKey(2), b = testKey(3);
  EXPECT_EQ(camera.eyePos.x, a.eyePos.x + 1.0f);  // eye moves 4 units per key
  EXPECT_EQ(camera.lookAt.z, a.lookAt.z + 1.0f);
  EXPECT_EQ(camera.upVector.z, 0.5f + 0.0625f);
  EXPECT_EQ(camera.fov, a.fov + 1.0f);
  EXPECT_EQ(camera.near, a.near + 0.25f);
  EXPECT_EQ(camera.far, a.far + 1.0f);
  EXPECT_EQ(camera.ratio, a.ratio + (b.ratio - a.ratio) * 0.25f);

  ASSERT_TRUE(camera.evaluatePath(1, 4, 0.0f));
  EXPECT_TRUE(sameKey(camera.currentView(), testKey(1)));
  ASSERT_TRUE(camera.evaluatePath(1, 4, 1.0f));
  EXPECT_TRUE(sameKey(camera.currentView(), testKey(4)));
  ASSERT_TRUE(camera.evaluatePath(3, 3, 0.8f));  // a = b: key a whatever t is
  EXPECT_TRUE(sameKey(camera.currentView(), testKey(3)));
  // t beyond 1 extrapolates along the same line; ratio -1 in both stays -1.
  ASSERT_TRUE(camera.evaluatePath(0, 2, 1.5f));
  EXPECT_EQ(camera.eyePos.x, testKey(0).eyePos.x + 12.0f);
  EXPECT_EQ(camera.ratio, -1.0f);
}

TEST(CameraPath, IndicesOutOfRangeFailWithoutChangingTheView) {
  Camera camera;
  for (int i = 0; i < 5; ++i) camera.keys.push_back(testKey(i));
  camera.eyePos = {7, 7, 7};
  EXPECT_TRUE(camera.evaluatePath(keyIndexFromSync(-0.5f), 1, 0.0f));  // truncates to 0
  EXPECT_TRUE(sameKey(camera.currentView(), testKey(0)));
  camera.eyePos = {7, 7, 7};
  EXPECT_FALSE(camera.evaluatePath(keyIndexFromSync(-1.5f), 1, 0.5f));
  EXPECT_FALSE(camera.evaluatePath(0, 5, 0.5f));
  EXPECT_FALSE(camera.evaluatePath(5, 0, 0.5f));
  EXPECT_EQ(camera.eyePos.x, 7.0f);

  Camera empty;
  EXPECT_FALSE(empty.evaluatePath(0, 0, 0.0f));
}

TEST(CameraPath, SyncValuesBecomeKeyIndicesByTruncation) {
  EXPECT_EQ(keyIndexFromSync(2.9f), 2);
  EXPECT_EQ(keyIndexFromSync(-0.5f), 0);
  EXPECT_EQ(keyIndexFromSync(-1.5f), -1);
  // Values no int can hold are no key either, instead of undefined behaviour.
  EXPECT_EQ(keyIndexFromSync(std::nanf("")), -1);
  EXPECT_EQ(keyIndexFromSync(3e9f), -1);
  EXPECT_EQ(keyIndexFromSync(-3e9f), -1);
  EXPECT_EQ(keyIndexFromSync(2147483520.0f), 2147483520);
}

TEST(CameraPath, UpVectorIsNotRenormalised) {
  Camera camera;
  CameraKey a = testKey(0), b = testKey(0);
  a.upVector = {1, 0, 0};
  b.upVector = {0, 1, 0};
  camera.keys = {a, b};
  ASSERT_TRUE(camera.evaluatePath(0, 1, 0.5f));
  EXPECT_EQ(camera.upVector.x, 0.5f);
  EXPECT_EQ(camera.upVector.y, 0.5f);
  EXPECT_LT(std::sqrt(dot(camera.upVector, camera.upVector)), 0.71f);
}
