#include "tools/forge/midi_writer.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "tools/forge/forge.h"

namespace forge {
namespace {

std::string Be(uint32_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string VarLen(uint32_t v) {
  std::string s(1, static_cast<char>(v & 0x7F));
  while (v >>= 7) s.insert(s.begin(), static_cast<char>(0x80 | (v & 0x7F)));
  return s;
}

std::string Meta(int type, const std::string& body) {
  return std::string{'\xFF', static_cast<char>(type)} + VarLen(static_cast<uint32_t>(body.size())) +
         body;
}

std::string Channel(int status, int channel, int a, int b = -1) {
  std::string s{static_cast<char>(status | channel), static_cast<char>(a & 0x7F)};
  if (b >= 0) s += static_cast<char>(b & 0x7F);
  return s;
}

int Clamp7(int v) {
  return std::clamp(v, 0, 127);
}

}  // namespace

void MidiSong::Tempo(uint32_t tick, double bpm) {
  uint32_t us = static_cast<uint32_t>(std::lround(60000000.0 / bpm));
  conductor_.push_back({tick, 1, Meta(0x51, Be(us, 3))});
}

void MidiSong::TimeSignature(uint32_t tick, int numerator, int denominator) {
  int power = 0;
  while ((1 << power) < denominator) ++power;
  conductor_.push_back(
      {tick, 1,
       Meta(0x58, std::string{static_cast<char>(numerator), static_cast<char>(power), 24, 8})});
}

void MidiSong::Marker(uint32_t tick, const std::string& text) {
  conductor_.push_back({tick, 1, Meta(0x06, text)});
}

int MidiSong::AddPart(const std::string& name, int channel, int program, int volume, int pan,
                      int reverb) {
  parts_.push_back({name, channel, program, volume, pan, reverb, {}, {}});
  return static_cast<int>(parts_.size()) - 1;
}

void MidiSong::Note(int part, uint32_t tick, uint32_t length, int key, int velocity) {
  if (key < 0 || key > 127 || length == 0) return;
  parts_.at(static_cast<size_t>(part))
      .notes.push_back({tick, length, key, Clamp7(std::max(velocity, 1))});
}

void MidiSong::Control(int part, uint32_t tick, int controller, int value) {
  Part& p = parts_.at(static_cast<size_t>(part));
  p.controls.push_back({tick, 1, Channel(0xB0, p.channel, controller, Clamp7(value))});
}

std::string MidiSong::TrackBytes(std::vector<Event> events) const {
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::string body;
  uint32_t at = 0;
  uint8_t running = 0;
  for (const Event& e : events) {
    if (e.tick > end_) throw ForgeError{"a MIDI event lies past the end of its tune"};
    body += VarLen(e.tick - at);
    at = e.tick;
    uint8_t status = static_cast<uint8_t>(e.data[0]);
    if (status < 0xF0 && status == running) {
      body += e.data.substr(1);  // running status
    } else {
      body += e.data;
      running = status < 0xF0 ? status : 0;
    }
  }
  body += VarLen(end_ - at) + Meta(0x2F, "");
  return "MTrk" + Be(static_cast<uint32_t>(body.size()), 4) + body;
}

std::string MidiSong::Bytes() const {
  std::string out = "MThd" + Be(6, 4) + Be(1, 2) + Be(static_cast<uint32_t>(parts_.size() + 1), 2) +
                    Be(division_, 2);

  std::vector<Event> conductor = conductor_;
  // General MIDI on, so every synthesiser starts from the same state.
  conductor.push_back({0, 0, std::string{'\xF0', 5, 0x7E, 0x7F, 0x09, 0x01, '\xF7'}});
  out += TrackBytes(conductor);

  for (const Part& p : parts_) {
    std::vector<Event> ev = p.controls;
    ev.push_back({0, 0, Meta(0x03, p.name)});
    if (p.channel != kDrumChannel) ev.push_back({0, 0, Channel(0xC0, p.channel, p.program)});
    ev.push_back({0, 0, Channel(0xB0, p.channel, 7, p.volume)});
    ev.push_back({0, 0, Channel(0xB0, p.channel, 10, p.pan)});
    ev.push_back({0, 0, Channel(0xB0, p.channel, 91, p.reverb)});
    // A repeated key cuts the earlier note short instead of letting its
    // late note off silence the new one.
    std::map<int, std::vector<NoteOn>> byKey;
    for (const NoteOn& n : p.notes) byKey[n.key].push_back(n);
    for (auto& [key, notes] : byKey) {
      std::stable_sort(notes.begin(), notes.end(),
                       [](const NoteOn& a, const NoteOn& b) { return a.tick < b.tick; });
      for (size_t i = 0; i < notes.size(); ++i) {
        uint32_t start = notes[i].tick;
        if (start >= end_) continue;
        uint32_t stop = std::min(start + notes[i].length, end_);
        if (i + 1 < notes.size()) stop = std::min(stop, notes[i + 1].tick);
        if (stop <= start) continue;  // a duplicate on the same tick
        ev.push_back({start, 2, Channel(0x90, p.channel, key, notes[i].velocity)});
        ev.push_back({stop, 0, Channel(0x80, p.channel, key, 64)});
      }
    }
    out += TrackBytes(std::move(ev));
  }
  return out;
}

}  // namespace forge
