// The game in the page: the platform services over the browser. The page
// (page/kelvane-page.js) owns the canvas, the forms, input events, sound and
// storage; this side owns the game and calls the page through EM_JS.
//
// The page's main thread can neither block nor nest its event loop, so the
// three services that assume a desktop loop return at once: the loading
// pump (input meanwhile waits for the browser's next turn, as the loading
// code holds it back anyway), the message box (shown by the page; until it
// is answered the host holds the game: no timer, no idle poll, no input, the
// game clock and the tune stand still, as behind the desktop's modal box)
// and the idle poll (a browser timeout at the next frame deadline, as the
// desktop's single-shot timer).
#include <emscripten/emscripten.h>
#include <emscripten/eventloop.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "actiondata/command_list_window.h"
#include "app/frame_pacing.h"
#include "app/game.h"
#include "app/input_events.h"
#include "app/lifecycle.h"
#include "app/trace.h"
#include "coach/coach_state.h"
#include "coach/how_to.h"
#include "config/settings.h"
#include "config/startup_choices.h"
#include "flow/run_record.h"
#include "graphics/glyph_text.h"
#include "music/audio_length.h"
#include "music/midi_length.h"
#include "music/sound_balance.h"
#include "platform/core/cursor_art.h"
#include "platform/core/std_files.h"
#include "platform/core/text_codec.h"
#include "platform/web/key_codes.h"

namespace kelvane {
namespace {

// ---- Calls into the page -------------------------------------------------

// The frame arrives already in the canvas's RGBA byte order; only rows
// [top, bottom) changed since the last upload.
EM_JS(void, JsPresent, (const uint32_t* rgba, int width, int height, int top, int bottom), {
  kelvanePage.present(HEAPU8, rgba, width, height, top, bottom);
});
EM_JS(void, JsCaption, (const char* text), { document.title = UTF8ToString(text); });
EM_JS(void, JsClientSize, (int width, int height), { kelvanePage.setClientSize(width, height); });
EM_JS(void, JsListVisible, (int visible), { kelvanePage.showCommandList(!!visible); });
EM_JS(void, JsMessage, (const char* text), { kelvanePage.showMessage(UTF8ToString(text), true); });
// pixels: size × size ARGB words of the cursor's picture, none for the arrow.
EM_JS(void, JsCursor, (int index, int visible, const uint32_t* pixels, int size, int hotX, int hotY), {
  kelvanePage.setCursor(index, !!visible,
                        size ? HEAPU32.slice(pixels >> 2, (pixels >> 2) + size * size) : null, size,
                        hotX, hotY);
});
EM_JS(void, JsPersist, (const char* path), { kelvanePage.persist(path ? UTF8ToString(path) : null); });
EM_JS(void, JsEnded, (), { kelvanePage.ended(); });
EM_JS(int, JsScreenWidth, (), { return window.screen.width | 0; });
EM_JS(int, JsScreenHeight, (), { return window.screen.height | 0; });
EM_JS(int, JsFactor, (), { return kelvanePage.factor | 0; });
EM_JS(int, JsHasFocus, (), { return document.hasFocus() ? 1 : 0; });
EM_JS(void, JsMusicOpen, (const char* path, uint32_t lengthMs), {
  kelvanePage.audio.musicOpen(UTF8ToString(path), lengthMs);
});
EM_JS(void, JsMusicPlay, (uint32_t from, uint32_t to, int resume), {
  kelvanePage.audio.musicPlay(from, to, !!resume);
});
EM_JS(void, JsMusicPause, (), { kelvanePage.audio.musicPause(); });
EM_JS(void, JsMusicClose, (), { kelvanePage.audio.musicClose(); });
EM_JS(void, JsEffectPlay, (const char* path), { kelvanePage.audio.effectPlay(UTF8ToString(path)); });
EM_JS(void, JsEffectStop, (), { kelvanePage.audio.effectStop(); });
EM_JS(void, JsVolumes, (int music, int effects), { kelvanePage.audio.setVolumes(music, effects); });

// ---- The services --------------------------------------------------------

// performance.now(), less the time the game spent held behind message
// boxes: a box answered after a minute does not end the stage it interrupted.
//
// A stepped clock (a driver's choice) stands still until the driver moves it
// on with kelvane_advance: the page then runs the same session whenever the
// same input comes at the same game times, however fast the machine is.
class PageClock : public Clock {
 public:
  uint32_t TickCount() override {
    const double now = frozen_ ? frozenAt_ : Raw();
    return static_cast<uint32_t>(static_cast<uint64_t>(now - held_));
  }
  double Raw() const { return stepped ? steppedNow : emscripten_get_now(); }
  void Freeze() {
    if (frozen_) return;
    frozenAt_ = Raw();
    frozen_ = true;
  }
  void Thaw() {
    if (!frozen_) return;
    held_ += Raw() - frozenAt_;
    frozen_ = false;
  }
  bool stepped = false;
  double steppedNow = 0;

