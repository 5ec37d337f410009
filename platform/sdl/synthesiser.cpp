#include "platform/sdl/synthesiser.h"

#include <fcntl.h>
#include <fluidsynth.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

namespace kelvane {
namespace {

constexpr double kSynthGain = 0.25;
constexpr int kPolyphony = 128;
constexpr const char* kInstalledSoundFonts[] = {"/usr/share/sounds/sf2/FluidR3_GM.sf2",
                                                "/usr/share/sounds/sf2/default-GM.sf2",
                                                "/usr/share/soundfonts/default.sf2"};

struct SynthGlobals {
  std::mutex m;
  std::condition_variable changed;
  SynthState state = SynthState::Off;
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  int fontId = -1;
  std::string fontPath;
  std::thread loader;
  int loads = 0;
  std::atomic<fluid_synth_t*> ready{nullptr};  // the synthesiser once its font is in
  std::vector<SynthPreset> kept;               // pinned in the synthesiser
  std::vector<SynthPreset> wanted;             // asked for, pinned by the worker
  uint64_t asked = 0;                          // requests made
  std::atomic<uint64_t> pinned{0};             // requests the worker has carried out
  bool quit = false;
  std::vector<SynthPreset> current;   // the presets of the tune opened last
  std::vector<SynthPreset> previous;  // the tune before, kept as well
  ~SynthGlobals() {
    {
      std::lock_guard<std::mutex> lock(m);
      quit = true;
    }
    changed.notify_all();
    if (loader.joinable()) loader.join();
  }
};

SynthGlobals& G() {
  static SynthGlobals g;
  return g;
}

std::string ChooseSoundFont() {
  if (const char* env = std::getenv("SDL_SOUNDFONTS")) {
    std::string list = env;
    size_t cut = list.find_first_of(":;");
    return list.substr(0, cut);  // named on purpose: no fallback to another
  }
  for (const char* path : kInstalledSoundFonts) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return path;
  }
  return {};
}

// Quiet: a soundfont's harmless complaints do not belong on the console.
void QuietLog(int level, const char* message, void*) {
  if (level <= FLUID_ERR) std::fprintf(stderr, "kelvane: synthesiser: %s\n", message);
}

// Pins the instruments asked for and lets go of the rest. Loading samples
// takes the synthesiser's own lock, so it runs here on the worker rather
// than on the game's thread; a tune waits for it before it starts.
void PinWanted(SynthGlobals& g, std::unique_lock<std::mutex>& lock) {
  std::vector<SynthPreset> wanted = g.wanted, kept = g.kept;
  uint64_t request = g.asked;
  int font = g.fontId;
  lock.unlock();
  for (const SynthPreset& p : wanted) fluid_synth_pin_preset(g.synth, font, p.bank, p.program);
  for (const SynthPreset& p : kept)
    if (std::find(wanted.begin(), wanted.end(), p) == wanted.end())
      fluid_synth_unpin_preset(g.synth, font, p.bank, p.program);
  lock.lock();
  g.kept = wanted;
  g.pinned = request;
}

// The worker: loads the soundfont once, then keeps the instruments of the
// current tunes loaded until the synthesiser stops.
void Work(std::string path) {
  SynthGlobals& g = G();
  int id = fluid_synth_sfload(g.synth, path.c_str(), 1);
  if (id >= 0) {
    // Instruments are read from the file as tunes select them; asking the
    // system to cache the file now makes those reads cheap later.
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
      ::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
      ::close(fd);
    }
  } else {
    std::fprintf(stderr, "kelvane: the soundfont %s cannot be loaded; MIDI tunes stay silent\n",
                 path.c_str());
  }
  std::unique_lock<std::mutex> lock(g.m);
  ++g.loads;
  g.fontId = id;
  g.state = id >= 0 ? SynthState::Ready : SynthState::NoSoundFont;
  if (id >= 0) g.ready = g.synth;
  g.changed.notify_all();
  while (id >= 0) {
    g.changed.wait(lock, [&] { return g.quit || g.pinned != g.asked; });
    if (g.quit) break;
    PinWanted(g, lock);
    g.changed.notify_all();
  }
  if (id < 0) g.pinned = g.asked;  // nothing will ever be pinned: nobody waits
}

// The settings every synthesiser of ours is made with: a tune rendered on
// one sounds the same, sample for sample, as on another.
fluid_settings_t* NewSettings() {
  // The log is the library's own global: set once, whichever thread comes first.
  static std::once_flag quiet;
  std::call_once(quiet, [] {
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
      fluid_set_log_function(level, QuietLog, nullptr);
  });
  fluid_settings_t* settings = new_fluid_settings();
  fluid_settings_setnum(settings, "synth.sample-rate", kSynthRate);
  fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
  // The level that keeps the default tunes' loudest passages clear of the
  // stream's limiter and leaves room for the sound effects on top.
  fluid_settings_setnum(settings, "synth.gain", kSynthGain);
  fluid_settings_setint(settings, "synth.polyphony", kPolyphony);
  fluid_settings_setint(settings, "synth.cpu-cores", 1);
  return settings;
}

}  // namespace

