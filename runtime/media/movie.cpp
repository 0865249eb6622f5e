#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "runtime/core/clock.h"
#include "runtime/core/program_flow.h"
#include "runtime/files/asset_resolver.h"
#include "runtime/gl/gl_extensions.h"
#include "runtime/gl/opengl_rainbows.h"
#include "runtime/gl/sprite_batch.h"
#include "runtime/gl/texture_slots.h"
#include "runtime/input/input_state.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/media/media.h"
#include "runtime/media/media_internal.h"
#include "runtime/platform/audio.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/video.h"

namespace quillon {

namespace {

constexpr int kRate = 44100;
// Read ahead no further than this: pictures waiting and sound not yet heard.
constexpr int kFewPictures = 8;
constexpr double kMostPictureBytes = 64.0 * 1024 * 1024;
constexpr double kSoundAhead = 1.5;  // seconds queued before more is read for the sound's sake
constexpr double kMostSound = 10.0;  // seconds held back when the mixer's queue is full
// The loop looks at messages, input and the sound at least this often.
constexpr int kLongestRestMs = 10;

MovieReport report;
std::array<int32_t, 1000> offsetsByMs;  // offsets at presentation, by whole milliseconds
MoviePictures pictureChoice = MoviePictures::Automatic;

// BT.601: the decoded planes to RGB. Levels are mapped by the uniforms: Y' = Y * lumaScale -
// lumaOffset, Cb' and Cr' likewise with the chroma pair.
constexpr const char* kPlanesToColour = R"(
uniform sampler2D planeY, planeU, planeV;
uniform float lumaScale, lumaOffset, chromaScale, chromaOffset;
void main() {
  vec2 at = gl_TexCoord[0].st;
  float y = texture2D(planeY, at).r * lumaScale - lumaOffset;
  float u = texture2D(planeU, at).r * chromaScale - chromaOffset;
  float v = texture2D(planeV, at).r * chromaScale - chromaOffset;
  gl_FragColor = vec4(y + 1.402 * v, y - 0.344136 * u - 0.714136 * v, y + 1.772 * u, 1.0);
}
)";

// Keys that type a character: digits, letters, punctuation, space, Enter, Backspace, keypad.
bool GivesCharacter(int code) {
  return (code >= 2 && code <= 14) || (code >= 16 && code <= 28) || (code >= 30 && code <= 41) ||
         (code >= 43 && code <= 53) || code == 55 || code == 57 || (code >= 71 && code <= 83) ||
         code == 156 || code == 181;
}

// A character key or a mouse button is down in the current snapshot.
bool EndingInput() {
  InputState* input = CurrentInput();
  if (input == nullptr) return false;
  for (int code = 0; code < 256; ++code) {
    if ((input->keyState[code] & 0x80) && GivesCharacter(code)) return true;
  }
  return AnyMouseButton() != 0;
}

int PowerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}

// The movie's picture: where shaders run, the decoded Y, U and V planes as three one-channel
// textures of their own sizes and a program that turns them into colour; elsewhere one RGBA
// texture padded to powers of two.
struct Screen {
  GLuint texture = 0;
  GLuint planes[3] = {};
  GLhandleARB program = 0;
  GLint lumaScale = -1, lumaOffset = -1, chromaScale = -1, chromaOffset = -1;
  GLenum planeFormat = GL_LUMINANCE;
  bool fullRange = false;
  int width = 0, height = 0, paddedWidth = 0, paddedHeight = 0;
  MovieRectangle place;
  bool hasPicture = false;
};

bool Exact(const Screen& screen) {
  return screen.place.width == screen.width && screen.place.height == screen.height;
}

// Clamped at the edges; at its own size the picture maps texel to pixel and the cheaper nearest
// sampling is exact.
void MakeTexture(const Screen& screen, GLuint& name, GLint internal, int width, int height,
                 GLenum format) {
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  GLint filter = Exact(screen) ? GL_NEAREST : GL_LINEAR;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, internal, width, height, 0, format, GL_UNSIGNED_BYTE, nullptr);
}