 private:
  bool frozen_ = false;
  double frozenAt_ = 0;
  double held_ = 0;
};

class PageKeys : public KeyState {
 public:
  bool IsDown(int vk) override { return vk >= 0 && vk < 256 && down[static_cast<size_t>(vk)]; }
  std::array<bool, 256> down{};
};

// The data folder as the game sees it: the player's files in the browser's
// storage (mounted at kSaveFolder) over the preloaded forged data. Writes
// go to storage through a temporary file and a rename; the page then copies
// the folder to IndexedDB in one transaction, so a closed tab leaves the old
// or the new file.
class PageFiles : public FileSystem {
 public:
  static constexpr const char* kSaveFolder = "/kelvane/";
  static constexpr const char* kDataFolder = "/game/";

  bool Exists(const std::string& path) override {
    return std_.Exists(path) || std_.Exists(Preloaded(path));
  }
  bool Delete(const std::string& path) override {
    bool removed = std_.Delete(path);
    if (removed) JsPersist(path.c_str());
    return removed;
  }
  std::optional<std::string> ReadFile(const std::string& path) override {
    if (std_.Exists(path)) return std_.ReadFile(path);
    return std_.ReadFile(Preloaded(path));
  }
  std::optional<uint64_t> FileSize(const std::string& path) override {
    if (std_.Exists(path)) return std_.FileSize(path);
    return std_.FileSize(Preloaded(path));
  }
  bool WriteFile(const std::string& path, const std::string& data) override {
    bool ok = std_.WriteFile(path, data);
    if (ok) JsPersist(path.c_str());
    return ok;
  }

 private:
  static std::string Preloaded(const std::string& path) {
    const std::string save = kSaveFolder;
    if (path.compare(0, save.size(), save) != 0) return path;
    return kDataFolder + path.substr(save.size());
  }
  StdFileSystem std_;
};

// The tune device: opened and measured from the file's bytes as on the
// desktop, timed on the game clock; the page plays the sound itself.
class PageMedia : public MediaDevice {
 public:
  static constexpr int kFileNotFound = 275;
  static constexpr int kOutOfRange = 282;
  static constexpr int kUnsupported = 274;

  explicit PageMedia(Clock& clock, FileSystem& files) : clock_(clock), files_(files) {}

  int OpenFile(const std::string& path) override {
    if (open_) return Result(259);
    std::optional<std::string> bytes = files_.ReadFile(path);
    if (!bytes) return Result(kFileNotFound);
    std::optional<uint32_t> ms = MeasureTuneBytes(path, *bytes);
    if (!ms || *ms == 0) return Result(kFileNotFound);
    open_ = true;
    playing_ = paused_ = false;
    length_ = *ms;
    // The page's synthesiser seeks by ticks; our tempo map finds them.
    midi_.clear();
    if (MidiLengthMs(*bytes)) midi_ = std::move(*bytes);
    JsMusicOpen(path.c_str(), length_);
    return Result(0);
  }
  int OpenCD(const std::string&) override { return Result(kUnsupported); }
  int SetTimeFormatMs() override { return Result(open_ ? 0 : kNotOpen); }
  int Length(uint32_t& ms) override {
    if (!open_) return Result(kNotOpen);
    ms = length_;
    return Result(0);
  }
  int TrackCount(int& tracks) override {
    if (!open_) return Result(kNotOpen);
    tracks = 1;
    return Result(0);
  }
  int TrackStart(int, uint32_t& ms) override {
    if (!open_) return Result(kNotOpen);
    ms = 0;
    return Result(0);
  }
  int TrackLength(int, uint32_t& ms) override { return Length(ms); }
  MediaMode Mode() override {
    if (!open_) return MediaMode::NotReady;
    if (playing_ && Position() >= playTo_) {
      playing_ = false;
      JsMusicPause();
    }
    return playing_ ? MediaMode::Playing : MediaMode::Stopped;
  }
  int Play(std::optional<uint32_t> fromMs, std::optional<uint32_t> toMs) override {
    if (!open_) return Result(kNotOpen);
    uint32_t to = toMs.value_or(length_);
    if ((fromMs && *fromMs > length_) || to > length_) return Result(kOutOfRange);
    // Play after Stop goes on from where it stopped, as the media device does.
    const bool resume = !fromMs && paused_;
    playFrom_ = resume ? pausedAt_ : fromMs.value_or(0);
    paused_ = false;
    playing_ = true;
    playTo_ = to;
    startTick_ = clock_.TickCount();
    JsMusicPlay(playFrom_, playTo_, resume ? 1 : 0);
    return Result(0);
  }
  int Stop() override {
    if (!open_) return Result(kNotOpen);
    if (Mode() == MediaMode::Playing) {
      pausedAt_ = Position();
      playing_ = false;
      paused_ = true;
      JsMusicPause();
    }
    return Result(0);
  }
  int Close() override {
    if (!open_) return Result(kNotOpen);
    JsMusicClose();
    open_ = playing_ = paused_ = false;
    length_ = 0;
    midi_.clear();
    return Result(0);
  }
  int LastError() override { return lastError_; }

  // A message box holds the game: the sound stops where the game clock
  // stopped and goes on from there when the box is answered.
  void Suspend() {
    if (playing_) JsMusicPause();
  }
  void Continue() {
    if (playing_ && Position() < playTo_) JsMusicPlay(Position(), playTo_, 1);
  }
  // The tick of the open MIDI tune at ms of play, 0 for other tunes.
  uint64_t TickAt(uint32_t ms) const {
    return midi_.empty() ? 0 : MidiTickAtMs(midi_, ms).value_or(0);
  }

