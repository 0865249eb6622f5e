// CPU time of PlayMovie, with pictures as Y, U, V planes turned into colour by a shader and as
// RGBA, against decoding the same clip with libavcodec alone, and the offset between picture and
// sound the player saw. Run under Xvfb:
//   SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null xvfb-run -a build/bench/media_measure
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/clip_helpers.h"
#include "runtime/media/media_internal.h"
#include "runtime/platform/clock.h"
#include "runtime/quillon.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

// Decodes every packet of the clip's streams and throws the frames away; frames decoded.
int DecodeToNothing(const std::string& path) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return -1;
  avformat_find_stream_info(format, nullptr);
  AVCodecContext* decoders[8] = {};
  for (unsigned i = 0; i < format->nb_streams && i < 8; ++i) {
    const AVCodec* codec = avcodec_find_decoder(format->streams[i]->codecpar->codec_id);
    decoders[i] = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoders[i], format->streams[i]->codecpar);
    avcodec_open2(decoders[i], codec, nullptr);
  }
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int pictures = 0;
  while (av_read_frame(format, packet) >= 0) {
    AVCodecContext* c = packet->stream_index < 8 ? decoders[packet->stream_index] : nullptr;
    if (c != nullptr && avcodec_send_packet(c, packet) >= 0) {
      while (avcodec_receive_frame(c, frame) == 0) pictures += c->codec_type == AVMEDIA_TYPE_VIDEO;
    }
    av_packet_unref(packet);
  }
  for (AVCodecContext*& c : decoders) avcodec_free_context(&c);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avformat_close_input(&format);
  return pictures;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quillon;
  const double seconds = 10;
  std::string clip = "/tmp/quillon-media-measure-" + std::to_string(getpid()) + ".mkv";
  testing::ClipSpec spec{.width = 640, .height = 480, .fps = 30, .frames = 300, .toneHz = 440};
  spec.moving = true;
  if (!testing::WriteClip(clip, spec)) return 1;

  double start = CpuSeconds();
  int decoded = DecodeToNothing(clip);
  double bare = (CpuSeconds() - start) / seconds;

  runtimeState.screenWidth = 640;
  runtimeState.screenHeight = 480;
  runtimeState.frameRate = 60;
  KeepCommandLine(argc, argv);
  if (StartRuntime("Media measure") == 0) return 1;
  double played[2] = {};
  MovieReport reports[2];
  const MoviePictures choices[2] = {MoviePictures::Planes, MoviePictures::Rgba};
  for (int i = 0; i < 2; ++i) {
    ChooseMoviePictures(choices[i]);
    start = CpuSeconds();
    PlayMovie(StringValue(clip.c_str()));
    played[i] = (CpuSeconds() - start) / seconds;
    reports[i] = LastMovieReport();
  }
  const MovieReport& r = reports[0];
  // The floor under any player here: presenting as many frames with nothing drawn in them.
  start = CpuSeconds();
  for (int i = 0; i < r.framesShown; ++i) {
    ShowScreen();
    platform::SleepMilliseconds(16);
  }
  double presenting = (CpuSeconds() - start) / seconds;
  std::printf("640x480 30 fps, %.0f s, %d pictures\n", seconds, decoded);
  std::printf("bare decode:  %.1f ms CPU per second of movie\n", bare * 1000);
  std::printf("presenting as many empty frames: %.1f ms CPU per second\n", presenting * 1000);
  for (int i = 0; i < 2; ++i) {
    const MovieReport& m = reports[i];
    const char* path = !m.drewPlanes ? "RGBA" : "planes";
    std::printf("PlayMovie, %s%s: %.1f ms CPU per second of movie (%.2fx)\n", path,
                i == 0 && !m.drewPlanes ? " (no shaders)" : "", played[i] * 1000, played[i] / bare);
    std::printf("  beyond presenting: %.1f ms (%.2fx the bare decode)\n",
                (played[i] - presenting) * 1000, (played[i] - presenting) / bare);
    std::printf("  shown %d, dropped %d, sound %s\n", m.framesShown, m.framesDropped,
                m.hadSound ? "yes" : "no");
    std::printf("  picture - sound offset at presentation: mean %.2f ms, worst %.2f ms\n",
                m.meanOffsetMs, m.worstOffsetMs);
  }
  std::remove(clip.c_str());
  EndProgram();
}
