// Keys pressed and released between two keyboard snapshots, handed over as the window procedure
// hands over its key events.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "runtime/input/input_state.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/text_entry.h"
#include "runtime/input/waiting.h"
#include "runtime/platform/input.h"

namespace quillon {
namespace {

platform::Event Key(platform::EventKind kind, int scanCode, int repeat = 0) {
  platform::Event event;
  event.kind = kind;
  event.code = -1;
  for (int code = 0; code < 1024 && event.code < 0; ++code) {
    if (platform::ScanCodeOfPlatformKey(code) == scanCode) event.code = code;
  }
  event.value = repeat;
  return event;
}

void Tap(int scanCode) {
  TakeInputEvent(Key(platform::EventKind::KeyDown, scanCode));
  TakeInputEvent(Key(platform::EventKind::KeyUp, scanCode));
}

class KeyTaps : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenInput(input, nullptr, false);
    SetEscapeEnds(1);
    BeginInputFrame();
  }
  void TearDown() override { CloseInput(); }
  InputState input;
};

TEST_F(KeyTaps, TapIsDownThroughoutTheNextFrameOnly) {
  ASSERT_GE(Key(platform::EventKind::KeyDown, 57).code, 0);
  Tap(57);
  BeginInputFrame();
  EXPECT_EQ(KeyDown(57), 1.0);
  EXPECT_EQ(KeyDown(57), 1.0);  // every question of that frame, though each refreshes
  EXPECT_EQ(KeyDown(30), 0.0);
  BeginInputFrame();
  EXPECT_EQ(KeyDown(57), 0.0);
}

TEST_F(KeyTaps, TappedEndKeysEndTheFrame) {
  Tap(1);
  BeginInputFrame();
  EXPECT_TRUE(EndKeysDown());
  BeginInputFrame();
  EXPECT_FALSE(EndKeysDown());
  Tap(56);
  Tap(62);
  BeginInputFrame();
  EXPECT_TRUE(EndKeysDown());  // Alt + F4
  SetEscapeEnds(0);
  Tap(1);
  BeginInputFrame();
  EXPECT_FALSE(EndKeysDown());
}

TEST_F(KeyTaps, RepeatsAndForeignCodesAreNoTaps) {
  // A repeat comes from a key that was already down at an earlier snapshot.
  TakeInputEvent(Key(platform::EventKind::KeyDown, 57, 1));
  TakeInputEvent(Key(platform::EventKind::KeyUp, 57));
  platform::Event unknown = Key(platform::EventKind::KeyDown, 57);
  unknown.code = 100000;
  TakeInputEvent(unknown);
  unknown.code = -5;
  TakeInputEvent(unknown);
  BeginInputFrame();
  for (int code = 0; code < 256; ++code) EXPECT_EQ(KeyDown(code), 0.0) << code;
  CloseInput();
  Tap(57);  // input closed: dropped
  OpenInput(input, nullptr, false);
  BeginInputFrame();
  EXPECT_EQ(KeyDown(57), 0.0);
}

// A key's character is the text event that follows its key-down event.
TEST_F(KeyTaps, TypedTextBelongsToTheKeyPressedJustBefore) {
  auto typed = [](const char* utf8) {
    platform::Event event;
    event.kind = platform::EventKind::TextInput;
    std::strcpy(event.text, utf8);
    TakeInputEvent(event);
  };
  TakeInputEvent(Key(platform::EventKind::KeyDown, 18));
  typed("€");  // AltGr + E
  TakeInputEvent(Key(platform::EventKind::KeyUp, 18));
  BeginInputFrame();
  EXPECT_STREQ(ReadKeyChar().CStr(), "\x80");
  TakeInputEvent(Key(platform::EventKind::KeyDown, 200));  // Up: no text of its own
  platform::Event foreign = Key(platform::EventKind::KeyDown, 57);
  foreign.code = 100000;
  TakeInputEvent(foreign);
  typed("x");
  TakeInputEvent(Key(platform::EventKind::KeyDown, 30));
  typed("Ω");  // not in Windows-1252
  BeginInputFrame();
  EXPECT_STREQ(ReadKeyChar().CStr(), "");
}

TEST(KeyTapsDeathTest, TappedEscapeEndsAWait) {
  EXPECT_EXIT(
      {
        InputState input;
        OpenInput(input, nullptr, false);
        SetEscapeEnds(1);
        Tap(1);
        WaitForInputActivity();
        std::exit(7);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quillon
