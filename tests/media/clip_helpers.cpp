#include "media/clip_helpers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <string>
#include <cmath>
#include <vector>

namespace quillon::testing {

namespace {

struct Output {
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVCodecContext* mono = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* audioStream = nullptr;
  ~Output() {
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    avcodec_free_context(&mono);
    if (format != nullptr) {
      if (format->pb != nullptr) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }
};

AVCodecContext* OpenEncoder(Output& out, AVCodecID id, AVStream*& stream,
                            const std::function<void(AVCodecContext*)>& setup) {
  const AVCodec* codec = avcodec_find_encoder(id);
  if (codec == nullptr) return nullptr;
  AVCodecContext* c = avcodec_alloc_context3(codec);
  setup(c);
  if (out.format->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  stream = avformat_new_stream(out.format, nullptr);
  if (avcodec_open2(c, codec, nullptr) < 0 ||
      avcodec_parameters_from_context(stream->codecpar, c) < 0) {
    avcodec_free_context(&c);
    return nullptr;
  }
  stream->time_base = c->time_base;
  return c;
}

bool Send(Output& out, AVCodecContext* c, AVStream* stream, AVFrame* frame) {
  if (avcodec_send_frame(c, frame) < 0) return false;
  AVPacket* packet = av_packet_alloc();
  while (avcodec_receive_packet(c, packet) == 0) {
    av_packet_rescale_ts(packet, c->time_base, stream->time_base);
    packet->stream_index = stream->index;
    av_interleaved_write_frame(out.format, packet);
  }
  av_packet_free(&packet);
  return true;
}

// The colour's R, G, B, or its BT.601 Y, U, V at limited (16-235, 16-240) or full levels.
std::array<uint8_t, 3> Channels(uint32_t rgb, AVPixelFormat format) {
  double r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
  if (format == AV_PIX_FMT_RGB24) return {uint8_t(r), uint8_t(g), uint8_t(b)};
  auto clamp = [](double v) {
    return static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, v))));
  };
  double y = 0.299 * r + 0.587 * g + 0.114 * b;
  double u = (b - y) / 1.772, v = (r - y) / 1.402;
  if (format == AV_PIX_FMT_YUV420P)
    return {clamp(16 + y * 219 / 255), clamp(128 + u * 224 / 255), clamp(128 + v * 224 / 255)};
  return {clamp(y), clamp(128 + u), clamp(128 + v)};
}

// Vertical bars of the colours, left to right, over the whole picture.
void Paint(AVFrame* f, const std::vector<uint32_t>& colours) {
  const auto format = static_cast<AVPixelFormat>(f->format);
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  av_frame_make_writable(f);
  auto colourAt = [&](int x) { return colours[x * colours.size() / f->width]; };
  for (int row = 0; row < f->height; ++row) {
    for (int x = 0; x < f->width; ++x) {
      auto c = Channels(colourAt(x), format);
      if (format == AV_PIX_FMT_RGB24) {
        std::copy(c.begin(), c.end(), f->data[0] + row * f->linesize[0] + 3 * x);
        continue;
      }
      f->data[0][row * f->linesize[0] + x] = c[0];
      if (row % (1 << d->log2_chroma_h) || x % (1 << d->log2_chroma_w)) continue;
      int at = (row >> d->log2_chroma_h) * f->linesize[1] + (x >> d->log2_chroma_w);
      f->data[1][at] = c[1];
      f->data[2][at] = c[2];
    }
  }
}

// A diagonal gradient sliding with the frame number, with a fixed grain on top.
void PaintMoving(AVFrame* f, int frame) {
  av_frame_make_writable(f);
  for (int y = 0; y < f->height; ++y) {
    uint8_t* row = f->data[0] + y * f->linesize[0];
    for (int x = 0; x < f->width; ++x) {
      unsigned grain = (x * 2654435761u ^ y * 40503u) >> 28;
      row[x] = static_cast<uint8_t>(16 + ((x + 2 * y + 4 * frame) % 200) + grain);
    }
  }
  for (int plane = 1; plane < 3; ++plane) {
    for (int y = 0; y < (f->height + 1) / 2; ++y) {
      uint8_t* row = f->data[plane] + y * f->linesize[plane];
      for (int x = 0; x < (f->width + 1) / 2; ++x) {
        row[x] = static_cast<uint8_t>(64 + ((plane * x + y + frame) % 128));
      }
    }
  }
}

struct PictureCoding {
  AVCodecID codec;
  AVPixelFormat format;
};

PictureCoding CodingOf(const ClipSpec& spec) {
  if (spec.rawVideo) return {AV_CODEC_ID_RAWVIDEO, AV_PIX_FMT_YUV420P};
  switch (spec.pictures) {
    case Pictures::Jpeg420: return {AV_CODEC_ID_MJPEG, AV_PIX_FMT_YUVJ420P};
    case Pictures::Jpeg422: return {AV_CODEC_ID_MJPEG, AV_PIX_FMT_YUVJ422P};
    case Pictures::PngRgb: return {AV_CODEC_ID_PNG, AV_PIX_FMT_RGB24};
    default: return {AV_CODEC_ID_MPEG4, AV_PIX_FMT_YUV420P};
  }
}

}  // namespace