bool HasExtension(const char* name) {
  const char* list = ExtensionString();
  size_t length = std::strlen(name);
  for (const char* at = std::strstr(list, name); at != nullptr; at = std::strstr(at + 1, name)) {
    if ((at == list || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
  }
  return false;
}

// A rasteriser on the CPU runs the shader for every pixel at several times the cost of its
// fixed-function copy, more than converting to RGBA saves there.
bool SoftwareRenderer() {
  const char* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (name == nullptr) return false;
  for (const char* soft : {"llvmpipe", "softpipe", "Software Rasterizer"}) {
    if (std::strstr(name, soft) != nullptr) return true;
  }
  return false;
}

// Shader objects, three texture units for them and textures of any size.
bool ShadersUsable() {
  if (pictureChoice == MoviePictures::Rgba ||
      (pictureChoice == MoviePictures::Automatic && SoftwareRenderer()) ||
      arb.glActiveTextureARB == nullptr || arb.glCreateProgramObjectARB == nullptr ||
      arb.glUniform1fARB == nullptr || arb.glUniform1iARB == nullptr ||
      !HasExtension("GL_ARB_fragment_shader") || !HasExtension("GL_ARB_texture_non_power_of_two")) {
    return false;
  }
  GLint units = 0;
  glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &units);
  return units >= 3;
}

GLhandleARB LinkPlanesProgram() {
  GLhandleARB shader = arb.glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
  GLhandleARB program = arb.glCreateProgramObjectARB();
  const GLcharARB* source = kPlanesToColour;
  arb.glShaderSourceARB(shader, 1, &source, nullptr);
  arb.glCompileShaderARB(shader);
  arb.glAttachObjectARB(program, shader);
  arb.glLinkProgramARB(program);
  arb.glDeleteObjectARB(shader);  // goes with the program
  GLint compiled = 0, linked = 0;
  arb.glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
  arb.glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
  if (compiled == 0 || linked == 0) {
    arb.glDeleteObjectARB(program);
    return 0;
  }
  return program;
}

bool CreatePlanes(Screen& screen) {
  screen.program = LinkPlanesProgram();
  if (screen.program == 0) return false;
  GLint internal = GL_LUMINANCE8;
  screen.planeFormat = GL_LUMINANCE;
  if (HasExtension("GL_ARB_texture_rg")) {
    internal = GL_R8;
    screen.planeFormat = GL_RED;
  }
  int chromaWidth = (screen.width + 1) / 2, chromaHeight = (screen.height + 1) / 2;
  MakeTexture(screen, screen.planes[0], internal, screen.width, screen.height, screen.planeFormat);
  for (int i = 1; i < 3; ++i) {
    MakeTexture(screen, screen.planes[i], internal, chromaWidth, chromaHeight, screen.planeFormat);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  arb.glUseProgramObjectARB(screen.program);
  const char* samplers[3] = {"planeY", "planeU", "planeV"};
  for (int i = 0; i < 3; ++i) {
    arb.glUniform1iARB(arb.glGetUniformLocationARB(screen.program, samplers[i]), i);
  }
  screen.lumaScale = arb.glGetUniformLocationARB(screen.program, "lumaScale");
  screen.lumaOffset = arb.glGetUniformLocationARB(screen.program, "lumaOffset");
  screen.chromaScale = arb.glGetUniformLocationARB(screen.program, "chromaScale");
  screen.chromaOffset = arb.glGetUniformLocationARB(screen.program, "chromaOffset");
  arb.glUseProgramObjectARB(0);
  return glGetError() == GL_NO_ERROR;
}

void DeletePlanes(Screen& screen) {
  if (screen.planes[0] != 0) glDeleteTextures(3, screen.planes);
  if (screen.program != 0) arb.glDeleteObjectARB(screen.program);
  std::fill_n(screen.planes, 3, 0);
  screen.program = 0;
}

bool CreateScreen(Screen& screen, int width, int height) {
  OpenGLRainbows* device = LiveDevice();
  if (device == nullptr) return false;
  screen.place = FitMovie(width, height, device->width, device->height);
  if (screen.place.width <= 0 || screen.place.height <= 0) return false;
  GLint most = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
  screen.paddedWidth = PowerOfTwoAtLeast(width);
  screen.paddedHeight = PowerOfTwoAtLeast(height);
  screen.width = width;
  screen.height = height;
  BindSlotTexture(-1, -1, false, nullptr);  // every unit off; the slot table sees nothing bound
  glGetError();
  if (width <= most && height <= most && ShadersUsable()) {
    if (CreatePlanes(screen)) return true;
    DeletePlanes(screen);
  }
  if (screen.paddedWidth > most || screen.paddedHeight > most) return false;
  MakeTexture(screen, screen.texture, GL_RGBA, screen.paddedWidth, screen.paddedHeight, GL_RGBA);
  return glGetError() == GL_NO_ERROR;
}

void DeleteScreen(Screen& screen) {
  if (LiveDevice() == nullptr) return;
  if (screen.texture != 0) glDeleteTextures(1, &screen.texture);
  screen.texture = 0;
  DeletePlanes(screen);
}

void Upload(Screen& screen, const uint8_t* rgba, int rowPixels) {
  BindSlotTexture(-1, -1, false, nullptr);
  glBindTexture(GL_TEXTURE_2D, screen.texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, rowPixels);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, screen.width, screen.height, GL_RGBA, GL_UNSIGNED_BYTE,
                  rgba);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  screen.hasPicture = true;
}

// Row lengths given in pixels, which are bytes here: strides need not be multiples of four.
void UploadPlanes(Screen& screen, const platform::PicturePlanes& picture) {
  BindSlotTexture(-1, -1, false, nullptr);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < 3; ++i) {
    int width = i == 0 ? screen.width : (screen.width + 1) / 2;
    int height = i == 0 ? screen.height : (screen.height + 1) / 2;
    glBindTexture(GL_TEXTURE_2D, screen.planes[i]);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, picture.stride[i]);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, screen.planeFormat, GL_UNSIGNED_BYTE,
                    picture.plane[i]);
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  screen.fullRange = picture.fullRange;
  screen.hasPicture = true;
}