  std::string ErrorText(int code) override {
    switch (code) {
      case 0: return "";
      case kNotOpen: return "The device is not open.";
      case 259: return "The device is already open.";
      case kOutOfRange: return "The position is beyond the end of the media.";
      case kUnsupported: return "There is no CD audio in the browser.";
      default: return "The file cannot be played by the media device.";
    }
  }

 private:
  uint32_t Position() {
    uint32_t elapsed = clock_.TickCount() - startTick_;
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{playFrom_} + elapsed, UINT32_MAX));
  }
  int Result(int code) { return lastError_ = code; }

  Clock& clock_;
  FileSystem& files_;
  bool open_ = false, playing_ = false, paused_ = false;
  uint32_t length_ = 0, playFrom_ = 0, playTo_ = 0, pausedAt_ = 0, startTick_ = 0;
  int lastError_ = 0;
  std::string midi_;  // the open tune's bytes when it is MIDI
};

class PageEffects : public SoundEffects {
 public:
  void Play(const std::string& path) override { JsEffectPlay(path.c_str()); }
  void Stop() override { JsEffectStop(); }
};

class PageHost : public AppService, public WindowService {
 public:
  Game* game = nullptr;
  PageKeys* keys = nullptr;
  PageClock* clock = nullptr;
  PageMedia* media = nullptr;
  bool ended = false;
  Point mouse;  // the last pointer position in the main window, game pixels
  bool mouseInside = false;
  bool listVisible = false;

  // ---- AppService ----
  void SetTimerEnabled(bool on) override {
    timerOn_ = on;
    if (on) {
      if (game) tickGrid_ = game->Now();
      ScheduleTick();
    } else {
      StopTick();
    }
  }
  void SetIdleHooked(bool on) override {
    idleHooked_ = on;
    if (on) ScheduleIdle();
  }
  void ProcessMessages() override {}
  void ShowMessage(const std::string& text) override {
    Hold(true);
    JsMessage(text.c_str());
  }

  // Boxes open and answered (the game's and the page's own); the game runs
  // again when the last one is answered. A box takes the focus from the
  // game's window, as the desktop's modal box does.
  void Hold(bool open) {
    if (open) {
      if (boxes_++ > 0) return;
      clock->Freeze();
      media->Suspend();
      if (game && !ended) FormDeactivate(*game);
      return;
    }
    if (boxes_ == 0 || --boxes_ > 0) return;
    clock->Thaw();
    media->Continue();
    ScheduleIdle();
    ScheduleTick();
  }
  bool Held() const { return boxes_ > 0; }

  // ---- WindowService ----
  void SetCaption(FormId form, const std::string& sjisText) override {
    if (form == FormId::FM) JsCaption(SjisToUtf8(sjisText).c_str());
  }
  void SetClientSize(FormId form, Size size) override {
    At(form).client = size;
    if (form == FormId::FM) {
      JsClientSize(size.w, size.h);
      shownW_ = 0;  // a resized canvas is blank: the next frame goes up whole
    }
  }
  Size ClientSize(FormId form) override { return At(form).client; }
  void SetPosition(FormId form, Point p) override { At(form).position = p; }
  Point Position(FormId form) override { return At(form).position; }
  // The page has no window frames: the client area starts at the position.
  Point ClientOrigin(FormId form) override { return At(form).position; }
  void SetBorderStyle(FormId, BorderStyle) override {}
  void SetStayOnTop(FormId, bool) override {}
  void SetVisible(FormId form, bool visible) override {
    At(form).visible = visible;
    if (form == FormId::keyFM) {
      listVisible = visible;
      JsListVisible(visible ? 1 : 0);
    }
  }
  void AcceptDroppedFiles(FormId form, bool on) override { At(form).acceptsDrops = on; }
  void Close(FormId form) override {
    if (form == FormId::keyFM) {
      SetVisible(form, false);
      return;
    }
    if (form == FormId::FM) AskClose();
  }
  void Present(const FrameView& f) override {
    // The client area shows the top-left part of the frame.
    const Size client = At(FormId::FM).client;
    const int w = std::min(f.width, client.w > 0 ? client.w : f.width);
    const int h = std::min(f.height, client.h > 0 ? client.h : f.height);
    if (w <= 0 || h <= 0) return;
    // Converting here spares the page a per-pixel loop in JavaScript, and
    // comparing with the last upload lets an unchanged frame cost nothing.
    const bool resized = w != shownW_ || h != shownH_;
    if (resized) {
      shown_.assign(static_cast<size_t>(w) * h, 0);
      shownW_ = w;
      shownH_ = h;
    }
    int top = h, bottom = 0;
    for (int y = 0; y < h; ++y) {
      const uint32_t* in = f.pixels + static_cast<size_t>(y) * f.stride;
      uint32_t* out = shown_.data() + static_cast<size_t>(y) * w;
      bool changed = false;
      for (int x = 0; x < w; ++x) {
        const uint32_t p = in[x];
        const uint32_t q = 0xff000000u | ((p & 0xffu) << 16) | (p & 0xff00u) | ((p >> 16) & 0xffu);
        changed |= out[x] != q;
        out[x] = q;
      }
      if (changed || resized) {
        top = std::min(top, y);
        bottom = y + 1;
      }
    }
    if (top < bottom) JsPresent(shown_.data(), w, h, top, bottom);
  }
  void SetCursor(int index) override {
    cursor_ = index;
    ApplyCursor();
  }
  void ShowCursor(bool visible) override {
    cursorVisible_ = visible;
    ApplyCursor();
  }
  // A page cannot move the pointer: the game's move is kept until the real
  // pointer moves again, so the game reads back where it put it.
  Point PointerPos() override {
    const Point o = ClientOrigin(FormId::FM);
    return {o.x + mouse.x, o.y + mouse.y};
  }
  void SetPointerPos(Point p) override {
    const Point o = ClientOrigin(FormId::FM);
    mouse = {p.x - o.x, p.y - o.y};
  }
  FormId WindowAt(Point p) override {
    const Form& f = At(FormId::FM);
    const Point o = ClientOrigin(FormId::FM);
    if (mouseInside && p.x >= o.x && p.y >= o.y && p.x < o.x + f.client.w && p.y < o.y + f.client.h)
      return FormId::FM;
    return FormId::None;
  }
  Point ScreenToClient(FormId form, Point p) override {
    const Point o = ClientOrigin(form);
    return {p.x - o.x, p.y - o.y};
  }
  Size ScreenSize() override {
    const int k = std::max(1, JsFactor());
    return {std::max(640, JsScreenWidth() / k), std::max(480, JsScreenHeight() / k)};
  }
  FormId ActiveWindow() override { return JsHasFocus() ? FormId::FM : FormId::None; }

