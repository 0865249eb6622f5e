// Files: numbers and text through a file channel and back, a run counter and a colour setting
// kept in an INI file across runs, and a high-score table kept as line records.
#include "runtime/quillon.h"

using namespace quillon;

namespace {

StringValue channelLines[8];  // what channel 0 read back
StringValue table[5];         // the high scores, best first: "  734  run 3"

// Writes a few values in binary and some text lines, then reads them back in the same order.
void WriteAndReadBack() {
  OpenFile(0, "files-demo.dat", 0);  // channel 0, for writing: creates or empties the file
  WriteByte(0, 200);                 // 1 byte, 0 to 255
  WriteWord(0, 54321);               // 2 bytes, 0 to 65535
  WriteLong(0, 123456789);           // 4 bytes
  WriteDouble(0, 3.14159);           // 8 bytes, any number
  WriteNumberLine(0, 42.5);          // a number as a text line
  WriteLine(0, "apples");
  WriteLine(0, "bread");
  CloseFile(0);

  OpenFile(0, "files-demo.dat", 1);  // 1: for reading
  channelLines[0] = StringValue("ReadByte ") + ReadByte(0);
  channelLines[1] = StringValue("ReadWord ") + ReadWord(0);
  channelLines[2] = StringValue("ReadLong ") + ReadLong(0);
  channelLines[3] = StringValue("ReadDouble ") + ReadDouble(0);
  channelLines[4] = StringValue("ReadNumberLine ") + ReadNumberLine(0);
  for (int i = 5; EndOfFile(0) == 0; ++i) {  // the text lines, however many there are
    StringValue line;
    ReadLine(0, line);
    channelLines[i] = StringValue("ReadLine ") + line;
  }
  CloseFile(0);
  channelLines[7] = StringValue("FileSize ") + FileSize("files-demo.dat") + " bytes";
}

// Record n of the file is its line n. A missing file or empty line reads as "NO_FILE"/"NO_DATA".
void LoadTable() {
  for (int i = 0; i < 5; ++i) {
    ReadRecordText("files-demo-scores.txt", i, table[i]);
    if (table[i] == "NO_FILE" || table[i] == "NO_DATA") table[i] = "";
  }
}

// Puts the score in its place, moving the lower ones down; returns the place or -1.
int EnterScore(double score, double run) {
  for (int place = 0; place < 5; ++place) {
    if (score <= table[place].ToNumber()) continue;  // the number the line starts with
    for (int i = 4; i > place; --i) table[i] = table[i - 1];
    table[place] = FormatNumber(5, 0, score) + "  run " + run;
    for (int i = 0; i < 5; ++i) WriteRecordText("files-demo-scores.txt", i, table[i]);
    return place;  // the file is written back at the end of the program
  }
  return -1;
}

[[noreturn]] void GameMain() {
  WriteAndReadBack();
  LoadTable();

  OpenIni("files-demo.ini");  // a missing file is an empty document, created when saved
  StringValue text = ReadIni("stats", "runs");
  double runs = text == "NO_DATA" ? 1 : text.ToNumber() + 1;
  WriteIni("stats", "runs", StringValue(runs));              // saved when the program ends
  double colour = ReadIni("settings", "colour").ToNumber();  // "NO_DATA" reads as 0
  if (!(colour >= 0 && colour <= 3)) colour = 0;  // the file may have been edited by hand
  const double colours[4] = {0x804000, 0x206020, 0x202080, 0x604060};

  StringValue message = "space: stop the counter";
  double cWasDown = 0, spaceWasDown = 0;
  for (;;) {
    double cDown = KeyDown(46), spaceDown = KeyDown(57);          // scan codes of C and space
    double counter = IntegerModulo(ElapsedMilliseconds(), 1000);  // 0 to 999 every second
    if (cDown != 0 && cWasDown == 0) {
      colour = IntegerModulo(colour + 1, 4);
      WriteIni("settings", "colour", StringValue(colour));
    }
    if (spaceDown != 0 && spaceWasDown == 0) {
      int place = EnterScore(counter, runs);  // the score: where the counter stopped
      message = StringValue("stopped at ") + counter;
      message += place < 0 ? StringValue(", too low") : StringValue(", place ") + (place + 1);
    }
    cWasDown = cDown;
    spaceWasDown = spaceDown;

    const double x[3] = {10, 220, 430};
    const char* titles[3] = {"file channel 0", "INI settings", "line records"};
    for (int i = 0; i < 3; ++i) {
      FillRect(x[i], 10, x[i] + 199, 34, colours[(int)colour]);
      PrintText(titles[i], x[i] + 8, 18);
    }
    for (int i = 0; i < 8; ++i) PrintText(channelLines[i], 18, 50 + 20 * i);
    PrintText(StringValue("runs: ") + runs, 228, 50);
    PrintText(StringValue("colour: ") + colour, 228, 70);
    PrintText("C: next colour", 228, 110);
    PrintText("(both kept in", 228, 150);
    PrintText(" files-demo.ini)", 228, 170);
    PrintText("high scores", 438, 50);
    for (int i = 0; i < 5; ++i) PrintText(StringValue(i + 1) + "." + table[i], 438, 70 + 20 * i);
    PrintText(StringValue("counter ") + counter, 438, 180);
    PrintText(message, 438, 200);
    ShowScreen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 240;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Files") == 0) EndFailedStartup();
  GameMain();
}
