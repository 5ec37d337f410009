#include "platform/headless/headless_host.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "actiondata/command_list_window.h"
#include "app/frame_pacing.h"
#include "app/game.h"
#include "app/input_events.h"
#include "app/lifecycle.h"
#include "app/options.h"
#include "app/trace.h"
#include "coach/coach_state.h"
#include "config/numbered_files.h"
#include "config/settings.h"
#include "config/startup_choices.h"
#include "flow/record_slots.h"
#include "music/audio_length.h"
#include "platform/core/messages.h"
#include "platform/core/png_writer.h"
#include "platform/core/shown_name.h"
#include "platform/core/std_files.h"
#include "platform/core/text_codec.h"
#include "platform/headless/input_script.h"

namespace kelvane {

void HeadlessApp::ShowMessage(const std::string& text) {
  messages.push_back(text);
  std::cerr << "kelvane: " << WordMessage(text, language, writePlace) << "\n";
}

void HeadlessWindow::SetCaption(FormId form, const std::string& sjisText) {
  At(form).caption = sjisText;
  if (game && game->trace && form == FormId::FM) game->trace->Caption(game->Now(), sjisText);
}

Point HeadlessWindow::ClientOrigin(FormId form) {
  Form& f = At(form);
  bool framed = f.border != BorderStyle::None;
  return {f.position.x + (framed ? kFrameLeft : 0), f.position.y + (framed ? kFrameTop : 0)};
}

Point HeadlessWindow::ScreenToClient(FormId form, Point p) {
  const Point o = ClientOrigin(form);
  return {p.x - o.x, p.y - o.y};
}

void HeadlessWindow::SetPointerPos(Point p) {
  pointer = p;
  if (game && game->trace) game->trace->Pointer(game->Now(), p.x, p.y);
}

void HeadlessWindow::Close(FormId form) {
  if (form != FormId::FM) {
    At(form).visible = false;
    return;
  }
  if (mainClosed || !game) return;
  if (FormCloseQuery(*game)) {
    FormClose(*game);
    mainClosed = true;
  }
}

void HeadlessWindow::Present(const FrameView& frame) {
  lastWidth = frame.width;
  lastHeight = frame.height;
  lastFrame.resize(static_cast<size_t>(frame.width) * frame.height);
  for (int y = 0; y < frame.height; ++y)
    std::copy_n(frame.pixels + static_cast<size_t>(y) * frame.stride, frame.width,
                lastFrame.begin() + static_cast<std::ptrdiff_t>(y) * frame.width);
  if (!framesDir.empty() && presented % static_cast<uint64_t>(frameEvery) == 0) {
    // The client area shows the top-left part of the frame.
    Size client = At(FormId::FM).client;
    FrameView shown = frame;
    if (client.w > 0 && client.h > 0) {
      shown.width = std::min(frame.width, client.w);
      shown.height = std::min(frame.height, client.h);
    }
    char name[32];
    std::snprintf(name, sizeof name, "frame%06llu.png", static_cast<unsigned long long>(presented));
    WritePng(framesDir + "/" + name, shown);
  }
  ++presented;
}

FormId HeadlessWindow::WindowAt(Point p) {
  for (FormId id : {FormId::FM, FormId::keyFM}) {
    Form& f = At(id);
    if (!f.visible) continue;
    Point o = ClientOrigin(id);
    if (p.x >= o.x && p.y >= o.y && p.x < o.x + f.client.w && p.y < o.y + f.client.h) return id;
  }
  return FormId::None;
}

int HeadlessMedia::OpenFile(const std::string& path) {
  if (isOpen) return Result(259);  // already open
  std::optional<uint32_t> ms = measure ? measure(path) : std::nullopt;
  if (!ms) return Result(275);  // cannot find or use the file
  isOpen = true;
  playing = false;
  // The file found for the name: the player's copy of an installed game.
  file = locate ? locate(path) : path;
  length = *ms;
  return Result(0);
}

// The codes the window's media device gives for a drive without a usable
// disc and for a data track.
constexpr int kNoDisc = 274;
constexpr int kNotAudioTrack = 324;

int HeadlessMedia::OpenCD(const std::string& drive) {
  if (isOpen) return Result(259);
  for (const HeadlessDisc& d : discs) {
    if (d.label != drive || d.tracks.empty()) continue;
    isOpen = true;
    playing = false;
    disc = &d;
    file.clear();
    length = d.tracks.back().startMs + d.tracks.back().lengthMs;
    return Result(0);
  }
  return Result(kNoDisc);
}

int HeadlessMedia::Length(uint32_t& ms) {
  if (!isOpen) return Result(kNotOpen);
  ms = length;
  return Result(0);
}

int HeadlessMedia::TrackCount(int& tracks) {
  if (!isOpen) return Result(kNotOpen);
  tracks = disc ? static_cast<int>(disc->tracks.size()) : 1;
  return Result(0);
}

int HeadlessMedia::TrackStart(int track, uint32_t& ms) {
  if (!isOpen) return Result(kNotOpen);
  if (!disc) {
    ms = 0;
    return Result(0);
  }
  if (track < 1 || track > static_cast<int>(disc->tracks.size())) return Result(kNoDisc);
  ms = disc->tracks[static_cast<size_t>(track - 1)].startMs;
  return Result(0);
}

int HeadlessMedia::TrackLength(int track, uint32_t& ms) {
  if (!isOpen) return Result(kNotOpen);
  if (!disc) {
    ms = length;
    return Result(0);
  }
  if (track < 1 || track > static_cast<int>(disc->tracks.size())) return Result(kNoDisc);
  const HeadlessDisc::Track& t = disc->tracks[static_cast<size_t>(track - 1)];
  if (!t.audio) return Result(kNotAudioTrack);
  ms = t.lengthMs;
  return Result(0);
}

MediaMode HeadlessMedia::Mode() {
  if (!isOpen) return MediaMode::NotReady;
  return playing ? MediaMode::Playing : MediaMode::Stopped;
}

int HeadlessMedia::Play(std::optional<uint32_t>, std::optional<uint32_t>) {
  if (!isOpen) return Result(kNotOpen);
  playing = true;
  return Result(0);
}

int HeadlessMedia::Stop() {
  if (!isOpen) return Result(kNotOpen);
  playing = false;
  return Result(0);
}

int HeadlessMedia::Close() {
  if (!isOpen) return Result(kNotOpen);
  isOpen = false;
  disc = nullptr;
  playing = false;
  return Result(0);
}

std::string HeadlessMedia::ErrorText(int code) {
  switch (code) {
    case 0: return "";
    case kNotOpen: return "The device is not open.";
    case 259: return "The device is already open.";
    default: return "The file cannot be played by the media device.";
  }
}

namespace {

// Frame pacing jitter as running figures, so that a long run does not grow:
// a histogram of microseconds gives the mean and the 99th percentile.
struct JitterStats {
  // 1 us bins up to 262 ms (beyond a frame of play even in virtual time),
  // then 1 ms bins up to 65 s; 1 MB, and only with --stats.
  static constexpr size_t kFine = size_t{1} << 18;
  static constexpr size_t kCoarse = size_t{1} << 16;
  std::vector<uint32_t> bins;
  uint64_t count = 0;
  double sum = 0;
  void Add(double ms) {
    if (bins.empty()) bins.assign(kFine + kCoarse, 0);
    ++count;
    sum += ms;
    const double us = std::max(0.0, std::round(ms * 1000.0));
    size_t bin = us < kFine ? static_cast<size_t>(us)
                            : kFine + std::min(kCoarse - 1, static_cast<size_t>(us / 1000.0) -
                                                                kFine / 1000);
    ++bins[bin];
  }
  double Mean() const { return count ? sum / static_cast<double>(count) : 0; }
  double Percentile(double p) const {
    if (!count) return 0;
    const uint64_t rank = std::max<uint64_t>(1, static_cast<uint64_t>(std::ceil(p * count)));
    uint64_t seen = 0;
    for (size_t b = 0; b < bins.size(); ++b) {
      seen += bins[b];
      if (seen >= rank)
        return b < kFine ? static_cast<double>(b) / 1000.0
                         : static_cast<double>(b - kFine + kFine / 1000);
    }
    return 0;
  }
};

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Harness {
  explicit Harness(const FilePlaces& places) : files(places) {}
  VirtualClock clock;
  HeadlessApp app;
  HeadlessWindow window;
  HeadlessKeys keys;
  HeadlessMedia media;
  HeadlessSound sound;
  StdFileSystem files;
};

// A scripted mouse event happens where the pointer is.
void PointAt(Harness& h, Point client) {
  const Point o = h.window.ClientOrigin(FormId::FM);
  h.window.pointer = {o.x + client.x, o.y + client.y};
}

// Dropped names as a file manager hands them over: relative names are
// taken from the data folder, so a script can drop the data's own tunes.
std::vector<std::string> DroppedPaths(const Game& g, const std::vector<std::string>& names) {
  std::vector<std::string> paths;
  for (const std::string& name : names)
    paths.push_back(!name.empty() && name[0] == '/' ? name : g.st.dataFolder + name);
  return paths;
}

void Deliver(Game& g, Harness& h, const InputEvent& e) {
  switch (e.kind) {
    case InputEvent::Kind::KeyDown:
      h.keys.down[static_cast<size_t>(e.vk)] = true;
      KeyDown(g, FormId::FM, e.vk, e.shift);
      break;
    case InputEvent::Kind::KeyUp:
      h.keys.down[static_cast<size_t>(e.vk)] = false;
      KeyUp(g, FormId::FM, e.vk, e.shift);
      break;
    case InputEvent::Kind::MouseDown:
      PointAt(h, e.pos);
      MouseDown(g, e.button, e.pos, e.shift);
      break;
    case InputEvent::Kind::MouseUp:
      PointAt(h, e.pos);
      MouseUp(g, e.button, e.pos, e.shift);
      break;
    case InputEvent::Kind::MouseMove:
      PointAt(h, e.pos);
      MouseMove(g, e.pos, e.shift);
      break;
    case InputEvent::Kind::WheelUp:
    case InputEvent::Kind::WheelDown:
      PointAt(h, e.pos);
      MouseWheel(g, e.kind == InputEvent::Kind::WheelUp, e.pos, e.shift);
      break;
    case InputEvent::Kind::Drop:
      // A window that does not take drops never hears of them.
      if (h.window.At(FormId::FM).acceptsDrops) DropFiles(g, DroppedPaths(g, e.paths));
      break;
    case InputEvent::Kind::Close:
      h.window.Close(FormId::FM);
      break;
  }
}

}  // namespace

int RunHeadless(const Options& o, const std::string& dataFolder) {
  return RunHeadless(o, FilePlaces{dataFolder, {}, {}, {}, {}});
}

int RunHeadless(const Options& o, const FilePlaces& places,
                const std::vector<HeadlessDisc>& discs) {
  const std::string& dataFolder = places.dataFolder;
  std::vector<InputEvent> events;
  if (!o.inputFile.empty()) {
    StdFileSystem fs;
    auto text = fs.ReadFile(o.inputFile);
    if (!text) {
      std::cerr << ShownName(o.inputFile) << ": cannot read the input script\n";
      return 2;
    }
    std::string error;
    auto parsed = ParseInputScript(*text, o.inputFile, error);
    if (!parsed) {
      std::cerr << error << "\n";
      return 2;
    }
    events = std::move(*parsed);
  }
  std::FILE* traceFile = nullptr;
  if (!o.traceFile.empty()) {
    traceFile = std::fopen(o.traceFile.c_str(), "w");
    if (!traceFile) {
      std::cerr << ShownName(o.traceFile) << ": cannot write the trace\n";
      return 2;
    }
  }

  if (!o.framesDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.framesDir, ec);
    if (ec) {
      std::cerr << ShownName(o.framesDir) << ": cannot create the frames folder: " << ec.message()
                << "\n";
      return 2;
    }
  }

