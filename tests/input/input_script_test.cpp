// Scripts read without a window: the frame a line names and the repeat line's rounds.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/input/input_script.h"

namespace quillon {
namespace {

TEST(InputScript, RepeatStartsEachRoundFromAReleasedState) {
  std::string error;
  ASSERT_TRUE(LoadInputScript(
      "2 key space down\n4 key space up\n3 mouse 7 9\n3 wheel 1\n5 key 30 down\n6 repeat # rounds\n",
      &error))
      << error;
  uint8_t keys[256];
  for (long frame = 0; frame < 20; ++frame) {
    long local = frame % 6;
    ScriptedKeyboard(frame, keys);
    ScriptedMouse mouse = ScriptedPointer(frame);
    EXPECT_EQ(keys[57], local == 2 || local == 3 ? 0x80 : 0) << frame;
    EXPECT_EQ(keys[30], local == 5 ? 0x80 : 0) << frame;  // held at the round's end, then up
    EXPECT_EQ(mouse.x, local >= 3 ? 7 : 0) << frame;
    EXPECT_EQ(mouse.wheel, local == 3 ? 1 : 0) << frame;
  }
  ScriptedKeyboard(6 * 1000 + 3, keys);  // a jump into a later round
  EXPECT_EQ(keys[57], 0x80);
  ClearInputScript();
}

TEST(InputScript, RepeatLinesThatCannotHoldAreRefused) {
  std::string error;
  for (const char* bad : {"0 repeat\n", "4 repeat 2\n", "3 repeat\n5 repeat\n",
                          "5 key 57 down\n5 repeat\n", "3 type abc\n4 repeat\n"}) {
    error.clear();
    EXPECT_FALSE(LoadInputScript(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_FALSE(InputScriptActive());
}

}  // namespace
}  // namespace quillon
