#include "runtime/system/file_dialog.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_state.h"
#include "runtime/gfx2d/fonts.h"
#include "runtime/gfx2d/primitives.h"
#include "runtime/gfx2d/render_state.h"
#include "runtime/gfx2d/surfaces_internal.h"
#include "runtime/input/input_state.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/platform/automation.h"
#include "runtime/platform/directory.h"
#include "runtime/platform/process.h"
#include "runtime/platform/system.h"
#include "runtime/platform/window.h"
#include "runtime/system/directories.h"
#include "runtime/system/system_internal.h"

namespace quillon {

namespace {

DialogDisplay dialogDisplay;

// The surface that holds the picture under the chooser, as under text entry.
constexpr int32_t kFrozenSurface = 3;
constexpr size_t kMaxNameLength = 260;

enum : int {
  kEscape = 1,
  kBackspace = 14,
  kTab = 15,
  kEnter = 28,
  kShiftLeft = 42,
  kShiftRight = 54,
  kKeypadEnter = 156,
  kHome = 199,
  kUp = 200,
  kPageUp = 201,
  kEnd = 207,
  kDown = 208,
  kPageDown = 209,
};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

StringValue WithSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return StringValue(path.c_str());
}

// ---- the desktop's chooser ----

// Versions from 3.91 on refuse --attach and --confirm-overwrite (overwriting is always confirmed).
bool ZenityTakesOldOptions(const std::string& tool) {
  platform::ChildProcess child = platform::StartProcess({tool, "--version"}, true);
  std::string version;
  if (child.pid <= 0 || platform::WaitForProcess(child, nullptr, &version) != 0) return false;
  int major = 0, minor = 0;
  if (std::sscanf(version.c_str(), "%d.%d", &major, &minor) != 2) return false;
  return major < 3 || (major == 3 && minor < 91);
}

std::vector<std::string> ZenityArguments(const std::string& tool, bool open,
                                         const std::vector<FileFilter>& filters,
                                         const std::string& directory, uint64_t window) {
  bool oldOptions = ZenityTakesOldOptions(tool);
  std::vector<std::string> argv = {tool, "--file-selection", "--filename=" + directory + "/"};
  if (!open) argv.push_back("--save");
  if (!open && oldOptions) argv.push_back("--confirm-overwrite");
  for (const FileFilter& f : filters) {
    std::string line = f.description + " |";
    for (const std::string& p : f.patterns) line += " " + p;
    argv.push_back("--file-filter=" + line);
  }
  if (window != 0 && oldOptions) argv.push_back("--attach=" + std::to_string(window));
  return argv;
}

std::vector<std::string> KdialogArguments(const std::string& tool, bool open,
                                          const std::vector<FileFilter>& filters,
                                          const std::string& directory, uint64_t window) {
  std::vector<std::string> argv = {tool};
  if (window != 0) {
    argv.push_back("--attach");
    argv.push_back(std::to_string(window));
  }
  argv.push_back(open ? "--getopenfilename" : "--getsavefilename");
  argv.push_back(directory + "/");
  std::string filterText;
  for (const FileFilter& f : filters) {
    if (!filterText.empty()) filterText += "\n";
    for (size_t i = 0; i < f.patterns.size(); ++i) filterText += (i ? " " : "") + f.patterns[i];
    filterText += "|" + f.description;
  }
  if (!filterText.empty()) argv.push_back(filterText);
  return argv;
}

void KeepWindowAlive() { PumpMessages(); }

// 1 chosen, 0 cancelled, -1 no chooser could be shown.
int RunDesktopChooser(bool open, const std::vector<FileFilter>& filters,
                      const std::string& directory, std::string& chosen) {
  if (!platform::DesktopSessionPresent()) return -1;
  std::string zenity = platform::FindOnPath("zenity");
  std::string kdialog = zenity.empty() ? platform::FindOnPath("kdialog") : std::string();
  if (zenity.empty() && kdialog.empty()) return -1;
  uint64_t window = runtimeState.window ? platform::NativeWindowId(runtimeState.window) : 0;
  std::vector<std::string> argv = zenity.empty()
                                      ? KdialogArguments(kdialog, open, filters, directory, window)
                                      : ZenityArguments(zenity, open, filters, directory, window);
  if (dialogDisplay.suspend) dialogDisplay.suspend();
  platform::ChildProcess child = platform::StartProcess(argv, true);
  std::string output;
  int status = child.pid > 0 ? platform::WaitForProcess(child, KeepWindowAlive, &output) : -1;
  if (dialogDisplay.restore) dialogDisplay.restore();
  while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
  if (status == 0 && !output.empty()) {
    chosen = output;
    return 1;
  }
  return status == 1 ? 0 : -1;  // 1: the player cancelled; anything else: the tool failed
}

// ---- the chooser drawn in the window ----

struct Chooser {
  bool open = true;
  std::vector<FileFilter> filters;
  size_t filter = 0;
  std::vector<platform::DirectoryEntry> entries;  // directories first
  int selected = 0;
  int top = 0;
  std::string name;  // typed for saving
  uint8_t previousKeys[256] = {};
  bool previousLeft = false;
};

bool MatchesFilter(const Chooser& c, const std::string& name) {
  if (c.filters.empty()) return true;
  for (const std::string& p : c.filters[c.filter].patterns) {
    if (p == "*.*" || MatchesFilePattern(p.c_str(), name.c_str())) return true;
  }
  return false;
}

void ListChooser(Chooser& c) {
  c.entries.clear();
  for (platform::DirectoryEntry& e : platform::ListEntries(".")) {
    if (e.directory ? e.name != "." : MatchesFilter(c, e.name)) c.entries.push_back(std::move(e));
  }
  // Directory order is arbitrary here; the player reads a sorted list, directories first.
  auto byName = [](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) {
    if (a.directory != b.directory) return a.directory;
    return a.name < b.name;
  };
  std::sort(c.entries.begin(), c.entries.end(), byName);
  c.selected = 0;
  c.top = 0;
}

struct Layout {
  double width = 0, height = 0, cellW = 8, cellH = 8;
  double listTop = 0;
  int rows = 1;
};

Layout ChooserLayout() {
  Layout l;
  GetScreenSize(l.width, l.height);
  GetFontSize(l.cellW, l.cellH);
  if (l.cellW <= 0 || l.cellH <= 0) l.cellW = l.cellH = 8;
  l.listTop = l.cellH * 4;
  l.rows = std::max(1, int((l.height - l.listTop - l.cellH * 3) / l.cellH));
  return l;
}

void DrawChooser(const Chooser& c, const Layout& l) {
  DrawSurface(kFrozenSurface);
  SetAlphaMode(-0.85);
  FillRect(0, 0, l.width, l.height, 0x201008);
  SetAlphaMode(0);
  std::string title = (c.open ? "Open: " : "Save: ") + std::string(CurrentDirectory().CStr());
  PrintText(StringValue(title.c_str()), l.cellW, l.cellH);
  if (!c.filters.empty()) {
    std::string f = "Tab: " + c.filters[c.filter].description;
    PrintText(StringValue(f.c_str()), l.cellW, l.cellH * 2);
  }
  for (int row = 0; row < l.rows && c.top + row < int(c.entries.size()); ++row) {
    const platform::DirectoryEntry& e = c.entries[size_t(c.top + row)];
    double y = l.listTop + row * l.cellH;
    if (c.top + row == c.selected) FillRect(0, y, l.width, y + l.cellH, 0x804020);
    std::string text = e.directory ? "[" + e.name + "]" : e.name;
    PrintText(StringValue(text.c_str()), l.cellW * 2, y);
  }
  double bottom = l.height - l.cellH * 2;
  std::string help = c.open ? "Enter: open  Esc: cancel" : "Name: " + c.name + "_";
  PrintText(StringValue(help.c_str()), l.cellW, bottom);
}

char TypedCharacter(int code, bool shift) {
  static const char* kRows[] = {"1234567890-=", "qwertyuiop", "asdfghjkl", "zxcvbnm,."};
  static const int kFirst[] = {2, 16, 30, 44};
  for (int r = 0; r < 4; ++r) {
    int length = int(std::char_traits<char>::length(kRows[r]));
    if (code < kFirst[r] || code >= kFirst[r] + length) continue;
    char ch = kRows[r][code - kFirst[r]];
    if (!shift) return ch;
    if (ch >= 'a' && ch <= 'z') return char(ch - 'a' + 'A');
    return ch == '-' ? '_' : ch;
  }
  return code == 57 ? ' ' : '\0';
}

enum class Step { Continue, Chosen, Cancelled };

// Into the selected directory, or the selected file chosen.
Step OpenSelected(Chooser& c, std::string& chosen) {
  if (c.selected < 0 || c.selected >= int(c.entries.size())) return Step::Continue;
  const platform::DirectoryEntry& e = c.entries[size_t(c.selected)];
  if (e.directory) {
    if (platform::ChangeDirectory(e.name)) ListChooser(c);
    return Step::Continue;
  }
  chosen = std::string(CurrentDirectory().CStr()) + e.name;
  return Step::Chosen;
}

// Enter: a typed name is saved under, else the selected entry opened.
Step Activate(Chooser& c, std::string& chosen) {
  if (!c.open && !c.name.empty()) {
    chosen = std::string(CurrentDirectory().CStr()) + c.name;
    return Step::Chosen;
  }
  return OpenSelected(c, chosen);
}

void Select(Chooser& c, const Layout& l, int index) {
  if (c.entries.empty()) return;
  c.selected = std::clamp(index, 0, int(c.entries.size()) - 1);
  if (c.selected < c.top) c.top = c.selected;
  if (c.selected >= c.top + l.rows) c.top = c.selected - l.rows + 1;
  if (!c.open && !c.entries[size_t(c.selected)].directory)
    c.name = c.entries[size_t(c.selected)].name;
}

Step HandleKeys(Chooser& c, const Layout& l, const uint8_t keys[256], std::string& chosen) {
  bool shift = (keys[kShiftLeft] | keys[kShiftRight]) & 0x80;
  for (int code = 0; code < 256; ++code) {
    if (!(keys[code] & 0x80) || (c.previousKeys[code] & 0x80)) continue;
    switch (code) {
      case kEscape: return Step::Cancelled;
      case kEnter:
      case kKeypadEnter:
        if (Activate(c, chosen) == Step::Chosen) return Step::Chosen;
        break;
      case kUp: Select(c, l, c.selected - 1); break;
      case kDown: Select(c, l, c.selected + 1); break;
      case kPageUp: Select(c, l, c.selected - l.rows); break;
      case kPageDown: Select(c, l, c.selected + l.rows); break;
      case kHome: Select(c, l, 0); break;
      case kEnd: Select(c, l, int(c.entries.size()) - 1); break;
      case kTab:
        if (!c.filters.empty()) {
          c.filter = (c.filter + 1) % c.filters.size();
          ListChooser(c);
        }
        break;
      case kBackspace:
        if (!c.name.empty()) c.name.pop_back();
        break;
      default:
        if (char ch = TypedCharacter(code, shift);
            ch != '\0' && !c.open && c.name.size() < kMaxNameLength) {
          c.name += ch;
        }
    }
  }
  return Step::Continue;
}

Step HandleMouse(Chooser& c, const Layout& l, std::string& chosen) {
  double x = 0, y = 0, left = 0, right = 0;
  MouseState(x, y, left, right);
  int wheel = int(MouseAxis(2));
  if (wheel != 0) Select(c, l, c.selected - wheel);
  bool pressed = left != 0 && !c.previousLeft;
  c.previousLeft = left != 0;
  if (!pressed || y < l.listTop) return Step::Continue;
  int index = c.top + int((y - l.listTop) / l.cellH);
  if (index >= int(c.entries.size()) || index >= c.top + l.rows) return Step::Continue;
  // A click on the entry already selected opens it; a directory even with a name typed.
  if (index == c.selected) return OpenSelected(c, chosen);
  Select(c, l, index);
  return Step::Continue;
}

bool RunWindowChooser(bool open, const std::vector<FileFilter>& filters, std::string& chosen) {
  InputState* input = CurrentInput();
  if (runtimeState.graphics == nullptr || input == nullptr) return false;
  Chooser c;
  c.open = open;
  c.filters = filters;
  ListChooser(c);
  GrabSurface(kFrozenSurface);
  // Keys held when the chooser opens (the one that asked for it) act only once released.
  std::copy(std::begin(input->keyState), std::end(input->keyState), c.previousKeys);
  double x = 0, y = 0, left = 0, right = 0;
  MouseState(x, y, left, right);
  c.previousLeft = left != 0;
  bool escapeEnded = EscapeEnds();
  SetEscapeEnds(0);
  Step step = Step::Continue;
  while (step == Step::Continue) {
    Layout l = ChooserLayout();
    DrawChooser(c, l);
    ShowScreen();
    step = HandleKeys(c, l, input->keyState, chosen);
    std::copy(std::begin(input->keyState), std::end(input->keyState), c.previousKeys);
    if (step == Step::Continue) step = HandleMouse(c, l, chosen);
  }
  // An Escape still held would end the program at the game's next frame.
  for (int frame = 0; frame < 1000 && (input->keyState[kEscape] & 0x80); ++frame) {
    DrawChooser(c, ChooserLayout());
    ShowScreen();
  }
  SetEscapeEnds(escapeEnded ? 1 : 0);
  FreeSurface(kFrozenSurface);
  return step == Step::Chosen;
}

}  // namespace

void InstallDialogDisplay(const DialogDisplay& display) { dialogDisplay = display; }

std::vector<FileFilter> ParseFileFilter(const std::string& filter) {
  std::vector<FileFilter> filters;
  std::vector<std::string> parts = Split(filter, '|');
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    FileFilter f;
    f.description = Trimmed(parts[i]);
    for (const std::string& p : Split(parts[i + 1], ';')) {
      if (!Trimmed(p).empty()) f.patterns.push_back(Trimmed(p));
    }
    if (!f.patterns.empty()) filters.push_back(std::move(f));
  }
  return filters;
}

StringValue FileDialog(double open, const StringValue& filter) {
  std::vector<FileFilter> filters = ParseFileFilter(filter.CStr());
  std::string before = platform::CurrentDirectoryPath();
  std::string chosen;
  int result = -1;
  if (!platform::GetAutomation().noDialogs) {
    result = RunDesktopChooser(open != 0, filters, before, chosen);
  }
  if (result < 0) result = RunWindowChooser(open != 0, filters, chosen) ? 1 : 0;
  if (!before.empty()) platform::ChangeDirectory(before);
  return result == 1 ? WithSlashes(chosen) : StringValue("NO_FILE");
}

}  // namespace quillon