  auto h = std::make_unique<Harness>(places);
  Platform pf{&h->clock, &h->app, &h->window, &h->keys, &h->media, &h->sound, &h->files};
  auto game = std::make_unique<Game>(pf);
  Game& g = *game;
  TraceLog trace(traceFile);
  if (traceFile) g.trace = &trace;
  // The coach keeps the player's bests only where a window would: a run
  // that asks for the panel's texts.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> coachFile(nullptr, &std::fclose);
  std::unique_ptr<CoachLog> coach;
  if (!o.coachFile.empty()) {
    coachFile.reset(std::fopen(o.coachFile.c_str(), "w"));
    if (!coachFile) {
      std::cerr << o.coachFile << ": cannot write the coach's texts\n";
      if (traceFile) std::fclose(traceFile);
      return 2;
    }
    coach = std::make_unique<CoachLog>(coachFile.get(), true);
    g.judges.Add(coach.get());
  }
  h->window.game = &g;
  h->window.framesDir = o.framesDir;
  h->window.frameEvery = o.frameEvery;
  h->app.language =
      RunLanguage(o.lang, [](const char* name) { return static_cast<const char*>(std::getenv(name)); });
  h->app.writePlace = [files = &h->files](const std::string& path) { return files->Locate(path, true); };
  h->media.discs = discs;
  h->media.locate = [files = &h->files](const std::string& path) { return files->Locate(path, false); };
  // Tunes are measured from their headers, as the real device does, so that
  // a headless stage lasts as long as its music would; the player's copy of
  // an installed game's tune is the one measured.
  h->media.measure = [files = &h->files](const std::string& path) -> std::optional<uint32_t> {
    TuneFileResult read = ReadTuneFile(files->Locate(path, false));
    if (!read.file) {
      std::cerr << "kelvane: " << ShownName(path) << ": " << read.why << "\n";
      return std::nullopt;
    }
    return read.file->lengthMs;
  };
  g.args = o.files;

