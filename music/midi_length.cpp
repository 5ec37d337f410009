#include "music/midi_length.h"

#include <algorithm>
#include <vector>

#include "music/midi_events.h"

namespace kelvane {
namespace {

constexpr uint32_t kDefaultTempo = 500000;  // µs per quarter note: 120 beats a minute

uint32_t Be32(std::string_view b, size_t at) {
  return (uint32_t{static_cast<uint8_t>(b[at])} << 24) |
         (uint32_t{static_cast<uint8_t>(b[at + 1])} << 16) |
         (uint32_t{static_cast<uint8_t>(b[at + 2])} << 8) |
         uint32_t{static_cast<uint8_t>(b[at + 3])};
}

uint32_t Le32(std::string_view b, size_t at) {
  return (uint32_t{static_cast<uint8_t>(b[at + 3])} << 24) |
         (uint32_t{static_cast<uint8_t>(b[at + 2])} << 16) |
         (uint32_t{static_cast<uint8_t>(b[at + 1])} << 8) | uint32_t{static_cast<uint8_t>(b[at])};
}

struct TickEvent {
  uint64_t tick;
  uint8_t status, data1, data2;
};

struct TempoChange {
  uint64_t tick;
  uint32_t usPerQuarter;
};

// Reads one track chunk's events; stops quietly at the first event that
// does not fit or makes no sense.
class TrackReader {
 public:
  explicit TrackReader(std::string_view data) : d_(data) {}

  // Returns the tick of the last complete event; channel events are added to
  // events when it is given.
  uint64_t Read(std::vector<TempoChange>& tempos, std::vector<TickEvent>* events = nullptr) {
    uint64_t tick = 0, lastEventTick = 0;
    uint8_t status = 0;  // running status
    while (p_ < d_.size()) {
      uint32_t delta;
      if (!VarLen(delta)) break;
      if (p_ >= d_.size()) break;
      uint8_t first = Byte(p_);
      uint8_t st = status;
      size_t dataAt = p_;
      if (first & 0x80) {
        st = first;
        dataAt = p_ + 1;
      } else if (status == 0) {
        break;  // a data byte with no status to run on
      }
      size_t next;
      if (st == 0xFF) {
        if (dataAt >= d_.size()) break;
        uint8_t type = Byte(dataAt);
        p_ = dataAt + 1;
        uint32_t len;
        if (!VarLen(len) || len > d_.size() - p_) break;
        next = p_ + len;
        tick += delta;
        if (type == 0x51 && len >= 3)
          tempos.push_back(
              {tick, (uint32_t{Byte(p_)} << 16) | (uint32_t{Byte(p_ + 1)} << 8) | Byte(p_ + 2)});
        lastEventTick = tick;
        p_ = next;
        if (type == 0x2F) break;  // end of track
        continue;                 // meta events keep the running status, as players do
      }
      if (st == 0xF0 || st == 0xF7) {
        p_ = dataAt;
        uint32_t len;
        if (!VarLen(len) || len > d_.size() - p_) break;
        p_ += len;
        tick += delta;
        lastEventTick = tick;
        status = 0;  // a sysex cancels running status
        continue;
      }
      if (st >= 0xF0) break;  // system common and real-time bytes do not belong in a file
      size_t dataBytes = (st & 0xF0) == 0xC0 || (st & 0xF0) == 0xD0 ? 1 : 2;
      if (d_.size() - dataAt < dataBytes) break;
      bool clean = true;
      for (size_t i = 0; i < dataBytes; ++i) clean &= (Byte(dataAt + i) & 0x80) == 0;
      if (!clean) break;
      p_ = dataAt + dataBytes;
      status = st;
      tick += delta;
      lastEventTick = tick;
      if (events)
        events->push_back({tick, st, Byte(dataAt), dataBytes == 2 ? Byte(dataAt + 1) : uint8_t{0}});
    }
    return lastEventTick;
  }

