extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

#include "runtime/platform/video.h"

namespace quillon::platform {

namespace {

constexpr int kRate = 44100;
// Decode errors in a row after which the file counts as ended: a corrupt stream must not spin.
constexpr int kErrorsBeforeEnd = 64;
// A gap in the sound is filled with silence up to this long; longer ones are not trusted.
constexpr double kLongestGap = 1.0;

struct Picture {
  AVFrame* frame = nullptr;
  double time = 0;
};

}  // namespace

struct VideoFile {
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  int videoIndex = -1;
  int audioIndex = -1;
  int width = 0, height = 0;
  double frameSeconds = 1.0 / 30;
  SwsContext* scaler = nullptr;
  SwsContext* planeScaler = nullptr;
  SwrContext* resampler = nullptr;
  // The sound format the resampler was made for; a stream may change it between frames.
  AVChannelLayout soundLayout{};
  int soundFormat = -1;
  int soundRate = 0;
  AVPacket* packet = nullptr;
  AVFrame* decoded = nullptr;
  std::deque<Picture> pictures;
  std::vector<AVFrame*> spareFrames;  // frames of pictures taken, emptied for the next ones
  // The scaler's outputs, allocated by the library: it writes past a row's last pixel, so rows
  // need its alignment and padding.
  AVFrame* rgba = nullptr;
  AVFrame* yuv = nullptr;
  AVFrame* held = nullptr;     // the picture whose planes were handed out last
  std::vector<int16_t> sound;  // pending interleaved frames from soundHead on
  size_t soundHead = 0;
  int64_t soundFrames = 0;  // frames decoded, all passes
  double passOffset = 0;    // seconds added to this pass's times
  double lastTime = -1;     // last picture time handed out
  double passEnd = 0;       // end of the latest picture so far
  int errors = 0;
  bool ended = false;
};

namespace {

double Seconds(int64_t ts, AVRational base) {
  return static_cast<double>(ts) * base.num / base.den;
}

AVCodecContext* OpenDecoder(AVStream* stream) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (codec == nullptr) return nullptr;
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (context == nullptr) return nullptr;
  if (avcodec_parameters_to_context(context, stream->codecpar) < 0 ||
      avcodec_open2(context, codec, nullptr) < 0) {
    avcodec_free_context(&context);
    return nullptr;
  }
  return context;
}

bool SizeUsable(int width, int height) {
  return width > 0 && height > 0 && width <= kMaxVideoSide && height <= kMaxVideoSide;
}

// A time from the file, made safe: increasing, no jump of more than a second.
double PictureTime(VideoFile& v, const AVFrame* frame) {
  AVStream* stream = v.format->streams[v.videoIndex];
  double next = v.lastTime < 0 ? v.passOffset : v.lastTime + v.frameSeconds;
  int64_t ts = frame->best_effort_timestamp;
  double t = next;
  if (ts != AV_NOPTS_VALUE) {
    int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    t = Seconds(ts - start, stream->time_base) + v.passOffset;
  }
  if (!std::isfinite(t) || t < v.lastTime + 1e-6 || t > next + 1.0 ||
      (v.lastTime < 0 && t > v.passOffset + 1.0)) {
    t = std::max(next, v.lastTime + 1e-6);
  }
  v.lastTime = t;
  v.passEnd = std::max(v.passEnd, t + v.frameSeconds);
  return t;
}

void AppendSilence(VideoFile& v, int64_t frames) {
  v.sound.insert(v.sound.end(), static_cast<size_t>(2 * frames), int16_t{0});
  v.soundFrames += frames;
}

// A resampler for the frame's format: the one made for the last frame, or a new one when the
// format changed (a resampler fed planes it was not made for reads past them).
bool ResamplerFor(VideoFile& v, const AVFrame* frame) {
  if (v.resampler != nullptr && frame->format == v.soundFormat &&
      frame->sample_rate == v.soundRate &&
      av_channel_layout_compare(&frame->ch_layout, &v.soundLayout) == 0) {
    return true;
  }
  swr_free(&v.resampler);
  av_channel_layout_uninit(&v.soundLayout);
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  if (av_channel_layout_copy(&v.soundLayout, &frame->ch_layout) < 0 ||
      swr_alloc_set_opts2(&v.resampler, &stereo, AV_SAMPLE_FMT_S16, kRate, &v.soundLayout,
                          static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                          nullptr) < 0 ||
      swr_init(v.resampler) < 0) {
    swr_free(&v.resampler);
    return false;
  }
  v.soundFormat = frame->format;
  v.soundRate = frame->sample_rate;
  return true;
}

void TakeSound(VideoFile& v, const AVFrame* frame) {
  if (!ResamplerFor(v, frame)) return;
  AVStream* stream = v.format->streams[v.audioIndex];
  if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
    int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    double at = Seconds(frame->best_effort_timestamp - start, stream->time_base) + v.passOffset;
    double gap = at - static_cast<double>(v.soundFrames) / kRate;
    if (gap > 0.02 && gap < kLongestGap) AppendSilence(v, static_cast<int64_t>(gap * kRate));
  }
  int room = swr_get_out_samples(v.resampler, frame->nb_samples);
  if (room <= 0) return;
  size_t at = v.sound.size();
  v.sound.resize(at + 2 * static_cast<size_t>(room));
  uint8_t* out[1] = {reinterpret_cast<uint8_t*>(v.sound.data() + at)};
  int made = swr_convert(v.resampler, out, room, const_cast<const uint8_t**>(frame->extended_data),
                         frame->nb_samples);
  made = std::max(made, 0);
  v.sound.resize(at + 2 * static_cast<size_t>(made));
  v.soundFrames += made;
}

