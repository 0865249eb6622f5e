// The chooser drawn in the window, driven by scripted keys and mouse.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/core/flow_hooks.h"
#include "runtime/input/input_script.h"
#include "runtime/platform/automation.h"
#include "runtime/quillon.h"
#include "support/gl_runtime.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

constexpr int kEscape = 1, kBackspace = 14, kEnter = 28, kDown = 208;
constexpr int kN = 49, kE = 18, kW = 17;

class FileDialogInWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::StartTestRuntime();
    ClearInputScript();
    previous = fs::current_path();
    dir = fs::canonical(testing::MakeTempDir("dialog")).string();
    fs::current_path(dir);
    // Sorted as the chooser shows them: "..", "sub", "ship.bmp", "zeta.bmp".
    for (const char* name : {"zeta.bmp", "ship.bmp", "notes.txt", "sub/inner.bmp"}) {
      fs::create_directories(fs::path(name).parent_path().empty() ? "." : "sub");
      std::ofstream(name) << "x";
    }
  }
  void TearDown() override {
    ClearInputScript();
    fs::current_path(previous);
    fs::remove_all(dir);
  }
  // Each key pressed for one frame and released the next, starting two frames from now.
  static void PressKeys(const std::vector<int>& keys, const std::string& extra = "") {
    long frame = ShowScreenCount() + 2;
    std::string script = extra;
    for (int key : keys) {
      script += std::to_string(frame) + " key " + std::to_string(key) + " down\n";
      script += std::to_string(frame + 1) + " key " + std::to_string(key) + " up\n";
      frame += 2;
    }
    ASSERT_TRUE(LoadInputScript(script));
  }
  fs::path previous;
  std::string dir;
};

TEST_F(FileDialogInWindow, ArrowsAndEnterPickAFileOfTheFilter) {
  PressKeys({kDown, kDown, kDown, kEnter});
  StringValue chosen = FileDialog(1, "Pictures|*.BMP|Text|*.txt");
  EXPECT_EQ(std::string(chosen.CStr()), dir + "/zeta.bmp");
  EXPECT_EQ(fs::current_path().string(), dir);
}

TEST_F(FileDialogInWindow, EntersAFolderAndComesBackToTheStartingDirectory) {
  PressKeys({kDown, kEnter, kDown, kEnter});
  StringValue chosen = FileDialog(1, "Pictures|*.bmp");
  EXPECT_EQ(std::string(chosen.CStr()), dir + "/sub/inner.bmp");
  EXPECT_EQ(fs::current_path().string(), dir);
}

TEST_F(FileDialogInWindow, EscapeCancelsAndDoesNotEndTheProgram) {
  PressKeys({kDown, kEscape});
  EXPECT_STREQ(FileDialog(1, "Pictures|*.bmp").CStr(), "NO_FILE");
  EXPECT_EQ(fs::current_path().string(), dir);
  EXPECT_EQ(KeyDown(kEscape), 0.0);
}

TEST_F(FileDialogInWindow, SavingTakesATypedName) {
  PressKeys({kN, kE, kW, kW, kBackspace, kEnter});
  StringValue chosen = FileDialog(0, "Pictures|*.bmp");
  EXPECT_EQ(std::string(chosen.CStr()), dir + "/new");
}

TEST_F(FileDialogInWindow, AClickSelectsAndASecondClickOpens) {
  // Rows start four cells down; the fourth row (index 3) is zeta.bmp.
  double cellW = 0, cellH = 0;
  GetFontSize(cellW, cellH);
  int y = int(cellH * 4 + cellH * 3 + cellH / 2);
  long f = ShowScreenCount() + 2;
  std::string script = std::to_string(f) + " mouse 40 " + std::to_string(y) + "\n";
  for (long click : {f + 1, f + 3}) {
    script += std::to_string(click) + " button left down\n";
    script += std::to_string(click + 1) + " button left up\n";
  }
  ASSERT_TRUE(LoadInputScript(script));
  StringValue chosen = FileDialog(1, "Pictures|*.bmp");
  EXPECT_EQ(std::string(chosen.CStr()), dir + "/zeta.bmp");
}