// Takes the oldest picture into the screen's textures; one that cannot be converted leaves the
// last picture standing.
void TakeIntoScreen(platform::VideoFile* video, Screen& screen) {
  if (screen.program == 0) {
    int rowPixels = 0;
    const uint8_t* pixels = platform::TakeFrontPicture(video, rowPixels);
    if (pixels != nullptr) Upload(screen, pixels, rowPixels);
    return;
  }
  platform::PicturePlanes planes;
  if (platform::TakeFrontPlanes(video, planes)) UploadPlanes(screen, planes);
}

void Quad(const MovieRectangle& place, float s0, float t0, float s1, float t1) {
  float x0 = place.x, y0 = place.y;
  float x1 = x0 + place.width, y1 = y0 + place.height;
  glBegin(GL_QUADS);
  glTexCoord2f(s0, t0);
  glVertex2f(x0, y0);
  glTexCoord2f(s0, t1);
  glVertex2f(x0, y1);
  glTexCoord2f(s1, t1);
  glVertex2f(x1, y1);
  glTexCoord2f(s1, t0);
  glVertex2f(x1, y0);
  glEnd();
}

// Limited levels: Y 16-235 and U, V 16-240 around 128 stretched to 0-1 and -0.5-0.5.
void DrawPlanes(const Screen& screen) {
  for (int i = 2; i >= 0; --i) {
    arb.glActiveTextureARB(GL_TEXTURE0_ARB + i);
    glBindTexture(GL_TEXTURE_2D, screen.planes[i]);
  }
  arb.glUseProgramObjectARB(screen.program);
  const bool full = screen.fullRange;
  arb.glUniform1fARB(screen.lumaScale, full ? 1.0f : 255.0f / 219);
  arb.glUniform1fARB(screen.lumaOffset, full ? 0.0f : 16.0f / 219);
  arb.glUniform1fARB(screen.chromaScale, full ? 1.0f : 255.0f / 224);
  arb.glUniform1fARB(screen.chromaOffset, full ? 128.0f / 255 : 128.0f / 224);
  Quad(screen.place, 0, 0, 1, 1);
  // Back to what the 2D layer expects: fixed function, unit 0 active, nothing bound.
  arb.glUseProgramObjectARB(0);
  for (int i = 2; i >= 0; --i) {
    arb.glActiveTextureARB(GL_TEXTURE0_ARB + i);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
}

// Draws the picture into its rectangle, the rest of the frame as ShowScreen left it.
void Draw(const Screen& screen) {
  OpenGLRainbows* device = LiveDevice();
  if (device == nullptr || !screen.hasPicture) return;
  Flush2DBatch();
  BindSlotTexture(-1, -1, false, nullptr);
  glViewport(0, 0, device->width, device->height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, device->width, device->height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (GLenum cap : {GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_CULL_FACE, GL_LIGHTING, GL_FOG}) {
    glDisable(cap);
  }
  if (screen.program != 0) {
    DrawPlanes(screen);
    return;
  }
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, screen.texture);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  // Scaled, half a texel in from every side: filtering must not reach into the padding.
  float inset = Exact(screen) ? 0.0f : 0.5f;
  float s0 = inset / screen.paddedWidth, t0 = inset / screen.paddedHeight;
  float s = (screen.width - inset) / screen.paddedWidth;
  float t = (screen.height - inset) / screen.paddedHeight;
  Quad(screen.place, s0, t0, s, t);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

// The movie's clock in seconds: the sound heard so far while there is sound to hear, else the
// wall clock from where the sound left it. Never runs backwards.
struct Clock {
  bool sound = false;
  double wallStart = 0;
  double value = 0;
  double lastSound = -1;
  double lastSoundWall = 0;

  void Start(bool withSound) {
    sound = withSound && platform::StartPcmStream();
    wallStart = NowMilliseconds() / 1000;
    lastSoundWall = wallStart;
    value = 0;
    lastSound = -1;
  }
  double Now() {
    double wall = NowMilliseconds() / 1000;
    double t = wall - wallStart;
    if (sound) {
      double heard = platform::PcmStreamSeconds();
      if (heard != lastSound) {
        lastSound = heard;
        lastSoundWall = wall;
        t = heard;
      } else {
        // Nothing more to hear (the sound ended or fell behind): time goes on without it.
        // A mixer that stops taking what is queued holds the picture for half a second at most.
        t = std::max(lastSound, 0.0) + (wall - lastSoundWall);
        if (platform::QueuedPcmFrames() > 0 && wall - lastSoundWall < 0.5) {
          t = std::min(t, lastSound + 0.05);
        }
      }
    }
    value = std::max(value, t);
    return value;
  }
};

// Keeps at most kMostSound seconds of decoded sound waiting, the oldest going first.
void TrimSound(platform::VideoFile* video) {
  int left = platform::PendingSoundFrames(video);
  if (left > kMostSound * kRate) platform::ConsumeSound(video, left - kMostSound * kRate);
}

// Moves decoded sound into the mixer's queue. Sound nobody will hear (no mixer, or one that
// stopped taking it) is thrown away, so a long movie cannot pile it up.
void FeedSound(platform::VideoFile* video, bool playing) {
  int pending = platform::PendingSoundFrames(video);
  if (pending <= 0) return;
  int taken = playing ? platform::QueuePcmFrames(platform::PendingSound(video), pending) : pending;
  platform::ConsumeSound(video, taken);
  TrimSound(video);
}

// Pictures read ahead: a few, more while the mixer runs short, never more than kMostPictureBytes.
int MostPictures(platform::VideoFile* video, bool withSound) {
  double bytes = 1.5 * platform::VideoWidth(video) * platform::VideoHeight(video);
  int most = static_cast<int>(std::clamp(kMostPictureBytes / bytes, 1.0 * kFewPictures, 64.0));
  bool short_ = withSound && platform::QueuedPcmFrames() < kSoundAhead / 2 * kRate;
  return short_ ? most : kFewPictures;
}

bool WantMore(platform::VideoFile* video, bool withSound) {
  int pictures = platform::QueuedPictures(video);
  int pending = platform::PendingSoundFrames(video);
  if (pictures < 2) return pending < kMostSound * kRate;
  if (pictures >= MostPictures(video, withSound)) return false;
  return withSound && platform::QueuedPcmFrames() + pending < kSoundAhead * kRate;
}

void Note(double offset) {
  double size = std::fabs(offset) * 1000;
  report.worstOffsetMs = std::max(report.worstOffsetMs, size);
  report.meanOffsetMs += (size - report.meanOffsetMs) / (report.framesShown + 1);
  ++offsetsByMs[std::min(static_cast<size_t>(size), offsetsByMs.size() - 1)];
}

double MedianOffsetMs() {
  int64_t seen = 0, total = 0;
  for (int32_t n : offsetsByMs) total += n;
  for (size_t ms = 0; ms < offsetsByMs.size(); ++ms) {
    seen += offsetsByMs[ms];
    if (total > 0 && 2 * seen >= total) return ms + 0.5;
  }
  return 0;
}

// A movie picture is a frame of the program's: ShowScreen counts it for scripts, the frame limit
// and screenshots, and dispatches messages. Only the game's frame grid is let go, so the picture
// goes up at the movie's time, not at the game's next grid point.
void ShowPicture(const Screen& screen) {
  Draw(screen);
  if (OpenGLRainbows* device = LiveDevice()) device->nextFrameTime = NowMilliseconds() - 1;
  ShowScreen();
}

// Shows the first picture until the key or button that started the movie is let go.
void WaitForRelease(platform::VideoFile* video, Screen& screen) {
  while (platform::QueuedPictures(video) == 0 && platform::ReadVideoPacket(video)) {
    TrimSound(video);
  }
  TakeIntoScreen(video, screen);
  PumpMessages();
  RefreshKeyboard();
  while (EndingInput()) {
    Draw(screen);
    ShowScreen();
  }
}

// Every pass of the movie's loop: messages dispatched, the end keys and the ending input read.
bool KeepPlaying() {
  PumpMessages();
  RefreshKeyboard();
  EndProgramOnEndKeys();
  return !EndingInput();
}

// Waits a little for the next thing due: short, so messages and sound are seen to often.
void Rest(double seconds) {
  platform::SleepMilliseconds(std::clamp(static_cast<int>(seconds * 1000), 1, kLongestRestMs));
}

struct Pass {
  bool ended = false;          // the file is read to its end
  bool hasPicture = false;     // a pass without one ends a looped movie: rewinding would spin
  double shownUntil = 0;       // the end of the latest picture shown
};

void ReadAhead(platform::VideoFile* video, Pass& pass, const Clock& clock, bool withSound) {
  while (!pass.ended && WantMore(video, withSound)) {
    pass.ended = !platform::ReadVideoPacket(video);
    FeedSound(video, clock.sound);
  }
  FeedSound(video, clock.sound);
}

// Late pictures are dropped while a later one is waiting: the picture never drifts.
void DropLatePictures(platform::VideoFile* video, double now, double frame) {
  while (platform::QueuedPictures(video) > 1 && platform::FrontPictureTime(video) + frame < now) {
    platform::DropFrontPicture(video);
    ++report.framesDropped;
  }
}

// The movie runs on its own clock, the sound's, and presents each picture when it is due; the
// loop never waits for the game's frame grid, so the sound stays fed at any game frame rate. It
// ends when both pictures and sound have played, the last picture standing meanwhile.
void Play(platform::VideoFile* video, Screen& screen, bool loop) {
  const bool withSound = platform::VideoHasSound(video);
  const double frame = platform::VideoFrameSeconds(video);
  report.hadSound = withSound;
  Clock clock;
  clock.Start(withSound);
  Pass pass;
  if (screen.hasPicture) {
    FeedSound(video, clock.sound);
    pass.hasPicture = true;
    pass.shownUntil = frame;
    ShowPicture(screen);
    Note(clock.Now());
    ++report.framesShown;
  }
  while (KeepPlaying()) {
    ReadAhead(video, pass, clock, withSound);
    double now = clock.Now();
    if (pass.ended && platform::QueuedPictures(video) == 0) {
      // Looped: the next pass is read while this one's sound and last picture play out.
      if (loop && pass.hasPicture && platform::RewindVideo(video)) {
        pass = Pass{false, false, pass.shownUntil};
        ++report.loops;
        continue;
      }
      double end = std::max(pass.shownUntil, platform::DecodedSoundSeconds(video));
      if (now >= end) return;
      Rest(end - now);
      continue;
    }
    DropLatePictures(video, now, frame);
    if (platform::QueuedPictures(video) == 0) {
      Rest(0);  // the mixer holds what was read: wait until it takes more
      continue;
    }
    pass.hasPicture = true;
    double due = platform::FrontPictureTime(video);
    if (due > now + 0.001) {
      Rest(due - now);
      continue;
    }
    TakeIntoScreen(video, screen);
    pass.shownUntil = std::max(pass.shownUntil, due + frame);
    ShowPicture(screen);
    Note(clock.Now() - due);
    ++report.framesShown;
  }
}

void PlayMovieFile(const StringValue& file, bool loop) {
  report = MovieReport();
  offsetsByMs.fill(0);
  StringValue path;
  if (LiveDevice() == nullptr || ResolveAssetFile(kMediaResolver, file.CStr(), path) == 0) return;
  platform::VideoFile* video = platform::OpenVideo(path.CStr());
  if (video == nullptr) return;
  Screen screen;
  if (CreateScreen(screen, platform::VideoWidth(video), platform::VideoHeight(video))) {
    report.opened = true;
    report.drewPlanes = screen.program != 0;
    WaitForRelease(video, screen);
    Play(video, screen, loop);
    report.medianOffsetMs = MedianOffsetMs();
  }
  platform::StopPcmStream();
  DeleteScreen(screen);
  platform::CloseVideo(video);
}

}  // namespace

MovieRectangle FitMovie(int32_t sourceWidth, int32_t sourceHeight, int32_t clientWidth,
                        int32_t clientHeight) {
  MovieRectangle r;
  if (sourceWidth <= 0 || sourceHeight <= 0 || clientWidth <= 0 || clientHeight <= 0) return r;
  double k = std::min(static_cast<double>(clientHeight) / sourceHeight,
                      static_cast<double>(clientWidth) / sourceWidth);
  r.width = static_cast<int32_t>(k * sourceWidth);
  r.height = static_cast<int32_t>(k * sourceHeight);
  r.x = (clientWidth - r.width) / 2;
  r.y = (clientHeight - r.height) / 2;
  return r;
}

const MovieReport& LastMovieReport() { return report; }
void ChooseMoviePictures(MoviePictures choice) { pictureChoice = choice; }

void PlayMovie(const StringValue& file) { PlayMovieFile(file, false); }
void PlayMovieLooped(const StringValue& file) { PlayMovieFile(file, true); }

}  // namespace quillon