// Pictures come and go every frame: their frame records are kept for the next ones.
AVFrame* SpareFrame(VideoFile& v) {
  if (v.spareFrames.empty()) return av_frame_alloc();
  AVFrame* frame = v.spareFrames.back();
  v.spareFrames.pop_back();
  return frame;
}

void FreeFrame(VideoFile& v, AVFrame*& frame) {
  if (frame == nullptr) return;
  av_frame_unref(frame);
  v.spareFrames.push_back(frame);
  frame = nullptr;
}

// Takes every frame the decoder has ready.
void Receive(VideoFile& v, AVCodecContext* decoder) {
  while (avcodec_receive_frame(decoder, v.decoded) == 0) {
    if (decoder == v.video) {
      Picture picture{SpareFrame(v), 0};
      if (picture.frame == nullptr) {
        av_frame_unref(v.decoded);
        continue;
      }
      picture.time = PictureTime(v, v.decoded);
      av_frame_move_ref(picture.frame, v.decoded);
      v.pictures.push_back(picture);
    } else {
      TakeSound(v, v.decoded);
      av_frame_unref(v.decoded);
    }
  }
}

void Drain(VideoFile& v) {
  for (AVCodecContext* decoder : {v.video, v.audio}) {
    if (decoder == nullptr) continue;
    avcodec_send_packet(decoder, nullptr);
    Receive(v, decoder);
  }
  v.ended = true;
}

void FreePicture(VideoFile& v, Picture& picture) { FreeFrame(v, picture.frame); }

// A frame of the movie's size in this format, made once; null when out of memory.
AVFrame* ScalerOutput(const VideoFile& v, AVFrame*& frame, AVPixelFormat format) {
  if (frame != nullptr && frame->format == format) return frame;
  av_frame_free(&frame);
  frame = av_frame_alloc();
  if (frame == nullptr) return nullptr;
  frame->format = format;
  frame->width = v.width;
  frame->height = v.height;
  if (av_frame_get_buffer(frame, 0) < 0) av_frame_free(&frame);
  return frame;
}

// Planes the decoder made can go up as they are: 4:2:0, the movie's size, rows top first.
// Levels 0-255: the JPEG formats, or a frame that says so.
bool FullRange(const AVFrame* f) {
  switch (f->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P: return true;
    default: return f->color_range == AVCOL_RANGE_JPEG;
  }
}

bool PlanesAsDecoded(const VideoFile& v, const AVFrame* f) {
  return (f->format == AV_PIX_FMT_YUV420P || f->format == AV_PIX_FMT_YUVJ420P) &&
         f->width == v.width && f->height == v.height && f->linesize[0] > 0 && f->linesize[1] > 0 &&
         f->linesize[2] > 0;
}

