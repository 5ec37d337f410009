#include "music/play_list.h"

#include <algorithm>
#include <set>
#include <utility>

#include "app/game.h"
#include "flow/music_menu.h"
#include "graphics/sound_effect.h"
#include "music/music_panel.h"
#include "music/music_player.h"
#include "platform/core/text_codec.h"

namespace kelvane {
namespace {

constexpr int kVkShift = 16;
constexpr int kVkAlt = 18;
constexpr size_t kMaxNameBytes = 255;
constexpr size_t kMaxExtension = 8;
constexpr int kSoundTaken = 30;
constexpr int kSoundTakenInSlots = 70;
constexpr int kSoundNoMusic = 51;
constexpr int kSoundNotHere = 52;
// The scene code while start-up still loads.
constexpr int8_t kLoadingScene = static_cast<int8_t>(246);
constexpr int16_t kMusicMenuWaits = 10;
constexpr int16_t kStageSetUp = 136;
constexpr int16_t kPlaying = -1;
constexpr uint8_t kContinuousMusic = 6;

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

std::vector<std::string> SortedMusicNames(const std::vector<std::string>& paths) {
  std::set<std::pair<std::string, std::string>> sorted;
  for (const std::string& path : paths) {
    std::string name = CutBytes(path, kMaxNameBytes);
    std::string lower = LowerAscii(name);
    if (IsMusicFile(lower)) sorted.emplace(std::move(lower), std::move(name));
  }
  std::vector<std::string> names;
  for (const auto& entry : sorted) names.push_back(entry.second);
  return names;
}

void AddCommandLineMusic(Game& g, const std::vector<std::string>& args) {
  const std::vector<std::string> names = SortedMusicNames(args);
  if (names.empty()) return;
  g.st.firstRoutineDone = 1;
  AddToPlayList(g, names);
}

namespace {

void TakeDrop(Game& g, const std::vector<std::string>& names, int sound) {
  AddToPlayList(g, names);
  PlaySoundEffect(g, sound);
}

// The stage starts before their set-up and the slot scenes reached from a
// stage start or a stage end take the music for the coming turns; the
// entry routine is then chosen at random.
void TakeDropForStage(Game& g, const std::vector<std::string>& names) {
  g.st.firstRoutineDone = 1;
  TakeDrop(g, names, kSoundTakenInSlots);
}

void PreviewDrop(Game& g, const std::vector<std::string>& names) {
  AddToPlayList(g, names);
  BuildTuneName(g);
  ShowMusicPanel(g);
  g.music.previewState = music_menu::kPreviewStart;
  g.st.subStep() = kMusicMenuWaits;
}

void PlayDropInDemo(Game& g, const std::vector<std::string>& names) {
  g.st.playMode = kContinuousMusic;
  AddToPlayList(g, names);
  BuildTuneName(g);
  PlayCurrent(g);
}

}  // namespace

void FormDropFiles(Game& g, const std::vector<std::string>& paths) {
  const std::vector<std::string> names = SortedMusicNames(paths);
  if (names.empty()) {
    PlaySoundEffect(g, kSoundNoMusic);
    return;
  }
  GameState& st = g.st;
  const int16_t sub = st.subStep();
  const int8_t prev = static_cast<int8_t>(st.prevScene);
  bool taken = true;
  switch (st.sceneCode) {
    case scene::kOpening:
    case scene::kOpeningLogo:
    case scene::kModeMenu:
    case scene::kMatchResult:
    case scene::kExitQuestion:
      TakeDrop(g, names, kSoundTaken);
      break;
    case kLoadingScene:
      st.firstRoutineDone = 1;
      TakeDrop(g, names, kSoundTaken);
      break;
    case scene::kMusicMenu:
      taken = sub == kMusicMenuWaits;
      if (taken) PreviewDrop(g, names);
      break;
    case scene::kLoadSlot:
      taken = prev == scene::kDemoStart || prev == scene::kStageStart1;
      if (taken) TakeDropForStage(g, names);
      break;
    case scene::kSaveSlot:
      taken = prev == scene::kDemoPlay || prev == scene::kPlay2;
      if (taken) TakeDrop(g, names, kSoundTakenInSlots);
      break;
    case scene::kStageStart1:
    case scene::kDemoStart:
      taken = sub != kStageSetUp;
      if (taken) TakeDropForStage(g, names);
      break;
    case scene::kDemoPlay:
      taken = st.bgmLength != 0 && sub == kPlaying;
      if (taken) PlayDropInDemo(g, names);
      break;
    default:
      taken = false;
      break;
  }
  if (!taken) PlaySoundEffect(g, kSoundNotHere);
}

}  // namespace kelvane