void StartSynthesiser() {
  SynthGlobals& g = G();
  std::lock_guard<std::mutex> lock(g.m);
  if (g.state != SynthState::Off) return;
  g.fontPath = ChooseSoundFont();
  std::error_code ec;
  if (g.fontPath.empty() || !std::filesystem::is_regular_file(g.fontPath, ec)) {
    std::fprintf(stderr, "kelvane: no General MIDI soundfont found; MIDI tunes stay silent\n");
    g.state = SynthState::NoSoundFont;
    return;
  }
  g.settings = NewSettings();
  g.synth = new_fluid_synth(g.settings);
  if (!g.synth) {
    delete_fluid_settings(g.settings);
    g.settings = nullptr;
    g.state = SynthState::NoSoundFont;
    return;
  }
  g.state = SynthState::Loading;
  g.quit = false;
  g.loader = std::thread(Work, g.fontPath);
}

void StopSynthesiser() {
  SynthGlobals& g = G();
  {
    std::lock_guard<std::mutex> lock(g.m);
    g.quit = true;
  }
  g.changed.notify_all();
  if (g.loader.joinable()) g.loader.join();
  std::lock_guard<std::mutex> lock(g.m);
  g.ready = nullptr;
  if (g.synth) delete_fluid_synth(g.synth);
  if (g.settings) delete_fluid_settings(g.settings);
  g.synth = nullptr;
  g.settings = nullptr;
  g.fontId = -1;
  g.kept.clear();
  g.wanted.clear();
  g.current.clear();
  g.previous.clear();
  g.state = SynthState::Off;
}

SynthState SynthesiserState() {
  std::lock_guard<std::mutex> lock(G().m);
  return G().state;
}

bool WaitForSynthesiser(int timeoutMs) {
  SynthGlobals& g = G();
  std::unique_lock<std::mutex> lock(g.m);
  g.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                     [&] { return g.state != SynthState::Loading; });
  return g.state == SynthState::Ready;
}

fluid_synth_t* Synth() {
  return G().ready;
}

std::string SoundFontPath() {
  std::lock_guard<std::mutex> lock(G().m);
  // Before the synthesiser starts, the file it would choose.
  return G().state == SynthState::Off ? ChooseSoundFont() : G().fontPath;
}

std::string SynthSignature() {
  const std::string path = SoundFontPath();
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
  char text[256];
  std::snprintf(text, sizeof text, "|%lld|%lld.%09ld|%d|%g|%d|%s", static_cast<long long>(st.st_size),
                static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec, kSynthRate,
                kSynthGain, kPolyphony, fluid_version_str());
  return path + text;
}

int SoundFontLoads() {
  std::lock_guard<std::mutex> lock(G().m);
  return G().loads;
}

PrivateSynth::PrivateSynth(const std::string& soundFont) {
  std::error_code ec;
  if (soundFont.empty() || !std::filesystem::is_regular_file(soundFont, ec)) return;
  settings_ = NewSettings();
  synth_ = new_fluid_synth(settings_);
  if (synth_) font_ = fluid_synth_sfload(synth_, soundFont.c_str(), 1);
}

PrivateSynth::~PrivateSynth() {
  if (synth_) delete_fluid_synth(synth_);
  if (settings_) delete_fluid_settings(settings_);
}

fluid_synth_t* PrivateSynth::Get() const {
  return font_ >= 0 ? synth_ : nullptr;
}

void PrivateSynth::Load(const std::vector<SynthPreset>& presets) {
  if (!Get()) return;
  for (const SynthPreset& p : presets) fluid_synth_pin_preset(synth_, font_, p.bank, p.program);
}

uint64_t KeepPresetsLoaded(const std::vector<SynthPreset>& presets) {
  SynthGlobals& g = G();
  std::lock_guard<std::mutex> lock(g.m);
  // The tune before stays loaded too: the game goes back and forth between
  // the menu tune and a stage tune, and a looped tune reopens itself.
  if (presets != g.current) {
    g.previous = g.current;
    g.current = presets;
  }
  std::vector<SynthPreset> now = g.current;
  for (const SynthPreset& p : g.previous)
    if (std::find(now.begin(), now.end(), p) == now.end()) now.push_back(p);
  if (now == g.wanted && g.pinned == g.asked) return g.asked;
  g.wanted = now;
  ++g.asked;
  if (g.state == SynthState::NoSoundFont || g.state == SynthState::Off) g.pinned = g.asked;
  g.changed.notify_all();
  return g.asked;
}

bool PresetsLoaded(uint64_t request) {
  return G().pinned >= request;
}

}  // namespace kelvane