bool ConvertToPlanes(VideoFile& v, const AVFrame* f, PicturePlanes& planes) {
  if (!SizeUsable(f->width, f->height)) return false;
  // The levels stay as they were: a full-range picture goes to the full-range 4:2:0 format.
  const bool full = FullRange(f);
  v.planeScaler = sws_getCachedContext(
      v.planeScaler, f->width, f->height, static_cast<AVPixelFormat>(f->format), v.width, v.height,
      full ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
  AVFrame* out = ScalerOutput(v, v.yuv, full ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P);
  if (v.planeScaler == nullptr || out == nullptr ||
      sws_scale(v.planeScaler, f->data, f->linesize, 0, f->height, out->data, out->linesize) <= 0) {
    return false;
  }
  for (int i = 0; i < 3; ++i) {
    planes.plane[i] = out->data[i];
    planes.stride[i] = out->linesize[i];
  }
  planes.fullRange = full;
  return true;
}

}  // namespace

VideoFile* OpenVideo(const char* path) {
  if (path == nullptr) return nullptr;
  auto* v = new VideoFile();
  if (avformat_open_input(&v->format, path, nullptr, nullptr) < 0) {
    delete v;
    return nullptr;
  }
  bool ok = avformat_find_stream_info(v->format, nullptr) >= 0;
  v->videoIndex = ok ? av_find_best_stream(v->format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0) : -1;
  if (v->videoIndex >= 0) {
    AVStream* stream = v->format->streams[v->videoIndex];
    // The size comes from the file: refused before anything is sized by it.
    if (SizeUsable(stream->codecpar->width, stream->codecpar->height)) {
      v->video = OpenDecoder(stream);
    }
    AVRational rate = av_guess_frame_rate(v->format, stream, nullptr);
    if (rate.num > 0 && rate.den > 0) {
      v->frameSeconds = std::clamp(static_cast<double>(rate.den) / rate.num, 1.0 / 240, 1.0);
    }
  }
  if (v->video == nullptr || !SizeUsable(v->video->width, v->video->height)) {
    CloseVideo(v);
    return nullptr;
  }
  v->width = v->video->width;
  v->height = v->video->height;
  v->audioIndex = av_find_best_stream(v->format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (v->audioIndex >= 0) v->audio = OpenDecoder(v->format->streams[v->audioIndex]);
  if (v->audio == nullptr) v->audioIndex = -1;  // played silent
  v->packet = av_packet_alloc();
  v->decoded = av_frame_alloc();
  if (v->packet == nullptr || v->decoded == nullptr) {
    CloseVideo(v);
    return nullptr;
  }
  return v;
}

void CloseVideo(VideoFile* v) {
  if (v == nullptr) return;
  for (Picture& picture : v->pictures) av_frame_free(&picture.frame);
  for (AVFrame*& frame : v->spareFrames) av_frame_free(&frame);
  av_frame_free(&v->held);
  av_frame_free(&v->rgba);
  av_frame_free(&v->yuv);
  sws_freeContext(v->scaler);
  sws_freeContext(v->planeScaler);
  swr_free(&v->resampler);
  av_channel_layout_uninit(&v->soundLayout);
  av_packet_free(&v->packet);
  av_frame_free(&v->decoded);
  avcodec_free_context(&v->video);
  avcodec_free_context(&v->audio);
  avformat_close_input(&v->format);
  delete v;
}

int VideoWidth(const VideoFile* v) { return v ? v->width : 0; }
int VideoHeight(const VideoFile* v) { return v ? v->height : 0; }
bool VideoHasSound(const VideoFile* v) { return v != nullptr && v->audio != nullptr; }
double VideoFrameSeconds(const VideoFile* v) { return v ? v->frameSeconds : 1.0 / 30; }

bool ReadVideoPacket(VideoFile* v) {
  if (v == nullptr || v->ended) return false;
  int read = av_read_frame(v->format, v->packet);
  if (read < 0) {
    Drain(*v);
    return false;
  }
  AVCodecContext* decoder = nullptr;
  if (v->packet->stream_index == v->videoIndex) decoder = v->video;
  if (v->packet->stream_index == v->audioIndex) decoder = v->audio;
  if (decoder != nullptr) {
    int sent = avcodec_send_packet(decoder, v->packet);
    if (sent == AVERROR(EAGAIN)) {
      Receive(*v, decoder);
      sent = avcodec_send_packet(decoder, v->packet);
    }
    v->errors = sent < 0 ? v->errors + 1 : 0;
    Receive(*v, decoder);
  }
  av_packet_unref(v->packet);
  if (v->errors >= kErrorsBeforeEnd) {
    Drain(*v);
    return false;
  }
  return true;
}

int QueuedPictures(const VideoFile* v) { return v ? static_cast<int>(v->pictures.size()) : 0; }

double FrontPictureTime(const VideoFile* v) {
  return v == nullptr || v->pictures.empty() ? 0 : v->pictures.front().time;
}

const uint8_t* TakeFrontPicture(VideoFile* v, int& rowPixels) {
  if (v == nullptr || v->pictures.empty()) return nullptr;
  Picture picture = v->pictures.front();
  v->pictures.pop_front();
  const AVFrame* f = picture.frame;
  const uint8_t* result = nullptr;
  if (SizeUsable(f->width, f->height)) {
    v->scaler = sws_getCachedContext(v->scaler, f->width, f->height,
                                     static_cast<AVPixelFormat>(f->format), v->width, v->height,
                                     AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    AVFrame* out = ScalerOutput(*v, v->rgba, AV_PIX_FMT_RGBA);
    if (v->scaler != nullptr && out != nullptr &&
        sws_scale(v->scaler, f->data, f->linesize, 0, f->height, out->data, out->linesize) > 0) {
      result = out->data[0];
      rowPixels = out->linesize[0] / 4;
    }
  }
  FreePicture(*v, picture);
  return result;
}

bool TakeFrontPlanes(VideoFile* v, PicturePlanes& planes) {
  if (v == nullptr || v->pictures.empty()) return false;
  FreeFrame(*v, v->held);
  v->held = v->pictures.front().frame;
  v->pictures.pop_front();
  const AVFrame* f = v->held;
  if (!PlanesAsDecoded(*v, f)) return ConvertToPlanes(*v, f, planes);
  for (int i = 0; i < 3; ++i) {
    planes.plane[i] = f->data[i];
    planes.stride[i] = f->linesize[i];
  }
  planes.fullRange = FullRange(f);
  return true;
}

void DropFrontPicture(VideoFile* v) {
  if (v == nullptr || v->pictures.empty()) return;
  FreePicture(*v, v->pictures.front());
  v->pictures.pop_front();
}

int PendingSoundFrames(const VideoFile* v) {
  return v ? static_cast<int>((v->sound.size() - v->soundHead) / 2) : 0;
}

const int16_t* PendingSound(const VideoFile* v) {
  return v ? v->sound.data() + v->soundHead : nullptr;
}

void ConsumeSound(VideoFile* v, int frames) {
  if (v == nullptr || frames <= 0) return;
  v->soundHead = std::min(v->sound.size(), v->soundHead + 2 * static_cast<size_t>(frames));
  // Compact once the consumed part dominates, so the buffer stays about as long as the backlog.
  if (v->soundHead > 65536 && v->soundHead * 2 > v->sound.size()) {
    v->sound.erase(v->sound.begin(), v->sound.begin() + static_cast<ptrdiff_t>(v->soundHead));
    v->soundHead = 0;
  }
}

double DecodedSoundSeconds(const VideoFile* v) {
  return v ? static_cast<double>(v->soundFrames) / kRate : 0;
}

bool RewindVideo(VideoFile* v) {
  if (v == nullptr) return false;
  if (av_seek_frame(v->format, v->videoIndex, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
      avformat_seek_file(v->format, -1, INT64_MIN, 0, INT64_MAX, 0) < 0) {
    return false;
  }
  avcodec_flush_buffers(v->video);
  if (v->audio != nullptr) avcodec_flush_buffers(v->audio);
  // The next pass starts where this one's pictures and sound both ended; the shorter of the two
  // is padded up to there with silence or the last picture.
  v->passOffset = std::max({v->passEnd, v->lastTime + v->frameSeconds,
                            static_cast<double>(v->soundFrames) / kRate});
  if (v->audio != nullptr) {
    double gap = v->passOffset - static_cast<double>(v->soundFrames) / kRate;
    if (gap > 0 && gap < kLongestGap) AppendSilence(*v, static_cast<int64_t>(gap * kRate));
  }
  v->errors = 0;
  v->ended = false;
  return true;
}

}  // namespace quillon::platform