  // Real or virtual time, in milliseconds since the run started.
  using Steady = std::chrono::steady_clock;
  const Steady::time_point wallStart = Steady::now();
  const double cpuStart = CpuSeconds();
  uint64_t ms = 0;
  auto setClock = [&] {
    if (o.realtime)
      ms = static_cast<uint64_t>(
          std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - wallStart).count());
    h->clock.now = o.startTick + static_cast<uint32_t>(ms);
  };
  setClock();

  size_t nextEvent = 0;
  auto deliverDue = [&] {
    while (nextEvent < events.size() && events[nextEvent].ms <= ms && !g.st.halted)
      Deliver(g, *h, events[nextEvent++]);
  };
  h->app.pump = [&] {
    setClock();
    // The loading code sets halted around its pump, so input waits; only a
    // close gets through, as the window's close box would.
    while (nextEvent < events.size() && events[nextEvent].ms <= ms &&
           events[nextEvent].kind == InputEvent::Kind::Close)
      Deliver(g, *h, events[nextEvent++]);
  };

  // The startup dialog is skipped: its choices come from the stored settings
  // as if OK had been pressed, and the wallpaper is drawn the same way.
  DialogSettings stored = StartupFormCreate(g, dataFolder, o.seed);
  WallpaperCounts walls = CountWallpapers(g);
  std::vector<std::string> drives;
  for (const HeadlessDisc& d : discs) drives.push_back(d.label);
  StartupOk(g, InitialChoices(stored, drives, walls.large, walls.small), walls);

  h->window.At(FormId::FM).visible = true;
  bool created = FormCreate(g);
  if (!created) {
    g.st.closeRequested = 1;
    h->app.timerEnabled = true;
  }
  // The command list window follows the main window, hidden until F1.
  h->window.SetClientSize(FormId::keyFM, kCommandListSize);
  KeyFormCreate(g);
  FormShow(g);
  // A record from the command line replays as the first demonstration turn.
  if (created && !o.replayFile.empty()) {
    std::string error;
    if (!PrepareCommandLineReplay(g, o.replayFile, error)) {
      std::cerr << "kelvane: " << error << "\n";
      FormDestroy(g);
      if (traceFile) std::fclose(traceFile);
      return 2;
    }
  }

  // Frame pacing statistics: the jitter of each frame step, how far its
  // start missed the previous step's start plus the interval in force.
  JitterStats jitter;
  std::optional<double> lastStepMs;
  auto drive = [&](auto&& driver) {
    double at = std::chrono::duration<double, std::milli>(Steady::now() - wallStart).count();
    uint16_t interval = g.st.frameInterval;
    uint64_t before = g.frameStepCount;
    driver();
    if (g.frameStepCount == before || !o.stats) return;
    if (lastStepMs) jitter.Add(std::fabs(at - *lastStepMs - interval));
    lastStepMs = at;
  };

  bool closeSent = false;
  uint64_t nextTimer = 0;
  while (!h->window.mainClosed) {
    setClock();
    deliverDue();
    if (o.runMs && ms >= *o.runMs && !closeSent) {
      closeSent = true;
      h->window.Close(FormId::FM);
    }
    if (h->app.timerEnabled && ms >= nextTimer) {
      drive([&] { Timer1Timer(g); });
      nextTimer = o.realtime ? ms + 10 : nextTimer + 10;
    }
    if (h->window.mainClosed) break;
    if (h->app.idleHooked && !g.st.halted) {
      bool done = true;
      drive([&] { AppEvIdle(g, done); });
    }
    if (o.realtime) {
      // Sleep until the next thing is due instead of spinning.
      uint64_t wake = nextTimer;
      if (h->app.idleHooked && !g.st.halted) {
        uint32_t deadline = NextIdleDeadline(g);
        int32_t ahead = static_cast<int32_t>(deadline - h->clock.now);
        wake = std::min<uint64_t>(wake, ms + static_cast<uint64_t>(std::max(ahead, 0)));
      }
      if (nextEvent < events.size()) wake = std::min(wake, events[nextEvent].ms);
      if (o.runMs && !closeSent) wake = std::min(wake, *o.runMs);
      std::this_thread::sleep_until(wallStart + std::chrono::milliseconds(wake));
    } else {
      ++ms;
    }
    if (!h->app.timerEnabled && !h->app.idleHooked && !o.runMs && nextEvent >= events.size()) {
      std::cerr << "kelvane: nothing left to run\n";
      break;
    }
  }
  FormDestroy(g);
  if (traceFile) std::fclose(traceFile);

  if (o.stats) {
    double wall = std::chrono::duration<double>(Steady::now() - wallStart).count();
    double cpu = CpuSeconds() - cpuStart;
    const double mean = jitter.Mean(), p99 = jitter.Percentile(0.99);
    std::printf("frame steps: %llu\njitter mean: %.3f ms\njitter p99: %.3f ms\ncpu: %.2f %% of wall time\n",
                static_cast<unsigned long long>(g.frameStepCount), mean, p99,
                wall > 0 ? 100.0 * cpu / wall : 0.0);
  }
  return created ? 0 : 1;
}

}  // namespace kelvane
