#include "game/gravduel.h"

#include "runtime/quillon.h"

// Until the duel lands: show paced frames until the player ends the program.
void GameMain() {
  using namespace quillon;
  for (;;) ShowScreen();
}
