#include <gtest/gtest.h>

#include "camera/camera_key_file.h"
#include "camera_test_keys.h"

TEST(CameraKeyFile, ParsesRecordsInFileOrderAndIgnoresTimestamp) {
  std::vector<unsigned char> bytes;
  appendRecord(bytes, testKey(0), 12.5f);
  appendRecord(bytes, testKey(1), -3.0f);
  ASSERT_EQ(bytes.size(), 2 * kCameraKeyRecordSize);
  const ParsedCameraKeys parsed = parseCameraKeys(bytes.data(), bytes.size());
  ASSERT_EQ(parsed.keys.size(), 2u);
  EXPECT_TRUE(sameKey(parsed.keys[0], testKey(0)));
  EXPECT_TRUE(sameKey(parsed.keys[1], testKey(1)));
  EXPECT_EQ(parsed.trailingBytes, 0u);
}

TEST(CameraKeyFile, EmptyAndPartialInput) {
  EXPECT_TRUE(parseCameraKeys(nullptr, 0).keys.empty());
  EXPECT_TRUE(parseCameraKeys(nullptr, 56).keys.empty());  // no data behind the size

  std::vector<unsigned char> bytes;
  appendRecord(bytes, testKey(3));
  bytes.resize(bytes.size() + 55, 0xAB);  // one byte short of a second key
  const ParsedCameraKeys parsed = parseCameraKeys(bytes.data(), bytes.size());
  ASSERT_EQ(parsed.keys.size(), 1u);
  EXPECT_TRUE(sameKey(parsed.keys[0], testKey(3)));
  EXPECT_EQ(parsed.trailingBytes, 55u);

  const ParsedCameraKeys tiny = parseCameraKeys(bytes.data(), 10);
  EXPECT_TRUE(tiny.keys.empty());
  EXPECT_EQ(tiny.trailingBytes, 10u);
}

TEST(CameraKeyFile, WritesPositionFirstNearBeforeFarAndZeroTimestamp) {
  CameraKey key = testKey(2);
  key.near = 0.125f;
  key.far = 9000.0f;
  const std::vector<uint8_t> bytes = serializeCameraKeys({testKey(1), key});
  ASSERT_EQ(bytes.size(), 112u);
  std::vector<unsigned char> expected;
  appendRecord(expected, testKey(1));
  appendRecord(expected, key);
  EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.end()), expected);
  EXPECT_EQ(floatAt(bytes, 56 + 0), key.eyePos.x);
  EXPECT_EQ(floatAt(bytes, 56 + 40), 0.125f);
  EXPECT_EQ(floatAt(bytes, 56 + 44), 9000.0f);
  EXPECT_EQ(floatAt(bytes, 56 + 52), 0.0f);
  EXPECT_TRUE(serializeCameraKeys({}).empty());
}
