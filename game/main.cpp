// Entry point of Gravduel: the start-up settings of this program, then the runtime, then the game.
#include "game/gravduel.h"
#include "runtime/quillon.h"

int main(int argc, char** argv) {
  using namespace quillon;
  RuntimeState& rs = runtimeState;
  rs.screenWidth = 640;
  rs.screenHeight = 480;
  rs.frameRate = 60;
  rs.fullscreen = 0;
  rs.sampleCount = 0;
  rs.debugMode = 0;
  rs.exclusiveMouse = 0;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Gravduel") == 0) EndFailedStartup();
  rs.errorLine = 0;
  rs.errorCode = 0;
  rs.currentLine = 0;
  GameMain();
}
