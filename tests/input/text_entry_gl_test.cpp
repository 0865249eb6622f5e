// Typed characters and line entry through real X key events (the X layout decides what a key
// types) and through scripts.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/core/flow_hooks.h"
#include "runtime/gl/frame_read.h"
#include "runtime/input/input_script.h"
#include "runtime/program/heartbeat.h"
#include "runtime/program/program_end.h"
#include "runtime/quillon.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

using testing::KeyEvents;

class TextEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::StartTestRuntime();
    ClearInputScript();
    ASSERT_TRUE(testing::FocusGameWindow());
  }
  void TearDown() override {
    ClearInputScript();
    std::system("setxkbmap us");
  }
};

// Presses the keys and reads characters until one arrives; then, the keys still held, reads
// again: a held key must not repeat. Releases the keys in reverse order.
std::string TypedOnce(const std::string& keys, const std::string& release) {
  std::string got;
  KeyEvents("down", keys);
  testing::WaitFor([&] { return !(got = ReadKeyChar().CStr()).empty(); }, testing::PumpAndRest);
  for (int i = 0; i < 5; ++i) {
    testing::PumpAndRest();
    if (*ReadKeyChar().CStr() != '\0') got += "+repeat";
  }
  KeyEvents("up", release);
  testing::WaitFor([] { return KeyDown(30) + KeyDown(3) + KeyDown(21) + KeyDown(39) == 0; },
                   testing::PumpAndRest);
  return got;
}

TEST_F(TextEntry, KeysTypeWhatTheLayoutTypesOncePerPress) {
  EXPECT_EQ(TypedOnce("a", "a"), "a");
  EXPECT_EQ(TypedOnce("Shift_L a", "a Shift_L"), "A");
  // Arrows and function keys type nothing, even when the game reads while they are held.
  KeyEvents("down", "Up F5");
  testing::WaitFor([] { return KeyDown(200) + KeyDown(63) == 2; }, testing::PumpAndRest);
  EXPECT_STREQ(ReadKeyChar().CStr(), "");
  KeyEvents("up", "F5 Up");

  ASSERT_EQ(std::system("setxkbmap de"), 0);
  // xte presses keys by what they type: on this layout z is the key at the US Y position.
  ASSERT_TRUE(KeyEvents("down", "z"));
  ASSERT_TRUE(testing::WaitFor([] { return KeyDown(21) != 0; }, testing::PumpAndRest));
  KeyEvents("up", "z");
  EXPECT_EQ(TypedOnce("z", "z"), "z");
  EXPECT_EQ(TypedOnce("Shift_L 2", "2 Shift_L"), "\"");
  EXPECT_EQ(TypedOnce("odiaeresis", "odiaeresis"), "\xF6");  // Windows-1252 ö
}

TEST_F(TextEntry, ScriptedKeysTypeThroughTheLayout) {
  long f = ShowScreenCount() + 1;
  auto at = [f](int n, const char* line) { return std::to_string(f + n) + line; };
  ASSERT_TRUE(LoadInputScript(at(0, " key a down\n") + at(2, " key a up\n") +
                              at(3, " key shift_r down\n") + at(4, " key a down\n") +
                              at(6, " key a up\n") + at(6, " key up down\n")));
  std::string got;
  for (int i = 0; i < 7; ++i) {
    ShowScreen();
    got += std::string(ReadKeyChar().CStr()) + ReadKeyChar().CStr() + "|";
  }
  EXPECT_EQ(got, "a||||A|||");
  ASSERT_EQ(std::system("setxkbmap de"), 0);
  ASSERT_TRUE(LoadInputScript("0 key y down\n"));
  EXPECT_TRUE(testing::WaitFor([&] { return (got = ReadKeyChar().CStr()) == "z"; },
                               testing::PumpAndRest, 5))
      << got;
}

