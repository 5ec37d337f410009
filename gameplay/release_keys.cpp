#include "gameplay/release_keys.h"

#include <algorithm>

#include "app/frame_pacing.h"
#include "app/game.h"
#include "flow/stage_cycle.h"
#include "gameplay/backdrops.h"
#include "gameplay/key_groups.h"
#include "gameplay/scoring.h"
#include "graphics/sound_effect.h"
#include "graphics/window_layout.h"
#include "music/music_player.h"

namespace kelvane {
namespace {

constexpr int kSoundOn = 71;
constexpr int kSoundOff = 51;
constexpr int kSoundZoomOff = 31;
constexpr int kSoundZoomOn = 32;
constexpr int8_t kMaxTicksPerFrame = 9;
constexpr int8_t kMinTicksPerFrame = 1;
// The command list stays on top of the large window when the screen has
// little room around it.
constexpr int kTightScreenW = 650;
constexpr int kTightScreenH = 510;
constexpr uint8_t kWatchDemoContinuous = 6;

bool IsEndKey(int vk) {
  return vk == keys::kReturn || vk == keys::kPause || vk == keys::kSpace || vk == keys::kEnd;
}

void EndSongEarly(Game& g, ShiftState shift) {
  g.cmd.scoreLock = 0;
  if (g.st.playMode != 2 && !keys::ShiftOrAlt(shift)) {
    const int32_t left = static_cast<int32_t>(g.st.bgmEndTick - g.Now());
    if (left > 0)
      AddPoints(g, EarlyEndBonus(static_cast<uint32_t>(left), g.stage.matchRule),
                {JudgeWhy::kBonus});
  }
  EndStage(g);
}

void StepPlayColour(Game& g, ShiftState shift) {
  g.cmd.playColour = static_cast<uint8_t>(
      menu::StepColour(g.cmd.playColour, g.st.colourMax, keys::ShiftOrAlt(shift)));
}

void ZoomKey(Game& g) {
  if (!IsLargeWindow(g)) {
    ToggleWindowSize(g);
    return;
  }
  SetStageView(g);
  if (g.stage.zoomCountdown >= 0) g.stage.zoomCountdown = kZoomUpper;
}

void NextTuneKey(Game& g, ShiftState shift) {
  if (g.st.playMode != kWatchDemoContinuous || g.st.bgmLength == 0) return;
  StepTune(g, keys::ShiftOrAlt(shift) ? -1 : 1);
  BuildTuneName(g);
  PlayCurrent(g);
}

void AutomaticZoomKey(Game& g) {
  if (!IsLargeWindow(g)) return;
  int8_t& countdown = g.stage.zoomCountdown;
  if (countdown >= 0) {
    countdown = -1;
    PlaySoundEffect(g, kSoundZoomOff);
    return;
  }
  SetStageView(g);
  int n = kZoomLowest + g.Rand(kZoomUpper - kZoomLowest);
  if (g.st.zoomFlag) n *= 2;
  countdown = static_cast<int8_t>(n);
  PlaySoundEffect(g, kSoundZoomOn);
}

void StepBackdrop(Game& g, int step, ShiftState shift) {
  const auto& counts = g.palettes.paletteColours[0][0];
  // A backdrop number is a signed byte.
  const int plainCount = std::min<int>(counts[0], 127);
  const int fileCount = std::min<int>(counts[1], 127);
  int8_t& number = g.motion.backdrop.backdropNumber;
  number = static_cast<int8_t>(
      NextBackdropNumber(number, step, keys::ShiftOrAlt(shift), fileCount, plainCount));
  LoadBackdrop(g);
}

void ToggleAlwaysOfferSave(Game& g) {
  uint8_t& flag = g.stage.alwaysOfferSave;
  flag = !flag;
  PlaySoundEffect(g, flag ? kSoundOn : kSoundOff);
}

void StepBackdropSpeed(Game& g, ShiftState shift) {
  int8_t& ticks = g.gfx.backdropTicksPerFrame;
  if (keys::ShiftOrAlt(shift)) {
    ticks = std::min<int8_t>(static_cast<int8_t>(ticks + 1), kMaxTicksPerFrame);
  } else {
    ticks = std::max<int8_t>(static_cast<int8_t>(ticks - 1), kMinTicksPerFrame);
  }
}

void ShowCommandList(Game& g) {
  const Size screen = g.pf.window->ScreenSize();
  const bool tight = screen.w <= kTightScreenW || screen.h <= kTightScreenH;
  g.pf.window->SetStayOnTop(FormId::keyFM, IsLargeWindow(g) && tight);
  g.pf.window->SetVisible(FormId::keyFM, true);
}

void HelpKey(Game& g, ShiftState shift) {
  if (!shift.alt) LoadDefaultBackdrop(g);
  if (!shift.shift) ShowCommandList(g);
}

}  // namespace

int NextBackdropNumber(int current, int step, bool withColours, int fileCount, int plainCount) {
  const int n = current + step;
  const int lastFile = fileCount - 1;
  if (step > 0) {
    if (n > lastFile) return withColours ? -plainCount : 0;
    if (n < 0 && !withColours) return 0;
    return n;
  }
  if (withColours) return n < -plainCount ? lastFile : n;
  if (n < 0) return lastFile;
  if (n > lastFile) return 0;
  return n;
}

int EarlyEndBonus(uint32_t msLeft, int matchRule) {
  const int tenths = static_cast<int>(msLeft / 100);
  switch (matchRule) {
    case 1:
      return tenths * 3;
    case 3:
      return tenths * 10;
    default:
      return tenths;
  }
}

void PlayKeyUp(Game& g, int vk, ShiftState shift) {
  if (g.st.subStep() != -1) return;
  if (IsEndKey(vk)) {
    EndSongEarly(g, shift);
  } else if (vk == keys::kC) {
    StepPlayColour(g, shift);
  } else if (vk == keys::kD) {
    ZoomKey(g);
  } else if (vk == keys::kM) {
    NextTuneKey(g, shift);
  } else if (vk == keys::kS) {
    AutomaticZoomKey(g);
  }
}

void GlobalKeyUp(Game& g, int vk, ShiftState shift) {
  switch (vk) {
    case keys::kTab:
      ToggleWindowSize(g);
      break;
    case keys::kCtrl:
      ToggleIdlePump(g);
      break;
    case keys::kPageUp:
      StepBackdrop(g, 1, shift);
      break;
    case keys::kPageDown:
      StepBackdrop(g, -1, shift);
      break;
    case keys::kHome:
      ToggleAlwaysOfferSave(g);
      break;
    case keys::kV:
      StepBackdropSpeed(g, shift);
      break;
    case keys::kF1:
      HelpKey(g, shift);
      break;
    default:
      break;
  }
}

}  // namespace kelvane