 private:
  uint8_t Byte(size_t at) const { return static_cast<uint8_t>(d_[at]); }

  // A variable-length quantity of at most four bytes.
  bool VarLen(uint32_t& v) {
    v = 0;
    for (int i = 0; i < 4; ++i) {
      if (p_ >= d_.size()) return false;
      uint8_t b = Byte(p_++);
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }

  std::string_view d_;
  size_t p_ = 0;
};

// The bytes of the MIDI data inside a RIFF "RMID" wrapper, or the bytes as
// they are.
std::string_view UnwrapRmid(std::string_view b) {
  if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "RMID") return b;
  size_t p = 12;
  while (p + 8 <= b.size()) {
    uint32_t len = Le32(b, p + 4);
    if (b.substr(p, 4) == "data") return b.substr(p + 8, std::min<size_t>(len, b.size() - p - 8));
    p += 8 + size_t{len} + (len & 1);
  }
  return {};
}

// The time base of a file: the division, and whether it counts SMPTE frames.
struct TimeBase {
  bool smpte = false;
  uint64_t denominator = 0;  // ticks × tempo / denominator = µs
};

std::optional<TimeBase> ReadTimeBase(std::string_view b) {
  if (b.size() < 14 || b.substr(0, 4) != "MThd") return std::nullopt;
  if (Be32(b, 4) < 6) return std::nullopt;
  uint16_t division =
      static_cast<uint16_t>((static_cast<uint8_t>(b[12]) << 8) | static_cast<uint8_t>(b[13]));
  // Time of one tick as a fraction numerator / denominator of a µs; tempo
  // events scale the numerator for quarter-note divisions.
  TimeBase base;
  base.smpte = (division & 0x8000) != 0;
  if (base.smpte) {
    int fps = -static_cast<int8_t>(division >> 8);
    unsigned ticksPerFrame = division & 0xFF;
    if (ticksPerFrame == 0 || (fps != 24 && fps != 25 && fps != 29 && fps != 30))
      return std::nullopt;
    // 29 stands for 29.97 frames a second (drop frame).
    base.denominator =
        fps == 29 ? uint64_t{2997} * ticksPerFrame : uint64_t{100} * fps * ticksPerFrame;
  } else {
    if (division == 0) return std::nullopt;
    base.denominator = division;
  }
  return base;
}

// Every track chunk in the file counts, whatever the header's count says; a
// chunk cut short by the end of the file is read as far as it goes. Returns
// the end tick.
uint64_t ReadTracks(std::string_view b, std::vector<TempoChange>& tempos,
                    std::vector<TickEvent>* events) {
  uint64_t endTick = 0;
  size_t p = 8 + size_t{Be32(b, 4)};
  while (p + 8 <= b.size()) {
    uint32_t len = Be32(b, p + 4);
    std::string_view body = b.substr(p + 8, std::min<size_t>(len, b.size() - p - 8));
    if (b.substr(p, 4) == "MTrk")
      endTick = std::max(endTick, TrackReader(body).Read(tempos, events));
    p += 8 + body.size();
  }
  // Stable: of two changes on one tick, the later in the file wins.
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const TempoChange& a, const TempoChange& c) { return a.tick < c.tick; });
  return endTick;
}

// Turns ticks into µs × denominator, walking the tempo map forwards: ask
// for ticks in rising order.
class TempoMap {
 public:
  TempoMap(const TimeBase& base, const std::vector<TempoChange>& tempos)
      : base_(base), tempos_(tempos) {}

  unsigned __int128 At(uint64_t tick) {
    if (base_.smpte) return static_cast<unsigned __int128>(tick) * 100000000u;  // 1e6 µs × 100
    while (next_ < tempos_.size() && tempos_[next_].tick <= tick) {
      us_ += static_cast<unsigned __int128>(tempos_[next_].tick - at_) * tempo_;
      at_ = tempos_[next_].tick;
      tempo_ = tempos_[next_].usPerQuarter;
      ++next_;
    }
    return us_ + static_cast<unsigned __int128>(tick - at_) * tempo_;
  }