TEST_F(FileDialogInWindow, SavingWithANameTypedStillEntersAClickedFolder) {
  double cellW = 0, cellH = 0;
  GetFontSize(cellW, cellH);
  int y = int(cellH * 4 + cellH * 1 + cellH / 2);  // the second row: "sub"
  long f = ShowScreenCount() + 2;
  std::string script;
  auto press = [&script](long frame, const std::string& what) {
    script += std::to_string(frame) + " " + what + " down\n";
    script += std::to_string(frame + 1) + " " + what + " up\n";
  };
  press(f, "key " + std::to_string(kN));
  press(f + 2, "key " + std::to_string(kE));
  press(f + 4, "key " + std::to_string(kW));
  script += std::to_string(f + 6) + " mouse 40 " + std::to_string(y) + "\n";
  press(f + 7, "button left");
  press(f + 9, "button left");
  press(f + 11, "key " + std::to_string(kEnter));
  ASSERT_TRUE(LoadInputScript(script));
  StringValue chosen = FileDialog(0, "Pictures|*.bmp");
  EXPECT_EQ(std::string(chosen.CStr()), dir + "/sub/new");
}

// A stand-in desktop chooser on the PATH: records its arguments and answers as told.
class DesktopChooser : public FileDialogInWindow {
 protected:
  void SetUp() override {
    FileDialogInWindow::SetUp();
    bin = testing::MakeTempDir("chooser");
    savedPath = std::getenv("PATH");
    setenv("PATH", bin.c_str(), 1);
    unsetenv("QUILLON_NO_DIALOGS");
    platform::ReloadAutomation();
  }
  void TearDown() override {
    setenv("PATH", savedPath.c_str(), 1);
    setenv("QUILLON_NO_DIALOGS", "1", 1);
    platform::ReloadAutomation();
    fs::remove_all(bin);
    FileDialogInWindow::TearDown();
  }
  void Install(const std::string& tool, const std::string& answer,
               const std::string& version = "3.44.0") {
    std::string path = bin + "/" + tool;
    std::ofstream(path) << "#!/bin/sh\n[ \"$1\" = --version ] && echo " + version + " && exit 0\n"
                        << "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > " + bin + "/args\n"
                        << answer << "\n";
    fs::permissions(path, fs::perms::owner_all);
  }
  std::string Arguments() {
    std::ifstream in(bin + "/args");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string bin, savedPath;
};

TEST_F(DesktopChooser, ZenityGetsTheFiltersAndStartingDirectory) {
  Install("zenity", "echo '/tmp/a b/c.bmp'");
  StringValue chosen = FileDialog(0, "Pictures|*.bmp;*.png|All files|*.*");
  EXPECT_STREQ(chosen.CStr(), "/tmp/a b/c.bmp");
  EXPECT_EQ(fs::current_path().string(), dir);
  std::string args = Arguments();
  EXPECT_NE(args.find("[--file-selection]\n[--filename=" + dir + "/]\n[--save]\n"),
            std::string::npos)
      << args;
  EXPECT_NE(args.find("[--file-filter=Pictures | *.bmp *.png]\n[--file-filter=All files | *.*]"),
            std::string::npos)
      << args;
  EXPECT_NE(args.find("[--attach="), std::string::npos) << args;
}

TEST_F(DesktopChooser, NewerZenityGetsOnlyTheOptionsItKnows) {
  Install("zenity", "echo /tmp/x.bmp", "4.0.1");
  EXPECT_STREQ(FileDialog(0, "Pictures|*.bmp").CStr(), "/tmp/x.bmp");
  std::string args = Arguments();
  EXPECT_EQ(args.find("[--attach="), std::string::npos) << args;
  EXPECT_EQ(args.find("[--confirm-overwrite]"), std::string::npos) << args;
  EXPECT_NE(args.find("[--save]"), std::string::npos) << args;
}

TEST_F(DesktopChooser, CancelInKdialogGivesNoFile) {
  Install("kdialog", "exit 1");
  EXPECT_STREQ(FileDialog(1, "Pictures|*.bmp").CStr(), "NO_FILE");
  std::string args = Arguments();
  EXPECT_NE(args.find("[--getopenfilename]\n[" + dir + "/]\n[*.bmp|Pictures]"), std::string::npos)
      << args;
}

}  // namespace
}  // namespace quillon
