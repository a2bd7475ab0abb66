#include <gtest/gtest.h>

#include "base/keys.h"
#include "support/fake_input.h"

TEST(KeyPressed, FiresOncePerPressWhileHeld) {
  FakeInput input;
  input.keyDown('B');
  EXPECT_TRUE(KeyPressed('B'));
  EXPECT_FALSE(KeyPressed('B'));  // still held: no new press
  input.nextFrame();
  EXPECT_FALSE(KeyPressed('B'));
  input.keyUp('B');
  input.nextFrame();
  EXPECT_FALSE(KeyPressed('B'));
  input.keyDown('B');
  EXPECT_TRUE(KeyPressed('B'));
}

TEST(KeyPressed, TapBetweenPollsIsNotLostAndFiresOnce) {
  FakeInput input;
  input.tap('L');
  EXPECT_TRUE(KeyPressed('L'));
  EXPECT_FALSE(KeyPressed('L'));
  input.nextFrame();
  EXPECT_FALSE(KeyPressed('L'));
  EXPECT_EQ(input.asyncKeyState('L'), 0);
}

TEST(KeyPressed, NeverWithoutFocus) {
  FakeInput input;
  input.setFocus(false);
  input.keyDown('K');
  EXPECT_FALSE(KeyPressed('K'));
  input.keyDown(vk::Escape);
  EXPECT_FALSE(EscapeRequested());
  input.setFocus(true);
  EXPECT_TRUE(EscapeRequested());  // held counts, no edge test
  EXPECT_TRUE(EscapeRequested());
}

TEST(KeyPressed, AsyncStateCarriesBothBits) {
  FakeInput input;
  input.keyDown('W');
  EXPECT_EQ(input.asyncKeyState('W'), 0x8001);
  EXPECT_EQ(input.asyncKeyState('W'), 0x8000);
  EXPECT_EQ(input.asyncKeyState(-1), 0);
  EXPECT_EQ(input.asyncKeyState(4000), 0);
}

TEST(KeyPressed, NoInputSourceMeansNothingPressed) {
  setInputSource(nullptr);
  EXPECT_FALSE(KeyPressed('A'));
  EXPECT_FALSE(EscapeRequested());
}

TEST(CycleIndex, WrapsBothWaysAndIgnoresNegativeMax) {
  FakeInput input;
  EXPECT_EQ(CycleIndex(2, 3), 2);  // nothing pressed
  input.keyDown(vk::Down);
  EXPECT_EQ(CycleIndex(0, 3), 3);
  input.keyUp(vk::Down);
  input.nextFrame();
  input.keyDown(vk::Up);
  EXPECT_EQ(CycleIndex(3, 3), 0);
  input.keyUp(vk::Up);
  input.nextFrame();
  input.keyDown(vk::Up);
  EXPECT_EQ(CycleIndex(7, -1), 0);  // returns before polling the keys
  EXPECT_EQ(CycleIndex(5, 3), 2);   // the press is still there: 6 wraps to 2
  EXPECT_EQ(CycleIndex(5, 3), 1);   // no new press: 5 wraps to 1
  EXPECT_EQ(CycleIndex(-1, 3), 3);  // below zero takes max
  EXPECT_EQ(CycleIndex(-5, 3), 3);
}
