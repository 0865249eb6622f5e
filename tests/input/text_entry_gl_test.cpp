// Typed characters and line entry through real X key events (the X layout decides what a key
// types) and through scripts.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/core/flow_hooks.h"
#include "runtime/gl/frame_read.h"
#include "runtime/input/input_script.h"
#include "runtime/platform/clock.h"
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

// Loads the script, its frame numbers counted from the last ShowScreen.
bool ScriptFromNow(const std::string& lines) {
  std::istringstream in(lines);
  std::string script, line;
  while (std::getline(in, line)) {
    script +=
        std::to_string(ShowScreenCount() + std::stol(line)) + line.substr(line.find(' ')) + "\n";
  }
  return LoadInputScript(script);
}

// Holds the keys (X names) until the key with that scan code is down, reads characters for a
// few rounds of events, then releases them: what was read.
std::string TypedWhileHeld(const std::string& keys, int code) {
  KeyEvents("down", keys);
  bool down = testing::WaitFor([code] { return KeyDown(code) != 0; }, testing::PumpAndRest);
  std::string got = down ? "" : "(the key never went down)";
  for (int i = 0; i < 10; ++i, testing::PumpAndRest()) got += ReadKeyChar().CStr();
  KeyEvents("up", keys);
  testing::WaitFor([code] { return KeyDown(code) == 0; }, testing::PumpAndRest);
  return got;
}

TEST_F(TextEntry, KeysTypeWhatTheLayoutTypesOncePerPress) {
  struct Case {
    const char* layout;
    const char* keys;
    int code;
    const char* typed;
  };
  // xte presses keys by what they type: on the German layout z is the key at the US Y position
  // (21), and ö the one at the US semicolon (39).
  const Case cases[] = {{"us", "a", 30, "a"},         {"us", "Shift_L a", 30, "A"},
                        {"us", "Up F5", 63, ""},      {"de", "z", 21, "z"},
                        {"de", "Shift_L 2", 3, "\""}, {"de", "odiaeresis", 39, "\xF6"}};
  for (const Case& c : cases) {
    ASSERT_EQ(std::system((std::string("setxkbmap ") + c.layout).c_str()), 0);
    EXPECT_EQ(TypedWhileHeld(c.keys, c.code), c.typed) << c.keys << " on " << c.layout;
  }
}

TEST_F(TextEntry, ScriptedKeysTypeThroughTheLayout) {
  ASSERT_TRUE(
      ScriptFromNow("1 key a down\n3 key a up\n4 key shift_r down\n5 key a down\n"
                    "7 key a up\n7 key up down\n"));
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
  ASSERT_TRUE(ScriptFromNow("1 key left down\n2 key f1 down\n6 type x\n"));
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

// A program's own loop that never shows a frame nor pumps: a held key types, once; the close
// request and Escape end the program inside it.
TEST_F(TextEntry, ReadKeyCharTypesInALoopWithoutFrames) {
  KeyEvents("down", "a");
  std::string got;
  for (int i = 0; i < 1500 && got.size() < 2; ++i, platform::SleepMilliseconds(2)) {
    got += ReadKeyChar().CStr();
  }
  KeyEvents("up", "a");
  EXPECT_EQ(got, "a");
  EXPECT_TRUE(testing::WaitFor([] { return KeyDown(30) == 0; }, testing::PumpAndRest));
}

TEST(TextEntryDeathTest, CloseAndEscapeEndALoopOfReadKeyChar) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const char* end : {"close", "Escape"}) {
    auto loop = [end] {
      testing::LimitChildLifetime();
      testing::StartTestRuntime();
      if (!testing::FocusGameWindow()) std::exit(5);
      testing::KeepSending ending(end, [end] {
        end[0] == 'c' ? kill(getpid(), SIGTERM) : KeyEvents("down", end);  // SIGTERM: the close box
      }, 300);
      while (std::string(ReadKeyChar().CStr()).empty()) platform::SleepMilliseconds(2);
      std::exit(4);
    };
    EXPECT_EXIT(loop(), ::testing::ExitedWithCode(0), "") << end;
  }
  KeyEvents("up", "Escape");
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
  ASSERT_TRUE(
      ScriptFromNow("1 key backspace down\n2 key backspace up\n"
                    "3 type é€Ωb   # Ω is not Windows-1252\n80 key kp_enter down\n"));
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

  ASSERT_TRUE(ScriptFromNow("1 type 12.5x\n12 key return down\n"));
  double number = 0;
  InputNumber(number, 0, 0);
  EXPECT_EQ(number, 12.5);
  EXPECT_FALSE(LoadInputScript("5 type   \n"));
  InstallTopLayerFlow();
}

}  // namespace
}  // namespace quillon
