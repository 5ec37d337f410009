// kelvane-page-tunes: renders the data folder's MIDI tunes as the desktop
// plays them (its synthesiser, settings and soundfont), brings each to the
// target loudness, and writes them as MP3 for the page and the desktop to
// ship: with a list the page reads to find a tune's render and to start it
// on the right sample (tunes.json), and one the desktop reads to find the
// render of a score made with its synthesiser (renders.txt).
//   kelvane-page-tunes --data DIR --out DIR [--reference DIR]
// --reference also writes each normalised render as a 16-bit WAV, for
// comparing what the page decodes against what the desktop plays.
#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "music/audio_length.h"
#include "music/midi_events.h"
#include "music/sound_balance.h"
#include "platform/core/loudness.h"
#include "platform/sdl/midi_source.h"
#include "platform/sdl/rendered_tunes.h"
#include "platform/sdl/shipped_renders.h"
#include "platform/sdl/synthesiser.h"

namespace fs = std::filesystem;
using namespace kelvane;

namespace {

// VBR quality 5 (about 130 kbit/s on these tunes): a tenth of the render's
// size, and the difference from the render lies far under the music.
constexpr float kVbrQuality = 5.0f;
// Every MP3 decoder gives this many samples of its own before the encoder's.
constexpr int kDecoderDelay = 529;

// The page's own check that a file is the one rendered (FNV-1a, 32 bits):
// a player's copy under the same name plays through the synthesiser.
uint32_t PageHash(const std::string& bytes) {
  uint32_t h = 0x811c9dc5u;
  for (unsigned char c : bytes) h = (h ^ c) * 0x01000193u;
  return h;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The level of the sounding part: RMS (dBFS) over the 50 ms blocks that are
// not silent. The page's tests measure its output the same way.
double SoundingRmsDb(const std::vector<float>& pcm, int rate) {
  const size_t block = static_cast<size_t>(rate) / 20 * 2;
  double sum = 0;
  size_t counted = 0;
  for (size_t at = 0; at < pcm.size(); at += block) {
    const size_t n = std::min(block, pcm.size() - at);
    double s = 0;
    for (size_t i = at; i < at + n; ++i) s += static_cast<double>(pcm[i]) * pcm[i];
    if (s / static_cast<double>(n) < 1e-6) continue;  // under -60 dBFS
    sum += s;
    counted += n;
  }
  return counted ? 10 * std::log10(sum / static_cast<double>(counted)) : -HUGE_VAL;
}

struct Encoded {
  std::vector<unsigned char> bytes;
  int delay = 0;    // samples before the first of the render, decoder's included
  int padding = 0;  // samples after its last
};

std::optional<Encoded> EncodeMp3(const std::vector<float>& pcm, int rate) {
  std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
  if (!lame) return std::nullopt;
  lame_set_in_samplerate(lame.get(), rate);
  lame_set_out_samplerate(lame.get(), rate);
  lame_set_num_channels(lame.get(), 2);
  lame_set_VBR(lame.get(), vbr_default);
  lame_set_VBR_quality(lame.get(), kVbrQuality);
  lame_set_bWriteVbrTag(lame.get(), 1);
  if (lame_init_params(lame.get()) < 0) return std::nullopt;
  Encoded out;
  const size_t frames = pcm.size() / 2;
  constexpr size_t kChunk = 8192;
  std::vector<unsigned char> buffer(kChunk * 5 / 4 + 7200);
  for (size_t at = 0; at < frames; at += kChunk) {
    const int n = static_cast<int>(std::min(kChunk, frames - at));
    const int got = lame_encode_buffer_interleaved_ieee_float(lame.get(), pcm.data() + at * 2, n, buffer.data(),
                                                              static_cast<int>(buffer.size()));
    if (got < 0) return std::nullopt;
    out.bytes.insert(out.bytes.end(), buffer.begin(), buffer.begin() + got);
  }
  const int got = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
  if (got < 0) return std::nullopt;
  out.bytes.insert(out.bytes.end(), buffer.begin(), buffer.begin() + got);
  // The first frame was kept for the tag that tells decoders the length,
  // the delay and the padding; it is known only now.
  std::vector<unsigned char> tag(4096);
  const size_t tagSize = lame_get_lametag_frame(lame.get(), tag.data(), tag.size());
  if (tagSize > 0 && tagSize <= out.bytes.size()) std::copy_n(tag.begin(), tagSize, out.bytes.begin());
  out.delay = lame_get_encoder_delay(lame.get()) + kDecoderDelay;
  out.padding = lame_get_encoder_padding(lame.get()) - kDecoderDelay;
  return out;
}

bool WriteFile(const fs::path& path, const void* data, size_t size) {
  const fs::path temp = path.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) return false;
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  return !ec;
}

bool WriteWav(const fs::path& path, const std::vector<float>& pcm, int rate) {
  std::vector<unsigned char> wav(44 + pcm.size() * 2);
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) wav[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  std::memcpy(wav.data(), "RIFF", 4);
  put(4, static_cast<uint32_t>(wav.size() - 8), 4);
  std::memcpy(wav.data() + 8, "WAVEfmt ", 8);
  put(16, 16, 4);
  put(20, 1, 2);
  put(22, 2, 2);
  put(24, static_cast<uint32_t>(rate), 4);
  put(28, static_cast<uint32_t>(rate) * 4, 4);
  put(32, 4, 2);
  put(34, 16, 2);
  std::memcpy(wav.data() + 36, "data", 4);
  put(40, static_cast<uint32_t>(pcm.size() * 2), 4);
  for (size_t i = 0; i < pcm.size(); ++i) {
    const long v = std::lround(std::clamp(pcm[i], -1.0f, 1.0f) * 32767.0f);
    put(44 + i * 2, static_cast<uint32_t>(static_cast<int16_t>(v)) & 0xffff, 2);
  }
  return WriteFile(path, wav.data(), wav.size());
}

bool IsMidi(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".mid" || ext == ".midi";
}

bool IsEffect(const fs::path& p) {
  const std::string name = p.filename().string();
  return name.rfind("Y_q", 0) == 0 && p.extension() == ".wav";
}

// 16-bit PCM of a plain WAV file as floats, or nothing.
std::optional<std::vector<float>> ReadWav16(const std::string& bytes, int* rate) {
  if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
    return std::nullopt;
  auto u = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  size_t at = 12;
  int channels = 0, bits = 0;
  while (at + 8 <= bytes.size()) {
    const uint32_t size = u(at + 4, 4);
    if (bytes.compare(at, 4, "fmt ") == 0 && at + 24 <= bytes.size()) {
      channels = static_cast<int>(u(at + 10, 2));
      *rate = static_cast<int>(u(at + 12, 4));
      bits = static_cast<int>(u(at + 22, 2));
    } else if (bytes.compare(at, 4, "data") == 0) {
      if (bits != 16 || channels < 1 || channels > 2) return std::nullopt;
      const size_t end = std::min<size_t>(bytes.size(), at + 8 + size);
      std::vector<float> out;
      for (size_t i = at + 8; i + 2 * channels <= end; i += 2 * channels)
        for (int c = 0; c < 2; ++c) {
          const auto v = static_cast<int16_t>(u(i + 2 * std::min(c, channels - 1), 2));
          out.push_back(static_cast<float>(v) / 32768.0f);
        }
      return out;
    }
    at += 8 + size + (size & 1);
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  std::string data, out, reference;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--data") data = argv[i + 1];
    else if (opt == "--out") out = argv[i + 1];
    else if (opt == "--reference") reference = argv[i + 1];
  }
  if (data.empty() || out.empty()) {
    std::fprintf(stderr, "usage: kelvane-page-tunes --data DIR --out DIR [--reference DIR]\n");
    return 2;
  }
  const std::string soundFont = SoundFontPath();
  if (soundFont.empty()) {
    std::fprintf(stderr, "kelvane-page-tunes: no General MIDI soundfont found\n");
    return 1;
  }
  std::error_code ec;
  fs::create_directories(out, ec);
  if (!reference.empty()) fs::create_directories(reference, ec);

  std::vector<fs::path> tunes, effects;
  for (const fs::directory_entry& e : fs::directory_iterator(data, ec)) {
    if (IsMidi(e.path())) tunes.push_back(e.path());
    if (IsEffect(e.path())) effects.push_back(e.path());
  }
  std::sort(tunes.begin(), tunes.end());
  std::sort(effects.begin(), effects.end());

  const std::string signature = SynthSignature();
  std::string desktopList = std::string(kShippedRendersHeader) + "\n";
  std::string list = "{\n\"rate\": " + std::to_string(kSynthRate) + ",\n\"tunes\": {";
  int failed = 0;
  bool first = true;
  for (const fs::path& path : tunes) {
    const std::string name = path.filename().string();
    const std::string bytes = ReadAll(path);
    std::optional<MidiTune> tune = ReadMidiTune(bytes);
    if (!tune) {
      std::fprintf(stderr, "%s: not a MIDI file that can be played\n", name.c_str());
      ++failed;
      continue;
    }
    std::shared_ptr<const MidiScore> score = ScoreOf(*tune);
    // A synthesiser fresh for each tune, as the desktop renders: no reverb
    // of one tune carries into the next.
    PrivateSynth synth(soundFont);
    if (!synth.Get()) {
      std::fprintf(stderr, "kelvane-page-tunes: the soundfont %s cannot be loaded\n", soundFont.c_str());
      return 1;
    }
    synth.Load(score->presets);
    MidiSource play(score, 0, score->lengthFrames, 0, {0, nullptr, synth.Get()});
    std::vector<float> pcm(score->lengthFrames * 2);
    size_t done = 0;
    while (done < score->lengthFrames) {
      const size_t got = play.Render(pcm.data() + done * 2, std::min<size_t>(4096, score->lengthFrames - done));
      if (got == 0) break;
      done += got;
    }
    pcm.resize(done * 2);

    LoudnessMeter before(kSynthRate);
    before.Add(pcm.data(), done);
    const LoudnessFigure raw = before.Result();
    const double gainDb = sound_balance::NormalisingGainDb(raw.valid ? raw.integrated_lufs : NAN,
                                                           raw.valid ? raw.true_peak_dbtp : NAN);
    const auto gain = static_cast<float>(sound_balance::GainFactor(gainDb));
    for (float& v : pcm) v *= gain;
    LoudnessMeter after(kSynthRate);
    after.Add(pcm.data(), done);
    const LoudnessFigure normal = after.Result();

    std::optional<Encoded> mp3 = EncodeMp3(pcm, kSynthRate);
    const std::string file = path.stem().string() + ".mp3";
    if (!mp3 || !WriteFile(fs::path(out) / file, mp3->bytes.data(), mp3->bytes.size())) {
      std::fprintf(stderr, "%s: the MP3 could not be made\n", name.c_str());
      ++failed;
      continue;
    }
    // The desktop brings the tune to the target itself from the figure
    // before the gain; printed whole, it gives the same gain as here.
    char line[512];
    std::snprintf(line, sizeof line, "%016llx %zu %.17g %.17g %.17g %zu %016llx %s\n",
                  static_cast<unsigned long long>(RenderKey(*score, signature)), done, gainDb,
                  raw.valid ? raw.integrated_lufs : NAN, raw.valid ? raw.true_peak_dbtp : NAN, mp3->bytes.size(),
                  static_cast<unsigned long long>(ShippedChecksum(std::string(mp3->bytes.begin(), mp3->bytes.end()))),
                  file.c_str());
    desktopList += line;
    if (!reference.empty()) WriteWav(fs::path(reference) / (path.stem().string() + ".wav"), pcm, kSynthRate);
    char entry[512];
    std::snprintf(entry, sizeof entry,
                  "%s\n  \"%s\": {\"file\": \"%s\", \"size\": %zu, \"hash\": %u, \"frames\": %zu, "
                  "\"delay\": %d, \"padding\": %d, \"gainDb\": %.2f, \"lufs\": %.2f, \"rmsDb\": %.2f}",
                  first ? "" : ",", name.c_str(), file.c_str(), bytes.size(), PageHash(bytes), done, mp3->delay,
                  mp3->padding, gainDb, normal.integrated_lufs, SoundingRmsDb(pcm, kSynthRate));
    list += entry;
    first = false;
    std::printf("%s: %.1f s, %.1f LUFS %+.1f dB -> %.1f LUFS, %zu bytes\n", name.c_str(),
                static_cast<double>(done) / kSynthRate, raw.integrated_lufs, gainDb, normal.integrated_lufs,
                mp3->bytes.size());
  }
  // The effects as the desktop mixes them, for the page's balance test.
  list += "\n},\n\"effects\": {";
  first = true;
  const double effectsGain = sound_balance::GainFactor(sound_balance::kEffectsGainDb);
  for (const fs::path& path : effects) {
    int rate = 0;
    std::optional<std::vector<float>> pcm = ReadWav16(ReadAll(path), &rate);
    if (!pcm || rate <= 0) continue;
    for (float& v : *pcm) v = static_cast<float>(v * effectsGain);
    char entry[160];
    std::snprintf(entry, sizeof entry, "%s\n  \"%s\": {\"rmsDb\": %.2f}", first ? "" : ",",
                  path.filename().string().c_str(), SoundingRmsDb(*pcm, rate));
    list += entry;
    first = false;
  }
  list += "\n}\n}\n";
  if (!WriteFile(fs::path(out) / kShippedRendersList, desktopList.data(), desktopList.size()) ||
      !WriteFile(fs::path(out) / "tunes.json", list.data(), list.size())) {
    std::fprintf(stderr, "kelvane-page-tunes: the list could not be written\n");
    return 1;
  }
  return failed ? 1 : 0;
}
