// Plumbing of music and movies: the heartbeat's loop check, the end sequence's stop, and the
// pieces of movie playback tests look at.
#pragma once

#include <cstdint>

namespace quillon {

namespace platform {
struct MusicTrack;
}

// The music loaded by PlayMusic; runtimeState.mediaWindow points at it while there is one.
struct MediaWindow {
  platform::MusicTrack* track = nullptr;
};

// Called once per frame by ShowScreen: music whose end has come starts again from its beginning.
void KeepMusicLooping();
// Program end: music and any movie sound stop, the music file is closed.
void StopAllMedia();

// Where a movie of sourceWidth x sourceHeight is drawn in a client area: scaled by
// k = min(ch / sh, cw / sw), truncated, centred. Empty (width 0) for a size of 0 or less.
struct MovieRectangle {
  int32_t x = 0, y = 0, width = 0, height = 0;
};
MovieRectangle FitMovie(int32_t sourceWidth, int32_t sourceHeight, int32_t clientWidth,
                        int32_t clientHeight);

// What the last movie did, for tests and measurements.
struct MovieReport {
  bool opened = false;
  bool hadSound = false;
  bool drewPlanes = false;  // pictures went up as Y, U, V planes turned into colour by a shader
  int32_t framesShown = 0;
  int32_t framesDropped = 0;
  int32_t loops = 0;         // times a looped movie started again
  double worstOffsetMs = 0;  // largest |picture time - sound time| at a frame's presentation
  double meanOffsetMs = 0;
  double medianOffsetMs = 0;
};
const MovieReport& LastMovieReport();
// How movies put pictures on screen. Automatic: Y, U, V planes and a shader where shaders run
// and the renderer is not a CPU rasteriser, RGBA otherwise. Planes falls back to RGBA without
// shaders. For tests and measurements.
enum class MoviePictures { Automatic, Planes, Rgba };
void ChooseMoviePictures(MoviePictures choice);

}  // namespace quillon
