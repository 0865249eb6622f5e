#include "runtime/core/runtime_state.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/media/media.h"
#include "runtime/media/media_internal.h"
#include "runtime/platform/audio.h"

namespace quillon {

void StopMusic() {
  MediaWindow* media = runtimeState.mediaWindow;
  if (media == nullptr) return;
  platform::FreeMusic(media->track);
  delete media;
  runtimeState.mediaWindow = nullptr;
}

void PlayMusic(const StringValue& file) {
  StopMusic();
  StringValue path;
  // The media resolver's extracted file lives until the next music or movie, whatever images
  // and sounds are loaded meanwhile.
  if (ResolveAssetFile(kMediaResolver, file.CStr(), path) == 0) return;
  platform::MusicTrack* track = platform::LoadMusic(path.CStr());
  if (track == nullptr) return;
  runtimeState.mediaWindow = new MediaWindow{track};
  platform::PlayMusicOnce(track);
}

// Only frames restart the music: a program that stops presenting them lets it end.
void KeepMusicLooping() {
  MediaWindow* media = runtimeState.mediaWindow;
  if (media == nullptr || platform::MusicPlaying()) return;
  platform::PlayMusicOnce(media->track);
}

void StopAllMedia() {
  StopMusic();
  platform::StopPcmStream();
}

}  // namespace quillon
