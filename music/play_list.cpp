#include "music/play_list.h"

#include <algorithm>
#include <map>

#include "app/game.h"
#include "platform/core/text_codec.h"

namespace kelvane {
namespace {

constexpr int kVkShift = 16;
constexpr int kVkAlt = 18;
constexpr size_t kMaxNameBytes = 255;
constexpr size_t kMaxExtension = 8;

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

bool IsMusicFile(const std::string& name) {
  const size_t dot = name.find_last_of("./");
  if (dot == std::string::npos || name[dot] != '.') return false;
  const std::string ext = name.substr(dot, kMaxExtension);
  return ext == ".mid" || ext == ".wav" || ext == ".mp3";
}

void AppendPlayList(Game& g, const std::vector<std::string>& names) {
  MusicState& mu = g.music;
  const int n = std::min<int>(static_cast<int>(names.size()), kPlayListSlots);
  const int c = std::clamp<int>(mu.playListCount, 0, kPlayListSlots);
  int d = 0;
  if (c + n > kPlayListSlots) {
    d = c + n - kPlayListSlots;
    for (int k = 1; k <= kPlayListSlots - d && k + d <= c; ++k)
      mu.playList[static_cast<size_t>(k)] = mu.playList[static_cast<size_t>(k + d)];
  }
  for (int k = 0; k < n; ++k)
    mu.playList[static_cast<size_t>(c - d + 1 + k)] =
        CutBytes(names[static_cast<size_t>(k)], kMaxNameBytes);
  mu.playListIndex() = static_cast<int8_t>(c - d + 1);
  mu.playListCount = static_cast<int8_t>(c + n - d);
  mu.bgmSource = source::kPlayList;
}

void AddToPlayList(Game& g, const std::vector<std::string>& names) {
  if (g.pf.keys->IsDown(kVkShift) || g.pf.keys->IsDown(kVkAlt)) g.music.playListCount = 0;
  AppendPlayList(g, names);
}

void AddCommandLineMusic(Game& g, const std::vector<std::string>& args) {
  // Sorted by the lower-cased name, duplicates once. The name itself keeps
  // its spelling: this file system tells capitals apart, and a lower-cased
  // path would name a file that is not there.
  std::map<std::string, std::string> sorted;
  for (const std::string& arg : args) {
    std::string name = CutBytes(arg, kMaxNameBytes);
    std::string lower = LowerAscii(name);
    if (IsMusicFile(lower)) sorted.emplace(lower, name);
  }
  if (sorted.empty()) return;
  std::vector<std::string> names;
  for (const auto& entry : sorted) names.push_back(entry.second);
  g.st.firstRoutineDone = 1;
  AddToPlayList(g, names);
}

}  // namespace kelvane