  // Every way the game closes goes through here, as on the desktop: the
  // first request is refused and the game closes on its next tick.
  void AskClose() {
    if (!game || ended) return;
    if (!FormCloseQuery(*game)) return;
    FormClose(*game);
    End();
  }

  // Something outside the game's own ticks ran (input, a box, the tab
  // coming back): it may have moved a deadline.
  void Wake() {
    ScheduleIdle();
    ScheduleTick();
  }
  bool AcceptsDrops() { return At(FormId::FM).acceptsDrops; }

  // The stepped clock's one millisecond: the timer tick, then the idle
  // poll, each when due, as the desktop's loop takes them.
  void RunDue() {
    const double now = clock->Raw();
    if (timer_ != 0 && tickDue_ <= now) {
      timer_ = 0;
      OnTimer(this);
    }
    if (idle_ != 0 && idleDue_ <= now) {
      idle_ = 0;
      OnIdle(this);
    }
  }

 private:
  std::vector<uint32_t> shown_;  // the canvas's content as last uploaded
  int shownW_ = 0, shownH_ = 0;
  struct Form {
    Size client;
    Point position;
    bool visible = false;
    bool acceptsDrops = false;
  };
  Form& At(FormId form) { return forms_[static_cast<size_t>(form)]; }

  void End() {
    ended = true;
    SetTimerEnabled(false);
    idleHooked_ = false;
    Cancel(idle_);
    FormDestroy(*game);
    JsEnded();
  }

  // The game's cursor table: its own pictures, which the page enlarges
  // with the play area.
  void ApplyCursor() {
    const int index = cursor_ >= 0 && cursor_ <= kGameCursorCount ? cursor_ : 0;
    const CursorPicture& p = cursors_[static_cast<size_t>(index)];
    JsCursor(index, cursorVisible_ ? 1 : 0, p.argb.data(), p.size, p.hotX, p.hotY);
  }

  static void OnTimer(void* self) {
    auto* h = static_cast<PageHost*>(self);
    h->timer_ = 0;
    if (!h->game || h->ended || h->Held()) return;
    Timer1Timer(*h->game);
    h->ScheduleIdle();
    h->ScheduleTick();
  }
  static void OnIdle(void* self) {
    auto* h = static_cast<PageHost*>(self);
    h->idle_ = 0;
    if (!h->idleHooked_ || !h->game || h->ended || h->Held()) return;
    bool done = true;
    AppEvIdle(*h->game, done);
    if (!done) h->ScheduleIdle();
    h->ScheduleTick();
  }
  // The idle poll waits for the next frame or music deadline instead of
  // spinning, one frame step per frame interval.
  void ScheduleIdle() {
    if (!idleHooked_ || !game || game->st.halted || ended || Held()) return;
    int32_t ahead = static_cast<int32_t>(NextIdleDeadline(*game) - game->Now());
    double wait = ahead < 0 ? 0 : ahead;
    double due = clock->Raw() + wait;
    if (idle_ != 0 && idleDue_ <= due) return;
    Cancel(idle_);
    idle_ = Later(&PageHost::OnIdle, wait);
    idleDue_ = due;
  }
  // A browser timeout, or with the stepped clock a deadline RunDue keeps.
  long Later(void (*callback)(void*), double wait) {
    return clock->stepped ? 1 : emscripten_set_timeout(callback, wait, this);
  }
  void Cancel(long& id) {
    if (id != 0 && !clock->stepped) emscripten_clear_timeout(id);
    id = 0;
  }

