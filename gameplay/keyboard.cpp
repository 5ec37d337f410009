#include "gameplay/keyboard.h"

#include <algorithm>

#include "app/game.h"
#include "flow/music_menu.h"
#include "flow/record_slots.h"
#include "flow/stage_cycle.h"
#include "gameplay/command_entry.h"
#include "gameplay/key_groups.h"
#include "gameplay/mode_menu.h"
#include "gameplay/release_keys.h"
#include "gameplay/snapshot_album.h"
#include "graphics/sound_effect.h"

namespace kelvane {
namespace {

using keys::ShiftOrAlt;

constexpr uint8_t kHumanTurn = 2;
constexpr uint8_t kComputerTurn = 1;
constexpr uint8_t kDemo = 5;
constexpr uint8_t kDemoContinuous = 6;
constexpr int16_t kLatchConfirmed = -1;
constexpr int16_t kLatchSkipped = -2;
constexpr int kModeLabelConfirmed = 0;
constexpr int kModeLabelExit = 7;

bool IsStageStart(int8_t s) {
  return s == scene::kStageStart1 || s == scene::kStageStart2 || s == scene::kExitQuestion ||
         s == scene::kDemoStart;
}
bool IsPlay(int8_t s) {
  return s == scene::kPlay1 || s == scene::kPlay2 || s == scene::kDemoPlay;
}
bool HasAlbumKeys(int8_t s) {
  return s == scene::kOpeningLogo || s == scene::kModeMenu || s == scene::kMusicMenu || IsPlay(s);
}
bool Between(int v, int low, int high) {
  return v >= low && v <= high;
}

void StepMenuColour(Game& g, ShiftState shift) {
  g.st.colourIndex =
      static_cast<int8_t>(menu::StepColour(g.st.colourIndex, g.st.colourMax, ShiftOrAlt(shift)));
}

// Every key: no handler runs while the game loads or closes; the others
// note the time of the input for the idle time-outs.
bool TakeInput(Game& g) {
  if (g.st.halted) return false;
  g.st.lastInputTick = g.Now();
  if (g.pf.window->ActiveWindow() == FormId::FM) g.st.mouseLevel = 2;
  return true;
}

// ---- Key presses by scene ----

// Scene 1, the opening's second part: any key leaves it, C for another
// colour.
void OpeningKeyDown(Game& g, int vk, ShiftState shift) {
  int16_t& sub = g.st.subStep();
  if (!Between(sub, 0, 9) && sub != 14 && sub != 15) return;
  if (keys::IsPassive(vk)) return;
  if (keys::IsNg(vk)) {
    sub = 10;
    PlaySoundEffect(g, 61);
  } else if (keys::IsArrow(vk)) {
    sub = 14;
  } else if (vk == keys::kC) {
    StepMenuColour(g, shift);
    g.st.sceneCode = scene::kOpening;
    ResetSceneCounters(g.st);
    g.st.subStep() = 1;
    PlaySoundEffect(g, 32);
  } else {
    sub = 12;
    PlaySoundEffect(g, 40);
  }
}

// Scene 2, the mode menu.
void ModeMenuKeyDown(Game& g, int vk, ShiftState shift) {
  int16_t& sub = g.st.subStep();
  uint8_t& pose = g.st.menuPose;
  if (sub == 251) {
    if (!keys::IsPassiveWide(vk)) sub = 0;
    return;
  }
  if (!Between(sub, 33, 90)) return;
  if (keys::IsOk(vk)) {
    sub = 100;
  } else if (keys::IsNg(vk)) {
    sub = 200;
  } else if (keys::IsLeft(vk)) {
    MoveMenuCursor(g, -1);
    if (shift.alt) pose = menu::PoseDown(pose);
    sub = 25;
  } else if (keys::IsUp(vk)) {
    StoreMenuCursor(g);
    pose = shift.alt ? menu::PoseDown(pose) : menu::PoseToggle(pose);
    sub = 25;
  } else if (keys::IsRight(vk)) {
    MoveMenuCursor(g, +1);
    if (shift.alt) pose = menu::PoseUp(pose);
    sub = 25;
  } else if (keys::IsDown(vk)) {
    StoreMenuCursor(g);
    pose = shift.alt ? menu::PoseUp(pose) : menu::PoseToggle(pose);
    sub = 25;
  } else if (vk == keys::kC) {
    StoreMenuCursor(g);
    StepMenuColour(g, shift);
    sub = 25;
  }
}

// Scene 3, the music menu, while it waits (sub-step 10).
void MusicMenuKeyDown(Game& g, int vk, ShiftState shift) {
  int16_t& sub = g.st.subStep();
  if (sub != 10) return;
  if (keys::IsOk(vk)) {
    sub = 100;
  } else if (keys::IsNg(vk)) {
    sub = 600;
  } else if (keys::IsArrow(vk)) {
    MusicMenuArrowKey(g, vk);
  } else if (vk == keys::kC) {
    StepMenuColour(g, shift);
    g.cmd.playColour = static_cast<uint8_t>(std::clamp<int>(g.st.colourIndex, 0, g.st.colourMax));
  }
}

// Shift, Alt or the context-menu key during a stage start.
void OpenLoadScene(Game& g) {
  EnterLoadScene(g);
}

void ConfirmTurn(Game& g, int label, int sound) {
  int16_t& latch = KeyLatch(g.st);
  if (latch == kLatchConfirmed) return;
  latch = kLatchConfirmed;
  RedrawModeLabel(g, label);
  PlaySoundEffect(g, sound);
}

// The stage-start scenes: the human's opening command and confirmation,
// the demonstration's skip and mode switch, the exit question.
void StageStartKeyDown(Game& g, int vk) {
  GameState& st = g.st;
  int16_t& sub = st.subStep();
  int16_t& latch = KeyLatch(st);
  const bool counting = Between(sub, 103, 108) || Between(sub, 110, 134);
  if (sub == 100) {
    TypeCommandKey(g, vk);
    if (keys::IsReturnOrSpace(vk)) ConfirmTurn(g, kModeLabelConfirmed, 40);
    if (keys::IsMenu(vk)) OpenLoadScene(g);
  } else if (sub == 99 || sub == 101 || sub == 102 || sub == 109) {
    if (keys::IsMenu(vk)) OpenLoadScene(g);
  } else if (counting && st.playMode == kComputerTurn) {
    if (keys::IsMenu(vk)) OpenLoadScene(g);
  } else if (counting && (st.playMode == kDemo || st.playMode == kDemoContinuous)) {
    if (keys::IsReturnOrSpace(vk)) {
      if (latch == kLatchConfirmed) {
        latch = kLatchSkipped;
        PlaySoundEffect(g, 40);
        sub = 122;
      }
    } else if (keys::IsMenu(vk)) {
      OpenLoadScene(g);
    } else if (keys::IsDemoSwitch(vk) && latch != kLatchSkipped) {
      st.playMode = st.playMode == kDemo ? kDemoContinuous : kDemo;
      latch = kLatchConfirmed;
      RedrawModeLabel(g, st.playMode);
      PlaySoundEffect(g, 28);
      sub = 101;
    }
  } else if (sub == 200) {
    if (keys::IsOk(vk)) ConfirmTurn(g, kModeLabelExit, 21);
  }
}

// The play scenes: a human turn types its commands.
void PlayKeyDown(Game& g, int vk) {
  if (g.st.playMode == kHumanTurn && !g.stage.replayMode) TypeCommandKey(g, vk);
}

// Scene 14, the match result.
void MatchResultKeyDown(Game& g, int vk) {
  int16_t& sub = g.st.subStep();
  if (sub == 300) {
    if (keys::IsOk(vk)) {
      sub = 301;
    } else if (!keys::IsPassiveWide(vk)) {
      sub = 500;
    }
  } else if (sub == 302 || sub == 400) {
    if (!keys::IsPassiveWide(vk)) sub = 500;
  }
}

// ---- Key releases by scene ----

void MusicMenuKeyUp(Game& g, int vk) {
  int16_t& sub = g.st.subStep();
  if (Between(sub, 100, 109) && keys::IsOk(vk)) sub = 110;
}

void StageStartKeyUp(Game& g, int vk) {
  int16_t& sub = g.st.subStep();
  const bool confirmed = KeyLatch(g.st) == kLatchConfirmed;
  if (sub == 100) {
    if (keys::IsReturnOrSpace(vk) && confirmed) sub = 113;
  } else if (sub == 200) {
    if (keys::IsPassiveWide(vk)) return;
    if (keys::IsOk(vk)) {
      if (confirmed) sub = 250;
    } else {
      sub = 201;
    }
  }
}

}  // namespace

void FormKeyDown(Game& g, FormId, int vk, ShiftState shift) {
  if (!TakeInput(g)) return;
  const int8_t s = g.st.sceneCode;
  if (s == scene::kOpeningLogo) {
    OpeningKeyDown(g, vk, shift);
  } else if (s == scene::kModeMenu) {
    ModeMenuKeyDown(g, vk, shift);
  } else if (s == scene::kMusicMenu) {
    MusicMenuKeyDown(g, vk, shift);
  } else if (s == scene::kLoadSlot || s == scene::kSaveSlot) {
    SlotSceneKeyDown(g, vk, shift);
  } else if (IsStageStart(s)) {
    StageStartKeyDown(g, vk);
  } else if (IsPlay(s)) {
    PlayKeyDown(g, vk);
  } else if (s == scene::kMatchResult) {
    MatchResultKeyDown(g, vk);
  }
}

void FormKeyUp(Game& g, FormId, int vk, ShiftState shift) {
  if (!TakeInput(g)) return;
  // Each step looks at the scene anew: a play key may already have ended
  // the stage.
  if (g.st.sceneCode == scene::kMusicMenu) MusicMenuKeyUp(g, vk);
  if (IsStageStart(g.st.sceneCode)) StageStartKeyUp(g, vk);
  if (IsPlay(g.st.sceneCode)) PlayKeyUp(g, vk, shift);
  if (HasAlbumKeys(g.st.sceneCode)) AlbumKeyUp(g, vk, shift);
  GlobalKeyUp(g, vk, shift);
}

}  // namespace kelvane
