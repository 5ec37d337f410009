#include "flow/music_menu.h"

#include <algorithm>

#include "app/game.h"
#include "flow/scene_art.h"
#include "gameplay/action_engine.h"
#include "gameplay/key_groups.h"
#include "gameplay/keyboard.h"
#include "gameplay/mouse_input.h"
#include "graphics/atlas.h"
#include "graphics/presentation.h"
#include "graphics/sound_effect.h"
#include "graphics/surfaces.h"
#include "graphics/window_layout.h"
#include "music/music_panel.h"
#include "music/music_player.h"

namespace kelvane {
namespace {

using namespace music_menu;
using atlas::RegionId;

constexpr size_t kMaskSheet = 3;
constexpr int kNoMove = 16;  // pointer keys up to this move nothing
// A pointer moved off an item goes up instead of down within this many
// pixels of the screen's bottom edge (doubled in the large window).
constexpr int kPointerBottomMargin = 110;

// The character stands under item i at posX 68 + 24 i.
constexpr int kItemX0 = 68;
constexpr int kItemPitch = 24;
// The panel's place in the layers; pressed items land on its row of items.
constexpr int kPanelX = 200;
constexpr int kPanelY = 62;
constexpr int kPressedX0 = 232;
constexpr int kPressedY = 62;
// The area under the panel that the character walks in.
constexpr Rect kWalkArea = Rect::XYWH(200, 78, 208, 104);
// The lamp square in the layers.
constexpr Rect kLamp = Rect::XYWH(226, 64, 3, 3);
// The menu window: layer area and where it lands in each window size.
constexpr Rect kMenuArea{200, 62, 408, 179};
constexpr Rect kMenuSmall{56, 62, 264, 179};
constexpr Rect kMenuLarge{112, 124, 528, 358};

constexpr int kSoundMove = 32;
constexpr int kSoundPress = 2;
constexpr int kSoundNothing = 52;

bool Between(int v, int low, int high) {
  return v >= low && v <= high;
}

int16_t ItemX(int item) {
  return static_cast<int16_t>(kItemX0 + kItemPitch * item);
}

// No command is pending in the menu: an idle action that ends falls back to
// the standing row instead of a fall or a half-typed command from the last
// stage.
void ClearPendingCommand(Game& g) {
  CommandState& c = g.cmd;
  c.commandCode = 0;
  c.commandWeight = 1000;
  c.landingKey = 0;
  c.fallPenalty = 1;
}

bool HasIdleRows(const Game& g) {
  return FirstIdleRow(g) <= LastIdleRow(g);
}

// The idle action stored in the settings, as a row; a value that names no
// idle row gives the base row.
int16_t StoredIdleRow(const Game& g) {
  if (!HasIdleRows(g)) return 0;
  int row = LastIdleRow(g) - g.st.musicMenuAction;
  if (row < FirstIdleRow(g) || row > LastIdleRow(g)) row = LastIdleRow(g);
  return static_cast<int16_t>(row);
}

// Facing and idle action go to the settings.
void StorePose(Game& g) {
  if (g.motion.facesRight > 1) g.motion.facesRight = 0;
  g.st.musicMenuFacing = g.motion.facesRight;
  if (HasIdleRows(g))
    g.st.musicMenuAction = static_cast<uint8_t>(LastIdleRow(g) - g.musicMenu.idleRow);
}

void StartIdleMove(Game& g) {
  g.motion.currentRow = g.musicMenu.idleRow;
  ResetAction(g);
}

void ResetIdleAnimation(Game& g) {
  ResetAction(g);
  g.musicMenu.idleCycle = 0;
}

// Colour, facing and idle action from the settings; the character under the
// current item.
void PlaceCharacter(Game& g) {
  Motion& m = g.motion;
  g.cmd.playColour = static_cast<uint8_t>(std::clamp<int>(g.st.colourIndex, 0, g.st.colourMax));
  m.facesRight = g.st.musicMenuFacing > 1 ? 0 : g.st.musicMenuFacing;
  g.musicMenu.idleRow = StoredIdleRow(g);
  m.currentRow = g.musicMenu.idleRow;
  m.returnRow = 0;
  m.posX = ItemX(g.musicMenu.menuItem);
  m.posY = 0;
  ClearPendingCommand(g);
}

void DrawPressedItem(Game& g) {
  Surfaces& s = g.gfx;
  const int item = g.musicMenu.menuItem;
  s.blitSource = atlas::MusicPressedItemCell(item);
  s.blitTarget = Rect::XYWH(kPressedX0 + kItemPitch * item, kPressedY, s.blitSource.Width(),
                            s.blitSource.Height());
  DrawSprite(g, s.mainSheets[0], &s.mainSheets[kMaskSheet]);
}

int CurrentIndex(Game& g) {
  return SourceIndex(g, g.music.bgmSource);
}
int CurrentCount(Game& g) {
  return SourceCount(g, g.music.bgmSource);
}

// Items 1 and 2 step the tune; the number on the panel follows at once.
void StepTuneOfItem(Game& g) {
  StepTune(g, g.musicMenu.menuItem == kItemPrevious ? -1 : +1);
  ShowTrackDigits(g);
}

bool IsStepItem(int item) {
  return item == kItemPrevious || item == kItemNext;
}

// Sub-step 100: the item sinks, its action runs once.
void PressItem(Game& g) {
  const int item = g.musicMenu.menuItem;
  DrawPressedItem(g);
  MusicMenuIdleStep(g);
  if (IsStepItem(item)) {
    StepTuneOfItem(g);
    PlaySoundEffect(g, CurrentCount(g) < 2 ? kSoundNothing : kSoundPress);
  } else if (item == kItemPreview) {
    PlaySoundEffect(g, CurrentIndex(g) <= 0 ? kSoundNothing : kSoundPress);
  } else {
    PlaySoundEffect(g, kSoundPress);
  }
}

// Sub-step 110: the key is up; the item takes effect.
void ReleaseItem(Game& g) {
  MusicState& mu = g.music;
  int16_t& sub = g.st.subStep();
  switch (g.musicMenu.menuItem) {
    case kItemStart:
      StopMusic(g);
      MusicMenuIdleStep(g);
      g.result.slotOfTurn = {0, 0};
      g.result.courseMatch = 1;
      sub = kLeaving;
      return;
    case kItemPrevious:
    case kItemNext:
      OpenCD(g);
      BuildTuneName(g);
      ShowMusicPanel(g);
      // A running preview follows the new tune.
      if (CurrentCount(g) > 1 && mu.previewState > 0) mu.previewState = kPreviewStart;
      break;
    case kItemPreview:
      OpenCD(g);
      BuildTuneName(g);
      ShowMusicPanel(g);
      if (CurrentIndex(g) > 0) mu.previewState = kPreviewStart;
      break;
    case kItemStop:
      OpenCD(g);
      ShowMusicPanel(g);
      if (CurrentIndex(g) > 0) mu.previewState = kPreviewStop;
      break;
    default:
      NextMusicSource(g);
      ShowMusicPanel(g);
      mu.previewState = kPreviewStop;
      break;
  }
  sub = kWait;
}

void PointerHover(Game& g) {
  const int key = MenuKeyAtPointer(g);
  if (key > kNoMove) FormKeyDown(g, FormId::FM, key, ShiftState{});
}

void RunStep(Game& g) {
  int16_t& sub = g.st.subStep();
  if (sub == kEnter) {
    ClearLayers(g);
    g.music.previewState = 0;
    g.music.cdPollCount = 1;
    PlaceCharacter(g);
    ResetIdleAnimation(g);
    ShowMusicPanel(g);
    StopMusic(g);
    sub = kRedraw;
  } else if (sub == kRedraw) {
    DrawRectangle(g.gfx.spriteLayer, kWalkArea);
    DrawRectangle(g.gfx.maskLayer, kWalkArea);
    MusicMenuIdleStep(g);
    ++sub;
  } else if (sub == kWait) {
    MusicMenuIdleStep(g);
    PointerHover(g);
    PollCD(g, g.musicMenu.idleCycle);
  } else if (sub == kPressed) {
    PressItem(g);
    ++sub;
  } else if (Between(sub, 101, 107)) {
    MusicMenuIdleStep(g);
    ++sub;
  } else if (sub == kRepeat) {
    MusicMenuIdleStep(g);
    // A held key on the tune items repeats every third frame.
    if (IsStepItem(g.musicMenu.menuItem)) {
      StepTuneOfItem(g);
      sub = 106;
    } else {
      ++sub;
    }
  } else if (sub == kHeld) {
    MusicMenuIdleStep(g);
  } else if (sub == kReleased) {
    ReleaseItem(g);
  } else if (Between(sub, kLeaving, kLeave - 1)) {
    MusicMenuIdleStep(g);
    ++sub;
  } else if (sub == kLeave) {
    MusicMenuIdleStep(g);
    StorePose(g);
    g.st.sceneCode = scene::kStageStart1;
    ResetSceneCounters(g.st);
    g.st.lastFrameTick = g.Now();
  } else if (sub == kCancel) {
    MusicMenuIdleStep(g);
    StorePose(g);
    g.music.previewState = kPreviewLeave;
  }
}

// The panel, and the item while it is held down, stay under the character
// whose pictures clear the layers.
void KeepPanel(Game& g) {
  if (Between(g.st.subStep(), kPressed + 1, kHeld)) {
    const int item = g.musicMenu.menuItem;
    DrawBehind(g, atlas::MusicPressedItemCell(item), kPressedX0 + kItemPitch * item, kPressedY);
  }
  DrawBehind(g, atlas::At(RegionId::kMusicPanel), kPanelX, kPanelY);
}

// The lamp blinks while a preview plays; previewState 3 (start) lights it
// and passes through 4 on its way to the blinking 1, 2, 1, ...
void DrawLamp(Game& g) {
  uint8_t& state = g.music.previewState;
  RegionId cell = RegionId::kMusicLampOff;
  if (state == kPreviewLampOn || state == kPreviewStart) {
    cell = RegionId::kMusicLampOn;
    ++state;
  } else if (state == kPreviewLampOff || state == kPreviewStarting) {
    state = kPreviewLampOn;
  }
  Surface& layer = g.gfx.spriteLayer;
  layer.canvas.copyMode = SRCCOPY;
  CopyRect(layer, kLamp, g.gfx.mainSheets[0], atlas::At(cell));
}

void ComposeMenuWindow(Game& g) {
  Surfaces& s = g.gfx;
  Surface& frame = s.mainSurface;
  const Rect& place = IsLargeWindow(g) ? kMenuLarge : kMenuSmall;
  frame.canvas.copyMode = SRCAND;
  CopyRect(frame, place, s.maskLayer, kMenuArea);
  frame.canvas.copyMode = SRCPAINT;
  CopyRect(frame, place, s.spriteLayer, kMenuArea);
  frame.canvas.copyMode = SRCCOPY;
}

// What the preview state asks for once the frame is shown.
void FinishFrame(Game& g) {
  MusicState& mu = g.music;
  if (mu.previewState == kPreviewLeave) {
    PlayLooped(g, g.st.dataFolder + "Zz.mid");
    g.st.sceneCode = scene::kModeMenu;
    ResetSceneCounters(g.st);
    g.st.lastFrameTick = g.Now();
  } else if (mu.previewState == kPreviewStop) {
    ClearCdLamp(g);
    StopMusic(g);
    mu.previewState = 0;
  } else if (mu.previewState == kPreviewStarting) {
    ClearCdLamp(g);
    PlayCurrent(g);
  }
}

}  // namespace

int FirstIdleRow(const Game& g) {
  return 2 * g.actions.barPairs + 1;
}
int LastIdleRow(const Game& g) {
  return g.actions.bangRow;
}

void MusicMenuIdleStep(Game& g) {
  uint8_t& cycle = g.musicMenu.idleCycle;
  if (++cycle >= kIdleCycleFrames) {
    cycle = 0;
    StartIdleMove(g);
  }
  ActionStep(g);
}

void NextMusicSource(Game& g) {
  MusicState& mu = g.music;
  const bool cdDrive = g.st.cdDriveName.size() == 2;
  mu.bgmSource = static_cast<int8_t>(mu.bgmSource + 1);
  mu.cdPollCount = 1;
  const int8_t last = cdDrive ? source::kCD : source::kStageTunes;
  if (mu.bgmSource > last) mu.bgmSource = source::kPlayList;
}

void MusicMenuArrowKey(Game& g, int vk) {
  Motion& m = g.motion;
  MusicMenuState& mm = g.musicMenu;
  const bool left = keys::IsLeft(vk), right = keys::IsRight(vk);
  const bool up = keys::IsUp(vk), down = keys::IsDown(vk);
  if (!left && !right && !up && !down) return;
  ResetIdleAnimation(g);
  if (left || right) {
    m.facesRight = right ? 1 : 0;
    int item = mm.menuItem + (right ? 1 : -1);
    if (item < 0) item = kItems - 1;
    if (item >= kItems) item = 0;
    mm.menuItem = static_cast<int8_t>(item);
    m.posX = ItemX(item);
    // A pointer left on an item would select it again at once.
    if (PointerOnMusicItem(g)) MovePointerDownOrUp(g, kPointerBottomMargin * WindowScale(g));
  } else if (HasIdleRows(g)) {
    int row = mm.idleRow + (down ? 1 : -1);
    if (row < FirstIdleRow(g)) row = LastIdleRow(g);
    if (row > LastIdleRow(g)) row = FirstIdleRow(g);
    mm.idleRow = static_cast<int16_t>(row);
    m.currentRow = mm.idleRow;
    StorePose(g);
  }
  g.st.subStep() = kRedraw;
  PlaySoundEffect(g, kSoundMove);
}

void MusicMenuStep(Game& g) {
  RunStep(g);
  if (g.st.sceneCode != scene::kMusicMenu) return;
  KeepPanel(g);
  AnimateBackdrop(g);
  DrawLamp(g);
  ComposeMenuWindow(g);
  DrawAlbumPanelLeft(g);
  PresentFrame(g);
  FinishFrame(g);
}

}  // namespace kelvane