  // Timer1 ticks every 10 ms, but a tick with nothing due does nothing, so
  // the page sleeps until the first tick of that 10 ms grid at or after the
  // next deadline instead of waking a hundred times a second.
  void ScheduleTick() {
    if (!timerOn_ || !game || ended || Held()) return;
    const uint32_t now = game->Now();
    const std::optional<uint32_t> due = NextTimerDeadline(*game, now);
    if (!due) {
      StopTick();  // halted: nothing until a handler changes that
      return;
    }
    const uint32_t at = static_cast<int32_t>(*due - now) > 0 ? *due : now;
    const uint32_t tick = at + (kTimerTick - (at - tickGrid_) % kTimerTick) % kTimerTick;
    const double wait = tick - now;
    const double fire = clock->Raw() + wait;
    if (timer_ != 0 && tickDue_ <= fire) return;
    StopTick();
    timer_ = Later(&PageHost::OnTimer, wait);
    tickDue_ = fire;
  }
  void StopTick() { Cancel(timer_); }

  std::array<Form, 4> forms_{};
  static constexpr uint32_t kTimerTick = 10;
  bool timerOn_ = false;
  uint32_t tickGrid_ = 0;  // a tick of the 10 ms grid
  double tickDue_ = 0;
  long timer_ = 0;
  long idle_ = 0;
  double idleDue_ = 0;
  bool idleHooked_ = false;
  int cursor_ = 0;
  bool cursorVisible_ = true;
  std::array<CursorPicture, kGameCursorCount + 1> cursors_{
      GameCursorPicture(0), GameCursorPicture(1), GameCursorPicture(2), GameCursorPicture(3)};
  int boxes_ = 0;
};

struct Session {
  PageClock clock;
  PageHost host;
  PageKeys keys;
  PageFiles files;
  PageMedia media{clock, files};
  PageEffects effects;
  std::unique_ptr<Game> game;
  WallpaperCounts walls;
  std::string scratch;  // the last string handed to the page
  std::FILE* traceFile = nullptr;
  std::unique_ptr<TraceLog> trace;
  CoachState coach{true};
  // The page's language for the coach: "context\x1fsource" to the text.
  std::map<std::string, std::string> coachTexts;
};

Session* session = nullptr;

std::string PageTranslate(const char* context, const char* source) {
  if (!session) return source;
  auto it = session->coachTexts.find(std::string(context) + '\x1f' + source);
  return it == session->coachTexts.end() ? std::string(source) : it->second;
}

// The temporary files of our atomic writes ("<name>.tmp<pid>"). Any left in
// the page's storage at start come from a tab that closed in the middle of a
// write: nothing else writes here yet, and every page has the same process
// id, so the owner cannot be asked as on the desktop.
int RemovePageTemporaries(const std::string& folder) {
  std::error_code ec;
  int removed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    const size_t mark = name.rfind(StdFileSystem::kTempMark);
    if (mark == std::string::npos || mark == 0) continue;
    const std::string digits = name.substr(mark + std::strlen(StdFileSystem::kTempMark));
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    if (entry.is_regular_file(ec) && std::filesystem::remove(entry.path(), ec)) ++removed;
  }
  return removed;
}

constexpr int kF11 = 122;
// The entry line is stored as at most this many Shift-JIS bytes.
constexpr int kEntryLineBytes = 100;

const char* Hand(std::string s) {
  session->scratch = std::move(s);
  return session->scratch.c_str();
}

}  // namespace
}  // namespace kelvane

using namespace kelvane;

// The startup form opens: seeds the game (from the clock unless seed is
// given), reads the stored choices and hands them to the page as JSON. With
// trace the game writes its trace to /trace.jsonl in the page's memory, as
// the desktop's --trace does.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_dialog_open(int hasSeed, uint32_t seed,
                                                               int trace, int stepped) {
  session = new Session;
  Session& s = *session;
  s.clock.stepped = stepped != 0;
  Platform pf{&s.clock, &s.host, &s.host, &s.keys, &s.media, &s.effects, &s.files};
  s.game = std::make_unique<Game>(pf);
  s.game->judges.Add(&s.coach);
  if (trace && (s.traceFile = std::fopen("/trace.jsonl", "w"))) {
    std::setvbuf(s.traceFile, nullptr, _IOLBF, 0);
    s.trace = std::make_unique<TraceLog>(s.traceFile);
    s.game->trace = s.trace.get();
  }
  s.host.game = s.game.get();
  s.host.keys = &s.keys;
  s.host.clock = &s.clock;
  s.host.media = &s.media;
  if (RemovePageTemporaries(PageFiles::kSaveFolder) > 0) JsPersist(nullptr);
  DialogSettings stored = StartupFormCreate(*s.game, PageFiles::kSaveFolder,
                                            hasSeed ? std::optional<uint32_t>(seed) : std::nullopt);
  s.walls = CountWallpapers(*s.game);
  StartupChoices c = InitialChoices(stored, {}, s.walls.large, s.walls.small);
  std::string json = "{\"colourMax\":" + std::to_string(c.colourMax) +
                     ",\"smallWindow\":" + (c.smallWindow ? "true" : "false") +
                     ",\"drive\":" + JsonString(c.drive) +
                     ",\"wallLarge\":" + JsonString(c.wallLarge) +
                     ",\"wallSmall\":" + JsonString(c.wallSmall) +
                     ",\"wallLargeCount\":" + std::to_string(s.walls.large) +
                     ",\"wallSmallCount\":" + std::to_string(s.walls.small) +
                     ",\"entryLine\":" + JsonString(SjisToUtf8(c.entryLine)) +
                     ",\"entryName\":" + JsonString(SjisToUtf8(c.entryName)) +
                     ",\"entryArea\":" + JsonString(SjisToUtf8(c.entryArea)) +
                     ",\"defaultEntryLine\":" + JsonString(SjisToUtf8(DefaultEntryLine())) +
                     ",\"defaultEntryName\":" + JsonString(kDefaultEntryName) +
                     ",\"defaultEntryArea\":" + JsonString(kDefaultEntryArea) +
                     ",\"entryLineBytes\":" + std::to_string(kEntryLineBytes) + "}";
  return Hand(json);
}