bool WriteClip(const std::string& path, const ClipSpec& spec) {
  Output out;
  if (avformat_alloc_output_context2(&out.format, nullptr, spec.container, path.c_str()) < 0) {
    return false;
  }
  const PictureCoding coding = CodingOf(spec);
  if (spec.withVideo) {
    out.video = OpenEncoder(out, coding.codec, out.videoStream, [&](AVCodecContext* c) {
      c->width = spec.width;
      c->height = spec.height;
      c->time_base = {1, spec.fps};
      c->framerate = {spec.fps, 1};
      c->pix_fmt = coding.format;
      c->gop_size = 12;
      c->flags |= AV_CODEC_FLAG_QSCALE;
      c->global_quality = FF_QP2LAMBDA * 2;
    });
    if (out.video == nullptr) return false;
  }
  const int rate = 44100;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO, mono = AV_CHANNEL_LAYOUT_MONO;
  auto soundSetup = [&](const AVChannelLayout* layout) {
    return [=](AVCodecContext* c) {
      c->sample_fmt = AV_SAMPLE_FMT_S16;
      c->sample_rate = rate;
      c->time_base = {1, rate};
      av_channel_layout_copy(&c->ch_layout, layout);
    };
  };
  AVCodecID soundCodec = spec.toneTurnsMono ? AV_CODEC_ID_MP2 : AV_CODEC_ID_PCM_S16LE;
  if (std::string(spec.container) == "flac") soundCodec = AV_CODEC_ID_FLAC;
  if (spec.toneHz > 0) {
    out.audio = OpenEncoder(out, soundCodec, out.audioStream, soundSetup(&stereo));
    if (out.audio == nullptr) return false;
  }
  if (out.audio != nullptr && spec.toneTurnsMono) {
    // Its packets join the stereo stream: the file declares stereo, the frames then say mono.
    const AVCodec* codec = avcodec_find_encoder(soundCodec);
    out.mono = avcodec_alloc_context3(codec);
    soundSetup (&mono)(out.mono);
    if (avcodec_open2(out.mono, codec, nullptr) < 0) return false;
  }
  if (avio_open(&out.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 ||
      avformat_write_header(out.format, nullptr) < 0) {
    return false;
  }
  AVFrame* picture = av_frame_alloc();
  picture->format = coding.format;
  picture->width = spec.width;
  picture->height = spec.height;
  if (spec.withVideo) av_frame_get_buffer(picture, 0);
  AVFrame* sound = nullptr;
  AVCodecContext* soundEncoder = nullptr;
  int64_t samples = 0;
  auto soundUntil = [&](AVCodecContext* encoder, int64_t until) {
    while (encoder != nullptr && samples < until) {
      av_frame_make_writable(sound);
      auto* s = reinterpret_cast<int16_t*>(sound->data[0]);
      const int channels = sound->ch_layout.nb_channels;
      for (int k = 0; k < sound->nb_samples; ++k) {
        auto v = static_cast<int16_t>(spec.toneLevel *
                                      std::sin(2 * M_PI * spec.toneHz * (samples + k) / rate));
        for (int c = 0; c < channels; ++c) s[channels * k + c] = v;
      }
      sound->pts = samples;
      Send(out, encoder, out.audioStream, sound);
      samples += sound->nb_samples;
    }
  };
  const int64_t soundEnd = static_cast<int64_t>(spec.soundSeconds * rate);
  for (int i = 0; i < spec.frames || samples < soundEnd; ++i) {
    if (out.video != nullptr && i < spec.frames) {
      if (spec.moving) {
        PaintMoving(picture, i);
      } else {
        Paint(picture, spec.bars.empty() ? std::vector<uint32_t>{spec.colourAt(i)} : spec.bars);
      }
      picture->pts = i;
      Send(out, out.video, out.videoStream, picture);
    }
    int64_t until = static_cast<int64_t>(i + 1) * rate / spec.fps;
    if (soundEnd > 0) until = std::min(until, soundEnd);
    AVCodecContext* encoder = out.mono != nullptr && 2 * i >= spec.frames ? out.mono : out.audio;
    if (encoder != soundEncoder) {
      av_frame_free(&sound);
      sound = av_frame_alloc();
      sound->format = AV_SAMPLE_FMT_S16;
      sound->sample_rate = rate;
      sound->nb_samples =
          encoder != nullptr && encoder->frame_size > 0 ? encoder->frame_size : 1024;
      if (encoder != nullptr) {
        av_channel_layout_copy(&sound->ch_layout, &encoder->ch_layout);
        av_frame_get_buffer(sound, 0);
      }
      soundEncoder = encoder;
    }
    soundUntil(encoder, until);
    if (encoder == nullptr && i + 1 >= spec.frames) break;
  }
  if (out.video != nullptr) Send(out, out.video, out.videoStream, nullptr);
  if (soundEncoder != nullptr) Send(out, soundEncoder, out.audioStream, nullptr);
  av_frame_free(&picture);
  av_frame_free(&sound);
  return av_write_trailer(out.format) == 0;
}

}  // namespace quillon::testing
