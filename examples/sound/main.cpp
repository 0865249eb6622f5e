// Sound effects: four generated sounds on the keys 1 to 4, panned where the mouse points.
// Each press plays the next free copy of its slot; the list shows which channels are playing.
#include <cmath>

#include "runtime/quillon.h"

using namespace quillon;

namespace {

// Writes a short 16-bit mono WAV with the file channel commands: a tone that fades out.
void WriteTone(const StringValue& file, double hz, double seconds) {
  const double rate = 22050;
  double frames = std::floor(rate * seconds);
  OpenFile(0, file, 0);
  WriteBytes(0, StringValue("RIFF"));
  WriteLong(0, 36 + frames * 2);
  WriteBytes(0, StringValue("WAVEfmt "));
  WriteLong(0, 16);
  WriteWord(0, 1);         // PCM
  WriteWord(0, 1);         // mono
  WriteLong(0, rate);
  WriteLong(0, rate * 2);  // bytes per second
  WriteWord(0, 2);         // block alignment
  WriteWord(0, 16);        // bits
  WriteBytes(0, StringValue("data"));
  WriteLong(0, frames * 2);
  for (double i = 0; i < frames; ++i) {
    double fade = 1 - i / frames;
    WriteWord(0, std::trunc(12000 * fade * SinDeg(360 * hz * i / rate)));
  }
  CloseFile(0);
}

[[noreturn]] void GameMain() {
  const double tones[4] = {262, 330, 392, 523};
  for (int i = 0; i < 4; ++i) {
    StringValue name = StringValue("tone") + i + ".wav";
    WriteTone(name, tones[i], 0.4);
    LoadSound(name, i, 3);  // three copies: a key held down overlaps itself
  }
  double width = 0, height = 0;
  GetScreenSize(width, height);
  double wasDown[4] = {0, 0, 0, 0};
  for (;;) {
    double x = 0, y = 0, left = 0, right = 0;
    MouseState(x, y, left, right);
    double pan = x / width * 2 - 1;
    for (int i = 0; i < 4; ++i) {
      double down = KeyDown(2 + i);
      if (down != 0 && wasDown[i] == 0) PlaySound(i, pan, 0.9);  // once per press
      wasDown[i] = down;
    }
    PrintText(StringValue("keys 1-4 play, the mouse pans: ") + pan, 10, 10);
    for (int i = 0; i < 4; ++i) {
      StringValue line = StringValue("slot ") + i + ":";
      for (int copy = 0; copy < 3; ++copy) {
        line += IsSoundPlaying(256 * i + copy) != 0 ? " playing" : " -";
      }
      PrintText(line, 10, 40 + 20 * i);
    }
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 480;
  runtimeState.screenHeight = 160;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Sound") == 0) EndFailedStartup();
  GameMain();
}