// The entry name and area take only what the game can draw. Each character
// outside ASCII counts as one unknown glyph, so the filtered text keeps the
// length the player sees.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_filter_entry(const char* utf8) {
  std::string oneByte;
  for (const char* p = utf8; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x80)
      oneByte += static_cast<char>(c);
    else if ((c & 0xC0) != 0x80)
      oneByte += '_';
  }
  return Hand(FilterGlyphText(static_cast<int>(oneByte.size()), oneByte));
}

extern "C" EMSCRIPTEN_KEEPALIVE int kelvane_sjis_bytes(const char* utf8) {
  return static_cast<int>(Utf8ToSjis(utf8).size());
}

// OK: the choices go to the game, the wallpaper is drawn and the game starts.
extern "C" EMSCRIPTEN_KEEPALIVE int kelvane_start(int colourMax, int smallWindow, int resetSettings,
                                                  int resetClearInfo, int rebuildColourData,
                                                  const char* wallLarge, const char* wallSmall,
                                                  const char* entryLine, const char* entryName,
                                                  const char* entryArea) {
  Session& s = *session;
  Game& g = *s.game;
  StartupChoices c;
  c.colourMax = std::clamp(colourMax, 0, 2);
  c.smallWindow = smallWindow != 0;
  c.resetSettings = resetSettings != 0;
  c.resetClearInfo = resetClearInfo != 0;
  c.rebuildColourData = rebuildColourData != 0;
  c.drive = kNoCdItem;
  c.wallLarge = wallLarge;
  c.wallSmall = wallSmall;
  c.entryLine = Utf8ToSjis(entryLine);
  c.entryName = Utf8ToSjis(entryName);
  c.entryArea = Utf8ToSjis(entryArea);
  StartupOk(g, c, s.walls);
  ReadVolumeSettings(g);
  JsVolumes(g.st.musicVolume, g.st.effectsVolume);

  s.host.SetVisible(FormId::FM, true);
  const bool started = FormCreate(g);
  if (!started) {
    // A required data file was missing or broken (the user has been told):
    // end through the normal close, which still writes the settings.
    g.st.closeRequested = 1;
    s.host.SetTimerEnabled(true);
  }
  s.host.SetClientSize(FormId::keyFM, kCommandListSize);
  KeyFormCreate(g);
  FormShow(g);
  return started ? 1 : 0;
}

// "-" and "=" (no keypad) turn the music down and up, with Shift the sound
// effects; the host keeps them, as on the desktop.
extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_volume(int step, int effects) {
  if (!session || !session->game) return;
  Game& g = *session->game;
  uint8_t& volume = effects ? g.st.effectsVolume : g.st.musicVolume;
  volume = static_cast<uint8_t>(std::clamp(volume + step, 0, 100));
  JsVolumes(g.st.musicVolume, g.st.effectsVolume);
}

// A key by KeyboardEvent.code; numLock tells the keypad's digits from its
// cursor keys. Returns the game's key code, 0 for a key the game never sees.
extern "C" EMSCRIPTEN_KEEPALIVE int kelvane_key(const char* code, int numLock, int down, int shift,
                                                int alt, int repeat) {
  int vk = DomCodeToVk(code, numLock != 0);
  if (vk == 0 || !session || !session->game || session->host.ended) return vk;
  session->keys.down[static_cast<size_t>(vk)] = down != 0;
  if ((!down && repeat) || session->host.Held()) return vk;
  Game& g = *session->game;
  // KeyDown and KeyUp write the key to the trace themselves.
  ShiftState st{shift != 0, alt != 0};
  if (down)
    KeyDown(g, FormId::FM, vk, st);
  else
    KeyUp(g, FormId::FM, vk, st);
  session->host.Wake();
  return vk;
}

