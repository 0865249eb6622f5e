// Sprites: pictures drawn at start, saved as BMP files and loaded back, then drawn plain,
// rotated, zoomed and in the three alpha modes; the arrow follows the mouse and lights up a gem.
#include "runtime/quillon.h"

using namespace quillon;

namespace {

const double kKey = 0x8000FF;  // the colour key: pixels of this colour load as transparent
const double kArrow = 1, kGem = 2, kRedGem = 3;  // sprite slots

// A 64 x 64 arrow pointing right. Polygons are filled counter-clockwise; each vertex has a colour.
void PaintArrow() {
  FillRect(0, 0, 63, 63, kKey);
  FillRect(6, 26, 40, 37, 0x2080FF);  // the shaft, orange (colours are red + 256 * green + ...)
  BeginPolygon(-1);                   // -1: no texture, just the vertex colours
  AddPolygonVertex(36, 8, 0, 0, 0x2080FF);
  AddPolygonVertex(36, 56, 0, 0, 0x2080FF);
  AddPolygonVertex(62, 32, 0, 0, 0x40FFFF);  // a yellow tip
  EndPolygon();
}

// A 64 x 64 diamond, light in the middle: a gem.
void PaintGem(double edge, double centre) {
  FillRect(0, 0, 63, 63, kKey);
  BeginPolygon(-1);
  AddPolygonVertex(32, 32, 0, 0, centre);  // a fan around the centre
  AddPolygonVertex(32, 0, 0, 0, edge);
  AddPolygonVertex(0, 32, 0, 0, edge);
  AddPolygonVertex(32, 63, 0, 0, edge);
  AddPolygonVertex(63, 32, 0, 0, edge);
  AddPolygonVertex(32, 0, 0, 0, edge);
  EndPolygon();
}

// Copies the top-left 64 x 64 pixels of the screen into a slot and saves them as a file; loading
// that file into the slot again is what a game does with its own pictures.
void MakeSprite(double slot, const StringValue& file) {
  GrabSprite(slot, 0, 0, 64, 64);
  SaveSprite(slot, file);
  LoadSprite(file, slot);
}

// A labelled row of coloured stripes, so the alpha modes show what lies under the sprites.
void DrawStripes(double y) {
  const double colours[4] = {0x0000C0, 0x00A000, 0xC00000, 0xFFFFFF};
  for (int i = 0; i < 4; ++i) FillRect(20, y + 18 * i, 619, y + 18 * i + 17, colours[i]);
}

[[noreturn]] void GameMain() {
  PaintArrow();
  MakeSprite(kArrow, "arrow.bmp");
  PaintGem(0x00A000, 0xA0FFA0);
  MakeSprite(kGem, "gem.bmp");
  PaintGem(0x0000C0, 0xC0C0FF);
  MakeSprite(kRedGem, "red-gem.bmp");
  FillRect(0, 0, 63, 63, 0);  // black again where the pictures were painted

  for (double frame = 0;; ++frame) {
    double angle = frame * 4;                   // degrees, clockwise on the screen
    double zoom = 1 + 0.5 * SinDeg(frame * 6);  // 0.5 to 1.5 times the size

    PrintText("loaded", 30, 20);
    DrawSprite(kArrow, 30, 40);  // top-left corner at (30, 40)
    PrintText("rotated", 150, 20);
    DrawSpriteRotated(kArrow, 150, 40, angle);  // turns about its centre
    PrintText("zoomed", 270, 20);
    DrawSpriteZoomed(kArrow, 270, 40, zoom, zoom);
    PrintText("both", 390, 20);
    DrawSpriteRotoZoom(kArrow, 390, 40, -angle, zoom);
    PrintText("stretched", 500, 20);
    DrawSpriteStretched(kArrow, 500, 56, 120, 32);

    // Alpha modes: 0 opaque, below 0 blended (-0.5: half see-through), above 0 added light.
    DrawStripes(150);
    const double modes[3] = {0, -0.5, 1};
    for (int i = 0; i < 3; ++i) {
      PrintText(StringValue("SetAlphaMode ") + modes[i], 40 + 200 * i, 130);
      SetAlphaMode(modes[i]);
      DrawSprite(kGem, 70 + 200 * i, 154);
      SetAlphaMode(0);  // text and everything after drawn opaque again
    }

    // Collision: pixel-exact, on the solid pixels of both pictures at their top-left corners.
    double mouseX = 0, mouseY = 0, left = 0, right = 0;
    MouseState(mouseX, mouseY, left, right);
    double arrowX = mouseX - 32, arrowY = mouseY - 32;  // the arrow's centre on the pointer
    const double gemX = 288, gemY = 340;
    double touching = SpriteCollision(kArrow, arrowX, arrowY, kGem, gemX, gemY);
    DrawSprite(touching != 0 ? kRedGem : kGem, gemX, gemY);
    DrawSprite(kArrow, arrowX, arrowY);
    PrintText(touching != 0 ? "SpriteCollision: 1, touching!" : "SpriteCollision: 0", 20, 300);
    PrintText("move the mouse to touch the gem", 20, 450);
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Sprites") == 0) EndFailedStartup();
  GameMain();
}
