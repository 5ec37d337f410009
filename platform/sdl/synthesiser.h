// The one General MIDI synthesiser of the run. Its soundfont is loaded once,
// on a thread of its own, while the game starts up; every MIDI tune after
// that plays on it, so opening a tune costs no more than reading the file.
// Samples are loaded per instrument as tunes need them, which keeps the
// resident size far below that of the whole soundfont.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_hashtable_t fluid_settings_t;

namespace kelvane {

inline constexpr int kSynthRate = 44100;

enum class SynthState { Off, Loading, Ready, NoSoundFont };

// An instrument a tune plays: bank 128 is the drum kits.
struct SynthPreset {
  int bank = 0;
  int program = 0;
  friend bool operator==(const SynthPreset&, const SynthPreset&) = default;
};

// Creates the synthesiser and starts loading the soundfont in the
// background; does nothing when that has already begun. The soundfont is
// the first file named in SDL_SOUNDFONTS (a list split by ':' or ';') or
// else the first General MIDI soundfont installed.
void StartSynthesiser();
// Waits for the load and frees the synthesiser; the audio stream must no
// longer render it.
void StopSynthesiser();
SynthState SynthesiserState();
// Waits until the load has finished (or timeoutMs passed); true when ready.
bool WaitForSynthesiser(int timeoutMs);
// The synthesiser once it is ready, else null.
fluid_synth_t* Synth();
// The soundfont file chosen (empty when none was found).
std::string SoundFontPath();
// What the synthesiser's sound depends on besides a tune: the soundfont
// file (path, size, time), the settings and the library's version. Empty
// when there is no soundfont.
std::string SynthSignature();
// How many times a soundfont has been loaded in this process.
int SoundFontLoads();

// Asks for the samples of these instruments (and of the tune opened before)
// to be kept in memory, letting go of others, so no sample is read from disk
// while the audio plays. The loading runs on the synthesiser's worker;
// returns a request number for PresetsLoaded.
uint64_t KeepPresetsLoaded(const std::vector<SynthPreset>& presets);
// The request has been carried out (or never will be: no soundfont).
bool PresetsLoaded(uint64_t request);

// A synthesiser apart from the game's, for rendering tunes on a thread of
// their own without ever holding up the game's music: same soundfont and
// settings, so a tune sounds the same on it, sample for sample. It loads the
// soundfont (SoundFontPath()) on the thread that makes it; Get() is null
// without one.
class PrivateSynth {
 public:
  explicit PrivateSynth(const std::string& soundFont);
  ~PrivateSynth();
  PrivateSynth(const PrivateSynth&) = delete;
  PrivateSynth& operator=(const PrivateSynth&) = delete;
  fluid_synth_t* Get() const;
  // Loads these instruments' samples now, before the tune needs them.
  void Load(const std::vector<SynthPreset>& presets);

 private:
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  int font_ = -1;
};

}  // namespace kelvane