// A key typed while the command list has the focus: the list passes it to
// the game as its own window does, and hides itself on Escape's release.
extern "C" EMSCRIPTEN_KEEPALIVE int kelvane_list_key(const char* code, int numLock, int down,
                                                     int shift, int alt, int repeat) {
  int vk = DomCodeToVk(code, numLock != 0);
  if (vk == 0 || !session || !session->game || session->host.ended) return vk;
  session->keys.down[static_cast<size_t>(vk)] = down != 0;
  if ((!down && repeat) || session->host.Held()) return vk;
  const ShiftState st{shift != 0, alt != 0};
  if (down)
    KeyFormKeyDown(*session->game, vk, st);
  else
    KeyFormKeyUp(*session->game, vk, st);
  session->host.Wake();
  return vk;
}

// A gamepad button turned into a key, as on the desktop (no shift state).
extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_pad_key(int vk, int down) {
  if (!session || !session->game || session->host.ended || vk <= 0 || vk > 255) return;
  session->keys.down[static_cast<size_t>(vk)] = down != 0;
  if (session->host.Held()) return;
  if (down)
    KeyDown(*session->game, FormId::FM, vk, {});
  else
    KeyUp(*session->game, FormId::FM, vk, {});
  session->host.Wake();
}

// kind: 0 move, 1 down, 2 up, 3 wheel up, 4 wheel down; x and y in game
// pixels of the play area; inside whether the pointer is over it.
extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_mouse(int kind, int button, int x, int y, int inside,
                                                   int shift, int alt) {
  if (!session || !session->game || session->host.ended) return;
  Game& g = *session->game;
  PageHost& h = session->host;
  h.mouse = {x, y};
  h.mouseInside = inside != 0;
  if (h.Held()) return;
  const ShiftState st{shift != 0, alt != 0};
  const Point p{x, y};
  const MouseButton b = button == 2 ? MouseButton::Right : button == 1 ? MouseButton::Middle
                                                                       : MouseButton::Left;
  switch (kind) {
    case 0: MouseMove(g, p, st); break;
    case 1: MouseDown(g, b, p, st); break;
    case 2: MouseUp(g, b, p, st); break;
    case 3: MouseWheel(g, true, p, st); break;
    case 4: MouseWheel(g, false, p, st); break;
    default: break;
  }
  h.Wake();
}

// Files dropped on the page, already written into the page's file system;
// one path a line. A window that does not take drops never hears of them.
extern "C" EMSCRIPTEN_KEEPALIVE int kelvane_drop(const char* pathLines) {
  if (!session || !session->game || session->host.ended || session->host.Held() ||
      !session->host.AcceptsDrops())
    return 0;
  std::vector<std::string> paths;
  std::string all = pathLines;
  for (size_t p = 0; p < all.size();) {
    size_t e = all.find('\n', p);
    if (e == std::string::npos) e = all.size();
    if (e > p) paths.push_back(all.substr(p, e - p));
    p = e + 1;
  }
  if (paths.empty()) return 0;
  DropFiles(*session->game, paths);
  session->host.Wake();
  return 1;
}

extern "C" EMSCRIPTEN_KEEPALIVE int kelvane_accepts_drops() {
  return session && session->game && !session->host.ended && session->host.AcceptsDrops();
}

extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_blur() {
  if (!session || !session->game || session->host.ended) return;
  FormDeactivate(*session->game);
  session->host.Wake();
}

// The tab comes back: the idle poll resumes at once.
extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_wake() {
  if (session) session->host.Wake();
}

// The page is going away: the game's own close, whose first request is
// refused and done on the next tick; the tab will not see that tick, so it
// runs here.
extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_close() {
  if (!session || !session->game || session->host.ended) return;
  session->host.AskClose();
  if (!session->host.ended) Timer1Timer(*session->game);
  if (!session->host.ended) session->host.AskClose();
}

extern "C" EMSCRIPTEN_KEEPALIVE int kelvane_is_f11(int vk) { return vk == kF11; }

// With the stepped clock: the game's time moves on by ms, a millisecond at
// a time, running what falls due.
extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_advance(double ms) {
  if (!session || !session->clock.stepped) return;
  for (double end = session->clock.steppedNow + ms; session->clock.steppedNow < end;) {
    session->clock.steppedNow += 1;
    session->host.RunDue();
  }
}

// A message box of the page opens (1) or is answered (0).
extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_box(int open) {
  if (session) session->host.Hold(open != 0);
}

// The tick of the open MIDI tune at ms of play, where the page's
// synthesiser seeks to.
extern "C" EMSCRIPTEN_KEEPALIVE double kelvane_music_tick(double ms) {
  if (!session || ms <= 0) return 0;
  return static_cast<double>(session->media.TickAt(static_cast<uint32_t>(std::min(ms, 4e9))));
}

// The desktop's sound balance, for the page's mixing: one place for both.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_sound_balance() {
  static std::string text;
  char json[160];
  std::snprintf(json, sizeof json,
                "{\"effectsGain\": %.6f, \"unmeasuredGain\": %.6f, \"effectsGainAsMade\": %.6f}",
                sound_balance::GainFactor(sound_balance::kEffectsGainDb),
                sound_balance::GainFactor(sound_balance::kUnmeasuredGainDb), sound_balance::kEffectsFactorAsMade);
  text = json;
  return text.c_str();
}

