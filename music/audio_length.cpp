#include "music/audio_length.h"

#include <algorithm>
#include <cctype>
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

std::string LowerExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string ext(name.substr(dot));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

std::optional<uint32_t> WavLengthMs(std::string_view b) {
  if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") return std::nullopt;
  uint32_t byteRate = 0;
  std::optional<uint64_t> dataBytes;
  size_t p = 12;
  while (p + 8 <= b.size()) {
    uint32_t len = Le32(b, p + 4);
    size_t available = std::min<size_t>(len, b.size() - p - 8);
    std::string_view id = b.substr(p, 4);
    if (id == "fmt " && available >= 16) {
      uint32_t sampleRate = Le32(b, p + 12);
      byteRate = Le32(b, p + 16);
      uint16_t blockAlign = Le16(b, p + 20);
      if (byteRate == 0) byteRate = sampleRate * blockAlign;
    } else if (id == "data" && !dataBytes) {
      dataBytes = available;
    }
    p += 8 + available + (len & 1);
  }
  if (!dataBytes || byteRate == 0) return std::nullopt;
  return CapMs(*dataBytes * 1000 / byteRate);
}

std::optional<uint32_t> Mp3LengthMs(std::string_view b) {
  size_t p = 0;
  // ID3v2 tags, possibly more than one, each with a sync-safe size.
  while (b.size() >= p + 10 && b.substr(p, 3) == "ID3") {
    uint32_t size = 0;
    for (size_t i = 6; i < 10; ++i) size = (size << 7) | (static_cast<uint8_t>(b[p + i]) & 0x7F);
    bool footer = (static_cast<uint8_t>(b[p + 5]) & 0x10) != 0;
    p += 10 + size_t{size} + (footer ? 10 : 0);
  }
  // The first frame is the first header whose successor is a header too, so
  // that stray sync bits in the tag's padding are not taken for audio.
  std::optional<Mp3Frame> f;
  for (; p + 4 <= b.size(); ++p) {
    f = ParseMp3Header(b, p);
    if (f && (p + f->bytes >= b.size() || ParseMp3Header(b, p + f->bytes))) break;
    f.reset();
  }
  if (!f) return std::nullopt;
  double seconds = 0;
  while (f && p + f->bytes <= b.size()) {
    seconds += static_cast<double>(f->samples) / f->sampleRate;
    p += f->bytes;
    f = ParseMp3Header(b, p);  // a trailing tag ends the walk
  }
  return CapMs(static_cast<uint64_t>(seconds * 1000.0));
}

std::optional<uint32_t> MeasureTuneBytes(std::string_view name, std::string_view bytes) {
  if (std::optional<uint32_t> ms = MidiLengthMs(bytes)) return ms;
  if (std::optional<uint32_t> ms = WavLengthMs(bytes)) return ms;
  if (LowerExtension(name) == ".mp3") return Mp3LengthMs(bytes);
  return std::nullopt;
}

}  // namespace kelvane
