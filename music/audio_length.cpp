#include "music/audio_length.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>

#include "music/midi_length.h"

namespace kelvane {
namespace {

uint32_t Le32(std::string_view b, size_t at) {
  return (uint32_t{static_cast<uint8_t>(b[at + 3])} << 24) |
         (uint32_t{static_cast<uint8_t>(b[at + 2])} << 16) |
         (uint32_t{static_cast<uint8_t>(b[at + 1])} << 8) | uint32_t{static_cast<uint8_t>(b[at])};
}

uint16_t Le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) |
                               (static_cast<uint8_t>(b[at + 1]) << 8));
}

uint32_t CapMs(uint64_t ms) {
  return ms > kMaxTuneLengthMs ? kMaxTuneLengthMs : static_cast<uint32_t>(ms);
}

// One MPEG audio frame header.
struct Mp3Frame {
  uint32_t bytes = 0;
  uint32_t samples = 0;
  uint32_t sampleRate = 0;
};

std::optional<Mp3Frame> ParseMp3Header(std::string_view b, size_t at) {
  if (at + 4 > b.size()) return std::nullopt;
  uint32_t h = (uint32_t{static_cast<uint8_t>(b[at])} << 24) |
               (uint32_t{static_cast<uint8_t>(b[at + 1])} << 16) |
               (uint32_t{static_cast<uint8_t>(b[at + 2])} << 8) | static_cast<uint8_t>(b[at + 3]);
  if ((h & 0xFFE00000u) != 0xFFE00000u) return std::nullopt;
  unsigned version = (h >> 19) & 3;  // 0 MPEG 2.5, 2 MPEG 2, 3 MPEG 1
  unsigned layer = (h >> 17) & 3;    // 1 layer III, 2 layer II, 3 layer I
  unsigned bitrateIndex = (h >> 12) & 15;
  unsigned rateIndex = (h >> 10) & 3;
  unsigned padding = (h >> 9) & 1;
  if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
    return std::nullopt;  // reserved values, or free format, which cannot be walked
  static constexpr uint16_t kBitrates[2][3][15] = {
      // MPEG 1: layer I, II, III
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      // MPEG 2 and 2.5
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static constexpr uint32_t kRates[3] = {44100, 48000, 32000};
  bool mpeg1 = version == 3;
  unsigned layerIndex = 3 - layer;  // 0 layer I, 1 II, 2 III
  uint32_t bitrate = uint32_t{kBitrates[mpeg1 ? 0 : 1][layerIndex][bitrateIndex]} * 1000;
  uint32_t rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
  Mp3Frame f;
  f.sampleRate = rate;
  if (layerIndex == 0) {
    f.samples = 384;
    f.bytes = (12 * bitrate / rate + padding) * 4;
  } else if (layerIndex == 1 || mpeg1) {
    f.samples = 1152;
    f.bytes = 144 * bitrate / rate + padding;
  } else {
    f.samples = 576;
    f.bytes = 72 * bitrate / rate + padding;
  }
  if (f.bytes < 4) return std::nullopt;
  return f;
}

// ID3v2 tags in front of the audio, possibly more than one: the size of
// the tag at the start of b (sync-safe size, header and footer), or 0.
uint64_t Id3TagBytes(std::string_view b) {
  if (b.size() < 10 || b.substr(0, 3) != "ID3") return 0;
  uint32_t size = 0;
  for (size_t i = 6; i < 10; ++i) size = (size << 7) | (static_cast<uint8_t>(b[i]) & 0x7F);
  const bool footer = (static_cast<uint8_t>(b[5]) & 0x10) != 0;
  return 10 + uint64_t{size} + (footer ? 10 : 0);
}

struct Mp3Walk {
  bool found = false;
  double seconds = 0;
  size_t start = 0, end = 0;  // the bytes of the frames walked
};

Mp3Walk WalkMp3(std::string_view b) {
  Mp3Walk w;
  size_t p = 0;
  for (uint64_t tag; (tag = Id3TagBytes(b.substr(std::min(p, b.size())))) != 0;)
    p = static_cast<size_t>(std::min<uint64_t>(p + tag, b.size()));
  // The first frame is the first header whose successor is a header too, so
  // that stray sync bits in the tag's padding are not taken for audio.
  std::optional<Mp3Frame> f;
  for (; p + 4 <= b.size(); ++p) {
    f = ParseMp3Header(b, p);
    if (f && (p + f->bytes >= b.size() || ParseMp3Header(b, p + f->bytes))) break;
    f.reset();
  }
  if (!f) return w;
  w.found = true;
  w.start = p;
  while (f && p + f->bytes <= b.size()) {
    w.seconds += static_cast<double>(f->samples) / f->sampleRate;
    p += f->bytes;
    f = ParseMp3Header(b, p);  // a trailing tag ends the walk
  }
  w.end = p;
  return w;
}

struct WavWalk {
  bool wave = false;  // a RIFF WAVE header
  std::optional<uint32_t> lengthMs;
  uint64_t largestOtherChunk = 0;  // the largest chunk besides the samples
};

// Walks the chunks of a RIFF WAVE file of size bytes, read through
// read(at, n) (which may return fewer bytes at the end). A data chunk that
// claims more than the file holds is measured as far as it goes.
template <typename Read>
WavWalk WalkWav(uint64_t size, Read read) {
  WavWalk w;
  const std::string head = read(0, 12);
  if (head.size() < 12 || head.substr(0, 4) != "RIFF" || head.substr(8, 4) != "WAVE") return w;
  w.wave = true;
  uint32_t byteRate = 0;
  std::optional<uint64_t> dataBytes;
  uint64_t p = 12;
  // A real file has a handful of chunks; a forged one of millions of empty
  // chunks is not walked to its end.
  for (int chunks = 0; p + 8 <= size && chunks < 4096; ++chunks) {
    const std::string h = read(p, 8);
    if (h.size() < 8) break;
    const uint32_t len = Le32(h, 4);
    const uint64_t available = std::min<uint64_t>(len, size - p - 8);
    const std::string_view id = std::string_view(h).substr(0, 4);
    if (id == "fmt " && available >= 16) {
      const std::string f = read(p + 8, 16);
      if (f.size() < 16) break;
      const uint32_t sampleRate = Le32(f, 4);
      byteRate = Le32(f, 8);
      const uint16_t blockAlign = Le16(f, 12);
      if (byteRate == 0) byteRate = sampleRate * blockAlign;
    } else if (id == "data" && !dataBytes) {
      dataBytes = available;
    } else if (id != "data") {
      w.largestOtherChunk = std::max<uint64_t>(w.largestOtherChunk, len);
    }
    p += 8 + available + (len & 1);
  }
  if (dataBytes && byteRate != 0) w.lengthMs = CapMs(*dataBytes * 1000 / byteRate);
  return w;
}

std::string LowerExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string ext(name.substr(dot));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

std::optional<uint32_t> WavLengthMs(std::string_view b) {
  return WalkWav(b.size(), [b](uint64_t at, size_t n) -> std::string {
    return at >= b.size() ? std::string() : std::string(b.substr(at, n));
  }).lengthMs;
}

std::optional<uint32_t> Mp3LengthMs(std::string_view b) {
  const Mp3Walk w = WalkMp3(b);
  if (!w.found) return std::nullopt;
  return CapMs(static_cast<uint64_t>(w.seconds * 1000.0));
}

std::optional<uint32_t> MeasureTuneBytes(std::string_view name, std::string_view bytes) {
  if (std::optional<uint32_t> ms = MidiLengthMs(bytes)) return ms;
  if (std::optional<uint32_t> ms = WavLengthMs(bytes)) return ms;
  if (LowerExtension(name) == ".mp3") return Mp3LengthMs(bytes);
  return std::nullopt;
}

namespace {

// Reads parts of a file by position.
class FileReader {
 public:
  explicit FileReader(const std::string& path) : in_(path, std::ios::binary) {}
  bool Ok() const { return static_cast<bool>(in_); }
  std::string Read(uint64_t at, size_t n) {
    std::string out(n, '\0');
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(at));
    in_.read(out.data(), static_cast<std::streamsize>(n));
    out.resize(static_cast<size_t>(std::max<std::streamsize>(in_.gcount(), 0)));
    return out;
  }

 private:
  std::ifstream in_;
};

// MP3 files up to this size are walked whole; of larger ones this much is
// walked and the rest reckoned at the same rate.
constexpr uint64_t kMp3WalkBytes = 4u << 20;
// Tags and side chunks are metadata: one this large is no part of a tune
// (and a decoder would read it whole).
constexpr uint64_t kMaxMetadataBytes = 16u << 20;

std::string Mb(uint64_t bytes) {
  return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

}  // namespace

TuneFileResult ReadTuneFile(const std::string& path) {
  namespace fs = std::filesystem;
  TuneFileResult r;
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (ec || !fs::exists(st)) {
    r.missing = true;
    r.why = "no such file";
    return r;
  }
  if (!fs::is_regular_file(st)) {
    r.why = "not a regular file";
    return r;
  }
  const uint64_t size = fs::file_size(path, ec);
  FileReader in(path);
  if (ec || !in.Ok()) {
    r.missing = true;
    r.why = "the file cannot be read";
    return r;
  }
  const std::string head = in.Read(0, 12);
  const bool riff = head.size() >= 12 && head.substr(0, 4) == "RIFF";
  TuneFile t;
  if (head.substr(0, 4) == "MThd" || (riff && head.substr(8, 4) == "RMID")) {
    if (size > kMaxMidiFileBytes) {
      r.why = "a MIDI file of " + Mb(size) + " is too large to be a tune (at most " +
              Mb(kMaxMidiFileBytes) + ")";
      return r;
    }
    t.kind = TuneFile::Kind::Midi;
    t.midi = in.Read(0, static_cast<size_t>(size));
    std::optional<uint32_t> ms = MidiLengthMs(t.midi);
    if (!ms) {
      r.why = "not a MIDI file that can be played";
      return r;
    }
    t.lengthMs = *ms;
  } else if (riff && head.substr(8, 4) == "WAVE") {
    if (size > kMaxWavFileBytes) {
      r.why = "a WAV file cannot be larger than 4 GB (this one has " + Mb(size) + ")";
      return r;
    }
    const WavWalk w = WalkWav(size, [&in](uint64_t at, size_t n) { return in.Read(at, n); });
    if (w.largestOtherChunk > kMaxMetadataBytes) {
      r.why = "a WAV file with " + Mb(w.largestOtherChunk) + " of side data is not a tune";
      return r;
    }
    if (!w.lengthMs) {
      r.why = "a WAV file without its format or samples";
      return r;
    }
    t.kind = TuneFile::Kind::Wave;
    t.lengthMs = *w.lengthMs;
  } else if (LowerExtension(path) == ".mp3") {
    uint64_t start = 0;
    for (uint64_t tag; (tag = Id3TagBytes(in.Read(start, 10))) != 0; start += tag) {
      if (tag > kMaxMetadataBytes) {
        r.why = "an MP3 file with a tag of " + Mb(tag) + " is not a tune";
        return r;
      }
    }
    const bool whole = size - std::min(start, size) <= kMp3WalkBytes;
    const std::string part = in.Read(start, static_cast<size_t>(kMp3WalkBytes));
    const Mp3Walk w = WalkMp3(part);
    if (!w.found || w.end <= w.start) {
      r.why = "no MPEG audio frames were found";
      return r;
    }
    double seconds = w.seconds;
    if (!whole)
      seconds *= static_cast<double>(size - start - w.start) / static_cast<double>(w.end - w.start);
    t.kind = TuneFile::Kind::Mp3;
    t.lengthMs = CapMs(static_cast<uint64_t>(seconds * 1000.0));
  } else {
    r.why = "not a MIDI, WAV or MP3 file";
    return r;
  }
  // A tune without time would give a stage that never ends.
  if (t.lengthMs == 0) {
    r.why = "the file holds no music";
    return r;
  }
  r.file = std::move(t);
  return r;
}

}  // namespace kelvane
