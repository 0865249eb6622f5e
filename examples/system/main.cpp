// System: a small file browser. ListDirectory lists the current directory (folders first),
// arrows and Enter move and enter folders, R runs ls on the selection and shows its exit status,
// O opens FileDialog, and the side shows SystemInfo, CurrentDirectory and CommandLineText.
#include "runtime/quillon.h"

using namespace quillon;

namespace {

constexpr int kRows = 16;

DimArray<StringValue> entries;
double directoryCount = 0;
int selected = 0;
int top = 0;
StringValue runStatus = "R: run ls on it";
StringValue dialogStatus = "O: open a file";

void Relist() {
  double counts = ListDirectory("*", entries);  // files + 65536 * directories
  // From the entry count too: 65536 files or more would spill into counts / 65536.
  directoryCount = (counts - entries.Bound(0)) / 65535;
  selected = 0;
  top = 0;
}

double EntryCount() { return entries.Bound(0); }

void Move(int by) {
  selected += by;
  if (selected < 0) selected = 0;
  if (selected >= EntryCount()) selected = (int)EntryCount() - 1;
  if (selected < top) top = selected;
  if (selected >= top + kRows) top = selected - kRows + 1;
}

void EnterSelected() {
  if (selected < directoryCount && ChangeDirectory(entries.At(selected)) != 0) Relist();
}

// Runs ls without a shell: the name goes to it as one argument whatever it holds.
void RunOnSelected() {
  if (EntryCount() == 0) return;  // a directory that cannot be read lists nothing
  double exitCode = 0;
  StringValue line = StringValue("ls -ld \"") + entries.At(selected) + "\"";
  if (RunProgram(line, 1, 0, exitCode) == 0) {
    runStatus = "ls could not be started";
  } else {
    runStatus = StringValue("ls ended with status ") + exitCode;
  }
}

void Draw() {
  FillRect(0, 0, 639, 23, 0x603010);
  PrintText(CurrentDirectory(), 8, 8);
  for (int row = 0; row < kRows && top + row < EntryCount(); ++row) {
    int i = top + row;
    double y = 32 + 16 * row;
    if (i == selected) FillRect(4, y - 2, 300, y + 12, 0x805020);
    StringValue name = entries.At(i);
    PrintText(i < directoryCount ? StringValue("[") + name + "]" : name, 12, y);
  }
  PrintText(StringValue("platform ") + SystemInfo(""), 320, 32);
  PrintText(StringValue("device ") + SystemInfo("device"), 320, 52);
  PrintText(StringValue("time ") + SystemInfo("time"), 320, 72);
  PrintText(StringValue("id ") + SystemInfo("id"), 320, 92);
  PrintText(StringValue("command line: ") + CommandLineText(), 320, 112);
  PrintText(StringValue("folders ") + directoryCount, 320, 132);
  PrintText(StringValue("files ") + (EntryCount() - directoryCount), 320, 152);
  PrintText("arrows, Enter, Backspace: up", 320, 192);
  PrintText(runStatus, 8, 284);
  PrintText(dialogStatus, 8, 300);
}

[[noreturn]] void GameMain() {
  Relist();
  double was[256] = {};
  for (;;) {
    // Each key acts once when it goes down.
    auto pressed = [&was](int code) {
      double down = KeyDown(code);
      bool edge = down != 0 && was[code] == 0;
      was[code] = down;
      return edge;
    };
    if (pressed(200)) Move(-1);  // up
    if (pressed(208)) Move(1);   // down
    if (pressed(28)) EnterSelected();
    if (pressed(14) && ChangeDirectory("..") != 0) Relist();
    if (pressed(19)) RunOnSelected();
    if (pressed(24)) {
      StringValue file = FileDialog(1, "All files|*|Pictures|*.bmp;*.png");
      dialogStatus = StringValue("FileDialog: ") + file;
      for (double& w : was) w = 1;  // keys held in the dialog act again only once released
    }
    Draw();
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 320;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("System") == 0) EndFailedStartup();
  GameMain();
}