 private:
  TimeBase base_;
  const std::vector<TempoChange>& tempos_;
  size_t next_ = 0;
  uint64_t at_ = 0;
  uint32_t tempo_ = kDefaultTempo;
  unsigned __int128 us_ = 0;
};

uint32_t CappedMs(unsigned __int128 scaled, uint64_t denominator) {
  unsigned __int128 ms = scaled / (static_cast<unsigned __int128>(denominator) * 1000u);
  return ms > kMaxTuneLengthMs ? kMaxTuneLengthMs : static_cast<uint32_t>(ms);
}

}  // namespace

std::optional<uint32_t> MidiLengthMs(std::string_view bytes) {
  std::string_view b = UnwrapRmid(bytes);
  std::optional<TimeBase> base = ReadTimeBase(b);
  if (!base) return std::nullopt;
  std::vector<TempoChange> tempos;
  uint64_t endTick = ReadTracks(b, tempos, nullptr);
  // Tempo changes at or after the end do not count.
  std::erase_if(tempos, [endTick](const TempoChange& t) { return t.tick >= endTick; });
  return CappedMs(TempoMap(*base, tempos).At(endTick), base->denominator);
}

std::optional<uint64_t> MidiTickAtMs(std::string_view bytes, uint32_t ms) {
  std::string_view b = UnwrapRmid(bytes);
  std::optional<TimeBase> base = ReadTimeBase(b);
  if (!base) return std::nullopt;
  std::vector<TempoChange> tempos;
  const uint64_t endTick = ReadTracks(b, tempos, nullptr);
  std::erase_if(tempos, [endTick](const TempoChange& t) { return t.tick >= endTick; });
  // The time wanted in the tempo map's unit, µs × denominator.
  const unsigned __int128 want = static_cast<unsigned __int128>(ms) * 1000u * base->denominator;
  if (base->smpte) return std::min<uint64_t>(static_cast<uint64_t>(want / 100000000u), endTick);
  uint64_t at = 0;
  uint32_t tempo = kDefaultTempo;
  unsigned __int128 reached = 0;
  for (const TempoChange& t : tempos) {
    const unsigned __int128 next = reached + static_cast<unsigned __int128>(t.tick - at) * tempo;
    if (next > want) break;
    reached = next;
    at = t.tick;
    tempo = t.usPerQuarter;
  }
  // A tempo of 0 stops the clock: nothing after it is ever reached.
  if (tempo == 0) return endTick;
  const unsigned __int128 tick = at + (want - reached) / tempo;
  return tick > endTick ? endTick : static_cast<uint64_t>(tick);
}

std::optional<MidiTune> ReadMidiTune(std::string_view bytes) {
  std::string_view b = UnwrapRmid(bytes);
  std::optional<TimeBase> base = ReadTimeBase(b);
  if (!base) return std::nullopt;
  std::vector<TempoChange> tempos;
  std::vector<TickEvent> events;
  uint64_t endTick = ReadTracks(b, tempos, &events);
  // Tracks are merged by time; on one tick the earlier track goes first.
  std::stable_sort(events.begin(), events.end(),
                   [](const TickEvent& a, const TickEvent& c) { return a.tick < c.tick; });
  std::erase_if(tempos, [endTick](const TempoChange& t) { return t.tick >= endTick; });

  MidiTune tune;
  TempoMap map(*base, tempos);
  constexpr uint64_t kUsCap = uint64_t{kMaxTuneLengthMs} * 1000u;
  for (const TickEvent& e : events) {
    unsigned __int128 us = map.At(e.tick) / base->denominator;
    if (us > kUsCap) break;
    tune.events.push_back({static_cast<uint64_t>(us), e.status, e.data1, e.data2});
  }
  tune.lengthMs = CappedMs(TempoMap(*base, tempos).At(endTick), base->denominator);
  return tune;
}

}  // namespace kelvane
