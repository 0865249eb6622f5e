// The eight numbered file channels of the language.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

constexpr int kFileChannelCount = 8;

// Commands. Channels are 0 to 7 (truncated); any other number ends the program with runtime
// error 7. A read past the end of the file, or a read or write on a channel with no file open,
// ends it with error 3, as does a write the file system refuses. Written bytes reach the file
// before the write returns, so FileSize, CopyFile and other channels see them at once.
//
// Opens the file on the channel (closing what it held) for reading (non-zero) or for writing
// (created or emptied); 1 when it opened, 0 when not (the channel is then empty).
// Example:
//   double best = 0;
//   if (OpenFile(0, "best.txt", 1) != 0) {
//     if (EndOfFile(0) == 0) best = ReadNumberLine(0);
//     CloseFile(0);
//   }
double OpenFile(double channel, const StringValue& name, double forReading);
// Closes the channel's file; an empty channel stays empty.
// Example:
//   OpenFile(1, "log.txt", 0);
//   WriteLine(1, "level 1 started");
//   CloseFile(1);
void CloseFile(double channel);
// 1 when nothing is left to read (also for an empty channel or a channel outside 0 to 7), else 0.
// Example:
//   StringValue line;
//   OpenFile(0, "level1.txt", 1);
//   while (EndOfFile(0) == 0) {
//     ReadLine(0, line);
//     PrintText(line, 8, 8);
//   }
//   CloseFile(0);
double EndOfFile(double channel);

// One unsigned byte, a 16-bit and a 32-bit little-endian unsigned number, an 8-byte double.
// Example:
//   OpenFile(0, "level1.map", 1);
//   double version = ReadByte(0), width = ReadWord(0), seed = ReadLong(0), gravity = ReadDouble(0);
//   CloseFile(0);
double ReadByte(double channel);
double ReadWord(double channel);
double ReadLong(double channel);
double ReadDouble(double channel);
// count bytes (truncated; 0 or less gives the empty text) into text.
// Example:
//   StringValue magic;
//   OpenFile(0, "level1.map", 1);
//   ReadBytes(0, magic, 4);
//   if (magic != "LVL1") ErrorLog("level1.map is not a level");
//   CloseFile(0);
void ReadBytes(double channel, StringValue& text, double count);
// The next line without its LF or CR LF, at most 1024 bytes (the rest stays for the next read).
// Example:
//   StringValue name;
//   OpenFile(0, "player.txt", 1);
//   ReadLine(0, name);
//   CloseFile(0);
void ReadLine(double channel, StringValue& text);
// The next line as a number (TextToNumber: its numeric start, else 0).
// Example:
//   OpenFile(0, "best.txt", 1);
//   double best = EndOfFile(0) != 0 ? 0 : ReadNumberLine(0);
//   CloseFile(0);
double ReadNumberLine(double channel);

// The low 8, 16 or 32 bits of the truncated value, little-endian; a double as its 8 bytes.
// Example:
//   OpenFile(0, "level1.map", 0);
//   WriteByte(0, 1);        // version
//   WriteWord(0, 40);       // width in tiles
//   WriteLong(0, 123456);   // seed
//   WriteDouble(0, 9.81);   // gravity
//   CloseFile(0);
void WriteByte(double channel, double value);
void WriteWord(double channel, double value);
void WriteLong(double channel, double value);
void WriteDouble(double channel, double value);
// The text's bytes as they are; WriteLine adds CR LF.
// Example:
//   OpenFile(0, "save.txt", 0);
//   WriteBytes(0, "LVL1");
//   WriteLine(0, "Player One");
//   CloseFile(0);
void WriteBytes(double channel, const StringValue& text);
void WriteLine(double channel, const StringValue& text);
// The number as NumberToText writes it, and CR LF.
// Example:
//   double best = 1250;
//   OpenFile(0, "best.txt", 0);
//   WriteNumberLine(0, best);
//   CloseFile(0);
void WriteNumberLine(double channel, double value);


}  // namespace quillon
