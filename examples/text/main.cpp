// Text: the built-in font and a digits font painted at start, saved as a BMP and loaded with
// LoadFont; PrintText, PrintNumber and GetFontSize to centre, right-align and wrap text.
#include <cmath>

#include "runtime/quillon.h"

using namespace quillon;

namespace {

const double kBuiltin = 0, kDigits = 1;  // font numbers
const double kCellW = 24, kCellH = 40;   // the digits font's character cells

// The bars of a seven-segment glyph (a-g) and three dots (u, l, p): left, top, right, bottom
// inside a cell.
const char kBars[] = "abcdefgulp";
const double kBarRects[10][4] = {
    {5, 3, 18, 6}, {18, 6, 21, 18}, {18, 21, 21, 33}, {5, 33, 18, 36},  {2, 21, 5, 33},
    {2, 6, 5, 18}, {5, 18, 18, 21}, {10, 11, 13, 14}, {10, 26, 13, 29}, {10, 33, 13, 36}};

// A font image is 16 columns of cells, character code c in column c % 16 of row c / 16 (8 rows
// for codes 0-127 when the image is wider than tall). Black pixels of a font are transparent.
void PaintGlyph(char code, const char* segments) {
  double x = kCellW * (code % 16), y = kCellH * (code / 16);
  for (int i = 0; i < 10; ++i) {
    const double* r = kBarRects[i];
    if (FindText(segments, CharFromCode(kBars[i])) < 0) continue;  // -1: not in the list
    FillRect(x + r[0], y + r[1], x + r[2], y + r[3], 0x30E0FF);    // amber: red + 256 * green
  }
}

void MakeDigitsFont() {
  const char* digits[10] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                            "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};
  FillRect(0, 0, 16 * kCellW - 1, 8 * kCellH - 1, 0);
  for (int i = 0; i < 10; ++i) PaintGlyph('0' + i, digits[i]);
  PaintGlyph('-', "g");
  PaintGlyph('.', "p");
  PaintGlyph(':', "ul");
  GrabSprite(0, 0, 0, 16 * kCellW, 8 * kCellH);
  SaveSprite(0, "digits.bmp");
  LoadFont("digits.bmp", kDigits);  // also makes it the current font
  FillRect(0, 0, 16 * kCellW - 1, 8 * kCellH - 1, 0);
}

// Layout needs the current font's cell size: every character is one cell wide.
void PrintCentred(const StringValue& text, double y) {
  double w = 0, h = 0, screenW = 0, screenH = 0;
  GetFontSize(w, h);
  GetScreenSize(screenW, screenH);
  PrintText(text, (screenW - TextLength(text) * w) / 2, y);
}

void PrintNumberRight(double value, double right, double y) {
  double w = 0, h = 0;
  GetFontSize(w, h);
  PrintNumber(value, right - NumberTextLength(value) * w, y);
}

// Prints the words in lines of at most width pixels; returns the y below the last line.
double PrintWrapped(const StringValue& text, double x, double y, double width) {
  double w = 0, h = 0;
  GetFontSize(w, h);
  DimArray<StringValue> words;
  double count = SplitText(text, words, " ");
  StringValue line;
  for (int i = 0; i < count; ++i) {
    StringValue longer = TextLength(line) == 0 ? words.At(i) : line + " " + words.At(i);
    if (TextLength(longer) * w > width && TextLength(line) > 0) {
      PrintText(line, x, y);
      y += h + 2;
      longer = words.At(i);
    }
    line = longer;
  }
  PrintText(line, x, y);
  return y + h + 2;
}

[[noreturn]] void GameMain() {
  MakeDigitsFont();
  double score = 0, spaceWasDown = 0;
  for (double frame = 0;; ++frame) {
    double spaceDown = KeyDown(57);  // scan code 57: space
    if (spaceDown != 0 && spaceWasDown == 0) score += 125;
    spaceWasDown = spaceDown;

    SetFont(kBuiltin);
    double w = 0, h = 0;
    GetFontSize(w, h);
    PrintCentred(StringValue("The built-in font has cells of ") + w + " x " + h + " pixels:", 16);
    StringValue all;
    for (int code = 32; code < 128; ++code) all += CharFromCode(code);
    for (int row = 0; row < 3; ++row) PrintCentred(MidText(all, 32 * row, 32), 36 + 12 * row);
    PrintText("time (PrintText)", 40, 110);
    PrintText("score (PrintNumber), space adds 125", 300, 110);
    PrintText("PrintNumber(-12.75)", 40, 190);
    double bottom = PrintWrapped(
        "GetFontSize gives the cell size of the current font, so a program can centre a title, "
        "right-align numbers and wrap a long text like this one into a box 300 pixels wide.",
        170, 290, 300);
    DrawLine(160, 280, 480, 280, 0x808080);
    DrawLine(160, bottom + 4, 480, bottom + 4, 0x808080);

    SetFont(kDigits);
    double seconds = IntegerModulo(frame / 60, 60), minutes = std::trunc(frame / 3600);
    PrintText(StringValue(minutes) + (seconds < 10 ? ":0" : ":") + seconds, 40, 130);
    PrintNumberRight(score, 600, 130);
    PrintNumber(-12.75, 40, 210);
    PrintCentred("0123456789", 400);
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Text") == 0) EndFailedStartup();
  GameMain();
}
