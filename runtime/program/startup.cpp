#include "runtime/program/startup.h"

#include <cstdio>
#include <string>

#include "runtime/core/clock.h"
#include "runtime/core/program_flow.h"
#include "runtime/core/runtime_errors.h"
#include "runtime/core/runtime_state.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/gfx2d/fonts.h"
#include "runtime/gfx2d/render_state.h"
#include "runtime/gfx2d/render_state_internal.h"
#include "runtime/gfx2d/surfaces.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/input/input_state.h"
#include "runtime/net/net_internal.h"
#include "runtime/platform/automation.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"
#include "runtime/platform/window.h"
#include "runtime/program/heartbeat.h"
#include "runtime/program/program_end.h"
#include "runtime/program/window.h"
#include "runtime/sound/sound_device.h"
#include "runtime/system/system_internal.h"
#include "runtime/values/random.h"

namespace quillon {

namespace {

// The program's directory: the path cut at its last separator, the separator removed.
std::string ProgramDirectory(const std::string& programPath) {
  size_t cut = programPath.find_last_of("/\\");
  return cut == std::string::npos ? programPath : programPath.substr(0, cut);
}

void ResetFrameTimes() {
  double now = NowMilliseconds();
  runtimeState.frameStart = now;
  runtimeState.previousFrameStart = now;
  runtimeState.startTime = now;
}

// Around a desktop file chooser: the display gives way, then returns to the mode it was in.
bool fullscreenBeforeDialog = false;
void SuspendForDialog() {
  fullscreenBeforeDialog = runtimeState.graphics->displayModeChanged == 1;
  SuspendDisplay(*runtimeState.graphics);
}
void RestoreAfterDialog() {
  if (fullscreenBeforeDialog) {
    EnterFullscreen(*runtimeState.graphics);
  } else {
    EnterWindowed(*runtimeState.graphics);
  }
}

}  // namespace

double StartRuntime(const char* title) {
  RuntimeState& rs = runtimeState;
  InstallTopLayerFlow();
  InstallDialogDisplay({SuspendForDialog, RestoreAfterDialog});
  platform::GetAutomation();  // read before the working directory changes
  // The log is cleared before the window exists, so the driver line it writes is kept.
  ResetErrorLog();
  rs.autoPause = 1;
  rs.graphics = new OpenGLRainbows();
  if (!CreateGameWindow(*rs.graphics, nullptr, rs.screenWidth, rs.screenHeight, 0, rs.frameRate,
                        rs.sampleCount)) {
    return 0;
  }
  rs.window = rs.graphics->window;
  platform::SetWindowCaption(rs.window, title);
  rs.projectTitle = title;

  rs.input = new InputState();
  CreateSoundTable();
  rs.network = CreateNetGame();
  CreateRenderer3D();
  SeedRandomAtStartup(NowMilliseconds());

  if (rs.fullscreen == 1) {
    EnterFullscreen(*rs.graphics);
  } else {
    EnterWindowed(*rs.graphics);
  }
  OpenInput(*rs.input, rs.window, rs.exclusiveMouse != 0);
  OpenSoundDevice(rs.window);
  rs.currentFont = 0;

  std::string programPath = platform::ProgramPath();
  platform::ChangeDirectory(ProgramDirectory(programPath));
  // The archive travels appended to the program file itself.
  CreateAssetResolvers(programPath);
  ClearBackground();

  ResetFrameTimes();
  PresentFrame(*rs.graphics);
  SetAlphaMode(0);
  Reset2DState(0, 0, 0, 0);

  double screenWidth = 0, screenHeight = 0;
  GetScreenSize(screenWidth, screenHeight);
  LoadFont(StringValue(""), 0);  // the built-in font, in case the file is missing
  LoadFont(StringValue("smalfont.bmp"), 0);
  double cellWidth = 0, cellHeight = 0;
  GetFontSize(cellWidth, cellHeight);
  PrintText(StringValue("Loading..."), (screenWidth - 10 * cellWidth) * 0.5,
            (screenHeight - cellHeight) * 0.5);
  ShowScreen();

  rs.paused = 0;
  // The window has no pointer image of its own: the pointer disappears over it until
  // ShowSystemPointer switches from the exclusive mouse back to the shared one.
  platform::ShowPointer(false);
  ResetFrameTimes();
  std::puts("Init OK");
  std::fflush(stdout);
  return 1;
}

void EndFailedStartup() {
  std::fprintf(stderr, "The game window could not be created: %s\n", platform::LastError());
  if (runtimeState.graphics != nullptr) {
    DestroyGameWindow(*runtimeState.graphics);
    delete runtimeState.graphics;
    runtimeState.graphics = nullptr;
  }
  platform::ExitProcess(2);
}

void KeepCommandLine(int argc, char** argv) {
  StringValue line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += " ";
    line += QuoteArgument(argv[i]).c_str();
  }
  runtimeState.commandLine = line;
}

}  // namespace quillon
