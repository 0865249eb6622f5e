// Music that loops while the program presents frames, and movies played fitted into the window.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// Commands. Files are found on disk or in the program's archive. A file that is missing or
// cannot be decoded, or a closed sound device, is no error: nothing plays.
//
// Stops the current music and starts this file (MIDI, OGG, MP3, FLAC, WAV, tracker modules) from
// its beginning; ShowScreen restarts it at its end. The same file again restarts it.
// Example:
//   PlayMusic("theme.ogg");  // loops while the game shows frames
void PlayMusic(const StringValue& music);
// Stops the music and closes its file.
// Example:
//   StopMusic();
//   PlaySound(3, 0, 1);  // the game-over jingle alone
void StopMusic();
// Plays a movie once, scaled to fit the window and centred, with its sound; returns when it ends,
// a character key or a mouse button is pressed, or at once when it cannot be played. The key that
// started it does not end it. The game's next frame redraws the screen.
// Example:
//   PlayMovie("intro.mkv");  // any character key or a click skips it
void PlayMovie(const StringValue& movie);
// As PlayMovie, over and over until a character key or a mouse button is pressed.
// Example:
//   PlayMovieLooped("attract.mkv");  // the title screen's demo until a key
void PlayMovieLooped(const StringValue& movie);

}  // namespace quillon
