// Music and movies: a generated tune loops while the program runs; M plays a generated movie
// fitted into the window, L plays it looped until a key. Any letter key or a click ends a movie.
#include <cmath>

#include "runtime/quillon.h"

using namespace quillon;

namespace {

constexpr double kRate = 22050;

// Writes a one-second tune of four notes as a 16-bit mono WAV with the file channel commands.
void WriteTune(const StringValue& file) {
  const double notes[4] = {262, 330, 392, 330};
  double frames = kRate;
  OpenFile(0, file, 0);
  WriteBytes(0, StringValue("RIFF"));
  WriteLong(0, 36 + frames * 2);
  WriteBytes(0, StringValue("WAVEfmt "));
  WriteLong(0, 16);
  WriteWord(0, 1);  // PCM
  WriteWord(0, 1);  // mono
  WriteLong(0, kRate);
  WriteLong(0, kRate * 2);
  WriteWord(0, 2);
  WriteWord(0, 16);
  WriteBytes(0, StringValue("data"));
  WriteLong(0, frames * 2);
  for (double i = 0; i < frames; ++i) {
    double note = notes[static_cast<int>(i * 4 / frames)];
    double fade = 1 - std::fmod(i * 4, frames) / frames;  // each note dies away
    WriteWord(0, std::trunc(9000 * fade * SinDeg(360 * note * i / kRate)));
  }
  CloseFile(0);
}

// Writes a 1.5 second movie of 160 x 120 pictures as uncompressed YUV frames: colour bars that
// slide to the right, in the plain stream format the movie decoder reads.
void WriteMovie(const StringValue& file) {
  const int width = 160, height = 120, frames = 45;
  const double bars[4][3] = {{235, 128, 128}, {170, 44, 142}, {106, 212, 58}, {41, 240, 110}};
  OpenFile(0, file, 0);
  WriteBytes(0, StringValue("YUV4MPEG2 W160 H120 F30:1 Ip A1:1 C420jpeg"));
  WriteByte(0, 10);
  for (int f = 0; f < frames; ++f) {
    WriteBytes(0, StringValue("FRAME"));
    WriteByte(0, 10);
    for (int plane = 0; plane < 3; ++plane) {
      int w = plane == 0 ? width : width / 2, h = plane == 0 ? height : height / 2;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          int bar = ((x * width / w + 2 * f) / 40) % 4;
          WriteByte(0, bars[bar][plane]);
        }
      }
    }
  }
  CloseFile(0);
}

[[noreturn]] void GameMain() {
  WriteTune(StringValue("tune.wav"));
  WriteMovie(StringValue("movie.y4m"));
  PlayMusic(StringValue("tune.wav"));
  double frame = 0;
  for (;;) {
    if (KeyDown(50) != 0) PlayMovie(StringValue("movie.y4m"));        // M
    if (KeyDown(38) != 0) PlayMovieLooped(StringValue("movie.y4m"));  // L
    PrintText(StringValue("the tune loops; M: movie, L: movie looped"), 10, 10);
    PrintText(StringValue("frame ") + frame, 10, 30);
    frame += 1;
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 400;
  runtimeState.screenHeight = 240;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Media") == 0) EndFailedStartup();
  GameMain();
}
