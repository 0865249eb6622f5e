// Switches for tests, demos and headless runs, read once from the environment. Unset, the
// runtime behaves as it does for a player.
#pragma once

#include <string>

namespace quillon::platform {

struct Automation {
  long frames = 0;               // QUILLON_FRAMES: end after this many ShowScreen calls (0 = never)
  std::string screenshot;        // QUILLON_SCREENSHOT: PNG of the last presented frame at the end
  long screenshotEvery = 0;      // QUILLON_SCREENSHOT_EVERY: also every k-th frame as path-NNNNN.png
  std::string frameLog;          // QUILLON_FRAME_LOG: one line per presented frame
  bool noDialogs = false;        // QUILLON_NO_DIALOGS=1: message boxes go to standard error
  bool noPause = false;          // QUILLON_NO_PAUSE=1: losing the focus does not pause the game
  std::string inputScript;       // QUILLON_INPUT: scripted keyboard and mouse
  bool spinPacing = false;        // QUILLON_PACING=spin: the frame wait spins instead of blocking
  bool unpaced = false;          // QUILLON_UNPACED=1: frames follow each other without a wait
  std::string record;            // QUILLON_RECORD: the run's input written as an input script
  bool hasSeed = false;          // QUILLON_SEED
  unsigned long seed = 0;
};

const Automation& GetAutomation();
// Reads the environment again (tests change it between cases).
void ReloadAutomation();

}  // namespace quillon::platform
