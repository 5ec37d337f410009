#include "platform/sdl/synthesiser.h"

#include <fcntl.h>
#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

namespace kelvane {
namespace {

constexpr double kSynthGain = 0.25;
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
  std::vector<SynthPreset> kept;      // pinned in the synthesiser
  std::vector<SynthPreset> wanted;    // asked for, pinned once ready
  std::vector<SynthPreset> current;   // the presets of the tune opened last
  std::vector<SynthPreset> previous;  // the tune before, kept as well
  ~SynthGlobals() {
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

// Runs with g.m held.
void PinWanted(SynthGlobals& g) {
  for (const SynthPreset& p : g.wanted)
    fluid_synth_pin_preset(g.synth, g.fontId, p.bank, p.program);
  for (const SynthPreset& p : g.kept) {
    bool stillWanted = false;
    for (const SynthPreset& w : g.wanted) stillWanted |= w == p;
    if (!stillWanted) fluid_synth_unpin_preset(g.synth, g.fontId, p.bank, p.program);
  }
  g.kept = g.wanted;
}

void LoadSoundFont(std::string path) {
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
  std::lock_guard<std::mutex> lock(g.m);
  ++g.loads;
  g.fontId = id;
  g.state = id >= 0 ? SynthState::Ready : SynthState::NoSoundFont;
  if (id >= 0) PinWanted(g);
  g.changed.notify_all();
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
  for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
    fluid_set_log_function(level, QuietLog, nullptr);
  g.settings = new_fluid_settings();
  fluid_settings_setnum(g.settings, "synth.sample-rate", kSynthRate);
  fluid_settings_setint(g.settings, "synth.dynamic-sample-loading", 1);
  // The level that keeps the default tunes' loudest passages clear of the
  // stream's limiter and leaves room for the sound effects on top.
  fluid_settings_setnum(g.settings, "synth.gain", kSynthGain);
  fluid_settings_setint(g.settings, "synth.polyphony", 128);
  fluid_settings_setint(g.settings, "synth.cpu-cores", 1);
  g.synth = new_fluid_synth(g.settings);
  if (!g.synth) {
    delete_fluid_settings(g.settings);
    g.settings = nullptr;
    g.state = SynthState::NoSoundFont;
    return;
  }
  g.state = SynthState::Loading;
  g.loader = std::thread(LoadSoundFont, g.fontPath);
}

void StopSynthesiser() {
  SynthGlobals& g = G();
  if (g.loader.joinable()) g.loader.join();
  std::lock_guard<std::mutex> lock(g.m);
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
  std::lock_guard<std::mutex> lock(G().m);
  return G().state == SynthState::Ready ? G().synth : nullptr;
}

std::string SoundFontPath() {
  std::lock_guard<std::mutex> lock(G().m);
  return G().fontPath;
}

int SoundFontLoads() {
  std::lock_guard<std::mutex> lock(G().m);
  return G().loads;
}

void KeepPresetsLoaded(const std::vector<SynthPreset>& presets) {
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
  g.wanted = now;
  if (g.state == SynthState::Ready) PinWanted(g);
}

}  // namespace kelvane