// The gain (dB) that brings a tune the page measured to the game's loudness.
extern "C" EMSCRIPTEN_KEEPALIVE double kelvane_normalising_gain_db(double lufs, double peakDb) {
  return sound_balance::NormalisingGainDb(lufs, peakDb);
}

// The command list's rows as JSON: captions, then rows of UTF-8 texts.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_command_list() {
  if (!session || !session->game) return "{}";
  Game& g = *session->game;
  std::string json = "{\"caption\":" + JsonString(SjisToUtf8(CommandListCaption())) +
                     ",\"sortKey\":" + std::to_string(g.keyList.sortKey) + ",\"columns\":[";
  for (size_t i = 0; i < kCommandListColumns.size(); ++i)
    json += (i ? "," : "") + JsonString(kCommandListColumns[i].caption);
  json += "],\"widths\":[";
  for (size_t i = 0; i < kCommandListColumns.size(); ++i)
    json += (i ? "," : "") + std::to_string(kCommandListColumns[i].width);
  json += "],\"rows\":[";
  for (size_t r = 0; r < g.keyList.rows.size(); ++r) {
    json += r ? ",[" : "[";
    for (size_t c = 0; c < CommandListRow::kColumns; ++c)
      json += (c ? "," : "") + JsonString(SjisToUtf8(g.keyList.rows[r].texts[c]));
    json += "]";
  }
  return Hand(json + "]}");
}

extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_command_list_sort(int column) {
  if (session && session->game) ListView1ColumnClick(*session->game, column);
}

extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_command_list_hide() {
  if (session) session->host.SetVisible(FormId::keyFM, false);
}

// A record file the player loads into slot n (1..9): refused, with the
// reason, unless it parses and its check value matches, the checks a slot
// file meets when the game loads it. Returns "" when stored, or, without
// store, when it would be.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_import_record(int n, const char* path,
                                                                  int store) {
  if (!session || !session->game) return "The game has not started.";
  if (n < 1 || n > 9) return "There are nine slots, 1 to 9.";
  Game& g = *session->game;
  StdFileSystem upload;
  std::string error;
  std::optional<record::ParsedRecord> parsed = record::ReadRecordFile(upload, path, error);
  if (!parsed) return Hand("The record is refused: " + error);
  if (!parsed->checks) return Hand(std::string("The record is refused: ") + record::kCheckMismatch);
  std::optional<std::string> bytes = upload.ReadFile(path);
  if (!bytes) return "The record is refused: the file cannot be read";
  if (!store) return "";
  if (!g.pf.files->WriteFile(SlotFileName(g, n), *bytes)) return "The slot could not be written.";
  return "";
}

// What slot n holds, as JSON, for the page to name before a loaded file
// replaces it: "" for an empty slot, the header's name, area and first line
// otherwise (unreadable: a file is there that is no record). Reads only;
// the slot scenes' own summaries are left as they are.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_slot_holds(int n) {
  if (!session || !session->game || n < 1 || n > 9) return "";
  FileSystem& files = *session->game->pf.files;
  const std::string file = SlotFileName(*session->game, n);
  if (!files.Exists(file)) return "";
  const std::optional<uint64_t> size = files.FileSize(file);
  std::optional<std::string> bytes;
  if (size && *size <= record::kMaxFileBytes) bytes = files.ReadFile(file);
  std::optional<record::SlotHeader> h;
  if (bytes) h = record::ParseSlotHeader(*bytes);
  if (!h) return "{\"unreadable\":true}";
  return Hand("{\"name\":" + JsonString(SjisToUtf8(h->name)) + ",\"area\":" +
              JsonString(SjisToUtf8(h->area)) + ",\"caption\":" +
              JsonString(SjisToUtf8(h->caption)) + "}");
}

// The slot file of slot n as the game names it, for the page's download.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_slot_file(int n) {
  if (!session || !session->game || n < 1 || n > 9) return "";
  return Hand(SlotFileName(*session->game, n));
}

// ---- The coach beside the stage --------------------------------------------

// The page's translations, one "context US source US text" a record, records
// apart by RS; an empty table is English.
extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_coach_texts(const char* table) {
  if (!session) return;
  session->coachTexts.clear();
  std::string all = table;
  for (size_t at = 0; at < all.size();) {
    size_t end = all.find('\x1e', at);
    if (end == std::string::npos) end = all.size();
    const std::string record = all.substr(at, end - at);
    const size_t a = record.find('\x1f');
    const size_t b = a == std::string::npos ? a : record.find('\x1f', a + 1);
    if (b != std::string::npos) session->coachTexts[record.substr(0, b)] = record.substr(b + 1);
    at = end + 1;
  }
}

// The panel as JSON, as the desktop's coach window shows it.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_coach() {
  if (!session || !session->game) return "{}";
  return Hand(PanelJson(session->coach.Render(*session->game, PageTranslate)));
}

extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_how_to() {
  if (!session) return "{}";
  const HowTo h = MakeHowTo(PageTranslate);
  return Hand("{\"title\":" + JsonString(h.title) + ",\"html\":" + JsonString(HowToHtml(h)) +
              ",\"close\":" + JsonString(h.close) + "}");
}