TEST_F(TextEntry, WaitKeyPressIgnoresArrowsAndFunctionKeys) {
  long f = ShowScreenCount();
  ASSERT_TRUE(LoadInputScript(std::to_string(f + 1) + " key left down\n" + std::to_string(f + 2) +
                              " key f1 down\n" + std::to_string(f + 6) + " type x\n"));
  WaitKeyPress();
  EXPECT_GE(ShowScreenCount(), f + 6);
  ClearInputScript();
  KeyEvents("down", "Down F2");
  testing::KeepSending taps(
      "WaitKeyPress to see the key b", [] { testing::Xdotool("key b"); }, 300);
  WaitKeyPress();
  EXPECT_GE(taps.Sent(), 1);
  KeyEvents("up", "F2 Down");
}

// What each frame of InputText showed: the text so far, whether the first three cells of the
// line at (100, 80) and the cell after the text hold lit pixels, and whether the picture stayed.
struct Shown {
  std::string text;
  bool line, cursor, picture;
};
std::vector<Shown> shown;
StringValue* entered = nullptr;
double pictureColour = 0;

bool Lit(int cell, int cells) {
  double w = 0, h = 0;
  GetFontSize(w, h);
  std::vector<uint8_t> p(size_t(w * cells * h) * 4);
  ReadFramePixels(int(100 + cell * w), int(480 - 80 - h), int(w * cells), int(h), GL_RGBA,
                  p.data());
  for (size_t i = 0; i < p.size(); i += 4) {
    if (p[i + 1] > 128) return true;
  }
  return false;
}

void RecordFrame() {
  std::string text = entered->CStr();
  shown.push_back({text, Lit(0, 3), Lit(int(text.size()), 1), GetPixel(5, 5) == pictureColour});
  RunShowScreen();
}

TEST_F(TextEntry, InputTextEditsALineOverTheFrozenPicture) {
  InstallProgramFlow(ProgramFlow{RunEndSequence, RecordFrame, PumpWindowMessages});
  FillRect(0, 0, 20, 20, 0xFF0000);
  pictureColour = GetPixel(5, 5);
  StringValue text;
  entered = &text;
  testing::KeepSending typing(
      "InputText to end",
      [] {
        testing::Xdotool("type --delay 100 Ann && xdotool key --delay 100 BackSpace e Return");
      },
      300, 60000);
  InputText(text, 100.7, 80.2);
  EXPECT_STREQ(text.CStr(), "Ane");
  auto complete = std::find_if(shown.begin(), shown.end(), [](auto& s) { return s.text == "Ane"; });
  ASSERT_NE(complete, shown.end());
  EXPECT_TRUE(complete->line && complete->picture);

  // A script types; Backspace on an empty line does nothing; the cursor flips every 21 frames.
  long f = ShowScreenCount();
  auto at = [&f](int n, const char* line) { return std::to_string(f + n) + line; };
  ASSERT_TRUE(LoadInputScript(at(1, " key backspace down\n") + at(2, " key backspace up\n") +
                              at(3, " type é€Ωb   # Ω is not Windows-1252\n") +
                              at(80, " key kp_enter down\n")));
  text = "";
  shown.clear();
  InputText(text, 100, 80);
  const std::string typed = std::string("\xE9\x80") + "b";
  EXPECT_EQ(std::string(text.CStr()), typed);
  std::vector<int> runs{0};
  for (size_t i = 1; i < shown.size(); ++i) {
    if (shown[i].text != typed) continue;
    if (shown[i].cursor != shown[i - 1].cursor) runs.push_back(0);
    ++runs.back();
  }
  ASSERT_GE(runs.size(), 3u);
  for (size_t i = 1; i + 1 < runs.size(); ++i) EXPECT_EQ(runs[i], 21);

  f = ShowScreenCount();
  ASSERT_TRUE(LoadInputScript(at(1, " type 12.5x\n") + at(12, " key return down\n")));
  double number = 0;
  InputNumber(number, 0, 0);
  EXPECT_EQ(number, 12.5);
  std::string error;
  EXPECT_FALSE(LoadInputScript("5 type   \n", &error));
  InstallTopLayerFlow();
}

}  // namespace
}  // namespace quillon
