#include "flow/match_result.h"

#include <cstdlib>

#include "app/game.h"
#include "flow/music_menu.h"
#include "flow/record_slots.h"
#include "flow/scene_art.h"
#include "gameplay/action_engine.h"
#include "gameplay/mode_menu.h"
#include "graphics/atlas.h"
#include "graphics/presentation.h"
#include "graphics/sound_effect.h"
#include "graphics/surfaces.h"
#include "graphics/window_layout.h"
#include "music/music_player.h"

namespace kelvane {
namespace {

using namespace result;
using atlas::RegionId;

constexpr size_t kMaskSheet = 3;

constexpr int kRuleNormal = 1, kRuleFree = 2, kRuleHard = 3;
constexpr int kComputerFirst = 1, kHumanFirst = 2, kTwoHumans = 3;

// The winner's plate slides up from here, 2 pixels a frame.
constexpr int kPlateX = 263;
constexpr int kPlateY = 99;
constexpr int kPlateRise = 2;
// The blinking mark over each side.
constexpr int kMarkY = 126;
constexpr int kMarkXPlayer1 = 274;
constexpr int kMarkXPlayer2 = 319;
// Where the two players stand for their shows.
constexpr int16_t kPlayer1X = 55;
constexpr int16_t kPlayer2X = 201;

// The result window: layers (192, d)-(416, 187) onto (48, d)-(272, 187),
// d lower while the shows run at the slow interval.
constexpr int kWindowLeft = 192, kWindowRight = 416, kWindowBottom = 187;
constexpr int kShift = kWindowLeft - 48;
constexpr int kTopMenuPace = 85;
constexpr int kTopShowPace = 27;

constexpr int kSoundSlide = 2;
constexpr int kSoundCheer = 69;  // 69..71
constexpr int kSoundSigh = 50;   // 50..52
constexpr int kMenuCursor = 2;
constexpr int kResultCursor = 3;
constexpr uint8_t kMenuPageMatch = 2;
constexpr uint8_t kMenuPageTwoHumans = 4;

int VictoryRows(const Game& g) {
  return g.actions.barPairs;
}

void DrawCell(Game& g, const Rect& cell, int x, int y) {
  Surfaces& s = g.gfx;
  s.blitSource = cell;
  s.blitTarget = Rect::XYWH(x, y, cell.Width(), cell.Height());
  DrawSprite(g, s.mainSheets[0], &s.mainSheets[kMaskSheet]);
}

void DrawPlate(Game& g, int y) {
  const MatchResultState& r = g.result;
  DrawCell(g, atlas::ResultPlateCell(r.player2Won, r.courseMatch), kPlateX, y);
}

// The two scores, as the heads-up display last showed them, onto the
// winner's plate.
void LabelPlate(Game& g) {
  const MatchResultState& r = g.result;
  Surface& sheet = g.gfx.mainSheets[0];
  sheet.canvas.copyMode = SRCCOPY;
  CopyRect(sheet, atlas::ResultScoreLabelPlace(r.player2Won, r.courseMatch, 1), sheet,
           atlas::At(RegionId::kHudSlot1A));
  CopyRect(sheet, atlas::ResultScoreLabelPlace(r.player2Won, r.courseMatch, 2), sheet,
           atlas::At(RegionId::kHudSlot2A));
}

// The player takes the stage: colour, place and, for player 2, facing.
void BecomePlayer(Game& g, int player) {
  Motion& m = g.motion;
  g.stage.currentPlayer = static_cast<uint8_t>(player);
  if (player == 2) {
    // With one colour scheme loaded the second player shares it.
    g.cmd.playColour = g.st.colourMax >= 1 ? 1 : 0;
    m.posX = kPlayer2X;
    m.facesRight = 1;
  } else {
    g.cmd.playColour = 0;
    m.posX = kPlayer1X;
  }
}

// A show starts as a fresh action: nothing typed, no landing pending and no
// called row to return to, so the show can neither turn into a fall nor
// change the scores it celebrates.
void ResetShow(Game& g) {
  ResetAction(g);
  g.motion.returnRow = 0;
  CommandState& c = g.cmd;
  c.commandCode = 0;
  c.commandWeight = 1000;
  c.landingKey = 0;
  c.fallPenalty = 1;
}

int16_t ShowRow(Game& g) {
  const int n = VictoryRows(g);
  if (n < 1) return 0;  // the data has no victory actions: the idle row
  const int picked = PickShowAction(g);
  return static_cast<int16_t>(picked >= 0 ? picked + 1 : 1 + g.Rand(n));
}

void Start(Game& g) {
  GameState& st = g.st;
  MatchResultState& r = g.result;
  const CommandState& c = g.cmd;
  st.frameInterval = st.normalFrameInterval;
  ClearLayers(g);
  g.pf.window->SetCursor(kResultCursor);
  PlayLooped(g, st.dataFolder + "Zz.mid");
  r.blinkCounter = 0;
  BeginResultSlots(g);
  if (!IsCourseWin(g)) r.courseMatch = 0;
  r.player2Won = c.scoreSlots[1] < c.scoreSlots[2];
  r.tie = c.scoreSlots[1] == c.scoreSlots[2];
  LabelPlate(g);
  DrawPlate(g, kPlateY);
}

void StartWinnerShow(Game& g) {
  g.st.frameInterval = g.st.slowFrameInterval;
  ResetShow(g);
  BecomePlayer(g, g.result.player2Won ? 2 : 1);
  g.motion.currentRow = ShowRow(g);
  PlaySoundEffect(g, kSoundCheer + g.Rand(3));
  g.st.subStep() = kWinnerShow;
}

void StartLoserShow(Game& g) {
  MatchResultState& r = g.result;
  ResetShow(g);
  g.musicMenu.idleCycle = 0;
  const int loser = r.player2Won ? 1 : 2;
  BecomePlayer(g, loser);
  int8_t& slot = r.slotOfTurn[static_cast<size_t>(loser - 1)];
  slot = static_cast<int8_t>(-slot);
  g.motion.currentRow = ShowRow(g);
  if (r.tie) {
    PlaySoundEffect(g, kSoundCheer + g.Rand(3));
    r.slotOfTurn = {0, 0};
    g.st.subStep() = kTieShow;
  } else {
    g.motion.currentRow = static_cast<int16_t>(g.motion.currentRow + VictoryRows(g));
    PlaySoundEffect(g, kSoundSigh + g.Rand(3));
    g.st.subStep() = r.courseMatch ? kCourseWait : kWait;
  }
  ActionStep(g);
  DrawResultMarks(g);
  const SlotMarks marks = MatchSlotMarks(r.slotOfTurn);
  if (marks.count > 0) ShowResultSlots(g, marks);
}

// The loser's show runs to its end; then the scene only waits for a key.
void WaitStep(Game& g) {
  if (g.motion.currentRow > VictoryRows(g)) {
    uint8_t& cycle = g.musicMenu.idleCycle;
    if (++cycle >= music_menu::kIdleCycleFrames) cycle = 0;
    ActionStep(g);
  }
  DrawResultMarks(g);
}

void Leave(Game& g) {
  ClearLayers(g);
  g.menu.menuPage = g.stage.vsOrder == kTwoHumans ? kMenuPageTwoHumans : kMenuPageMatch;
  g.st.sceneCode = scene::kModeMenu;
  ResetSceneCounters(g.st);
  g.st.lastFrameTick = g.Now();
  g.pf.window->SetCursor(kMenuCursor);
}

void RunStep(Game& g) {
  int16_t& sub = g.st.subStep();
  if (sub == kStart) {
    Start(g);
    ++sub;
  } else if (sub >= 1 && sub <= kPlateLast) {
    DrawPlate(g, kPlateY - kPlateRise * sub);
    if (sub == 2) PlaySoundEffect(g, kSoundSlide);
    ++sub;
  } else if (sub == kShow) {
    StartWinnerShow(g);
  } else if ((sub >= kWinnerShow && sub < kLoserShow) || (sub >= kTieShow && sub < kTieShowEnd)) {
    ActionStep(g);
    DrawResultMarks(g);
    ++sub;
  } else if (sub == kLoserShow) {
    StartLoserShow(g);
  } else if (sub == kTieShowEnd) {
    DrawResultMarks(g);
    sub = kWait;
  } else if (sub == kCourseWait || sub == kWait) {
    WaitStep(g);
  } else if (sub == kCourseStep) {
    CourseStep(g);
  } else if (sub == kLeave) {
    Leave(g);
  }
}

// From the shows on, the plate stays under the characters, whose pictures
// clear the layers.
void KeepPlate(Game& g) {
  const int16_t sub = g.st.subStep();
  const bool shows = (sub >= kWinnerShow && sub <= kLoserShow) ||
                     (sub >= kTieShow && sub <= kTieShowEnd) || sub == kCourseWait || sub == kWait;
  if (!shows) return;
  const MatchResultState& r = g.result;
  DrawBehind(g, atlas::ResultPlateCell(r.player2Won, r.courseMatch), kPlateX,
             kPlateY - kPlateRise * kPlateLast);
  DrawResultSlotsBehind(g);
}

void ComposeResultWindow(Game& g) {
  Surfaces& s = g.gfx;
  const int top = g.st.frameInterval == g.st.normalFrameInterval ? kTopMenuPace : kTopShowPace;
  const Rect area{kWindowLeft, top, kWindowRight, kWindowBottom};
  const int k = WindowScale(g);
  const Rect place{(kWindowLeft - kShift) * k, top * k, (kWindowRight - kShift) * k,
                   kWindowBottom * k};
  Surface& frame = s.mainSurface;
  frame.canvas.copyMode = SRCAND;
  CopyRect(frame, place, s.maskLayer, area);
  frame.canvas.copyMode = SRCPAINT;
  CopyRect(frame, place, s.spriteLayer, area);
  frame.canvas.copyMode = SRCCOPY;
}

int LevelsOf(const Game& g, int rule) {
  return rule == kRuleHard ? g.st.hardLevels : g.st.normalLevels;
}

}  // namespace

bool IsCourseWin(const Game& g) {
  const StageState& s = g.stage;
  const auto& score = g.cmd.scoreSlots;
  if (!g.result.courseMatch || s.matchRule == kRuleFree) return false;
  if (s.vsOrder == kComputerFirst) return score[2] > score[1];
  if (s.vsOrder == kHumanFirst) return score[1] > score[2];
  return false;
}

int PickShowAction(Game& g) {
  int index = -1;
  for (int digit = 1; digit <= 9; ++digit)
    if (g.pf.keys->IsDown('0' + digit)) index = digit - 1;
  if (g.pf.keys->IsDown('0')) index = 9;
  const int highest = VictoryRows(g) - 1;
  if (index > highest) index = highest;
  return index;
}

void CourseStep(Game& g) {
  const int rule = g.stage.matchRule;
  if (rule == kRuleNormal || rule == kRuleHard) {
    int8_t& reached = rule == kRuleHard ? g.st.hardReached : g.st.normalReached;
    uint8_t& index = g.menu.galleryIndex[static_cast<size_t>(rule)];
    if (reached < LevelsOf(g, rule)) {
      ++reached;
      index = static_cast<uint8_t>(reached);
    } else {
      // Every level is open: step back through the pictures instead.
      int previous = index - 1;
      if (previous < 1) previous = reached;
      index = static_cast<uint8_t>(previous < 0 ? 0 : previous);
    }
    LoadGalleryPicture(g, rule, index);
  }
  ClearLayers(g);
  g.st.subStep() = kLevelShown;
  g.st.frameInterval = g.st.normalFrameInterval;
}

void DrawResultMarks(Game& g) {
  MatchResultState& r = g.result;
  int row;
  switch (++r.blinkCounter) {
    case 1:
      row = 1;
      break;
    case 2:
    case 3:
      row = 2;
      break;
    case 4:
      row = 1;
      break;
    default:
      r.blinkCounter = 0;
      row = 0;
      break;
  }
  DrawCell(g, atlas::ResultBlinkCell(r.player2Won, r.courseMatch, row),
           r.player2Won ? kMarkXPlayer2 : kMarkXPlayer1, kMarkY);
  if (r.blinkCounter != 1 && r.blinkCounter != 3) return;
  const int phase = r.blinkCounter == 1 ? 0 : 1;
  for (int8_t entry : r.slotOfTurn)
    if (entry != 0) BlinkResultSlotMark(g, std::abs(entry), phase);
}

SlotMarks MatchSlotMarks(const std::array<int8_t, 2>& slotOfTurn) {
  SlotMarks out;
  if (slotOfTurn[0] == -slotOfTurn[1]) return out;
  for (int8_t e : slotOfTurn) {
    if (e >= -9 && e <= -1)
      out.marks[static_cast<size_t>(out.count++)] = {static_cast<int8_t>(-e), -1};
    if (e >= 1 && e <= 9) out.marks[static_cast<size_t>(out.count++)] = {e, 1};
  }
  return out;
}

void BeginResultSlots(Game& g) {
  g.recordSlots.slotLayout = 0;
}

void ShowResultSlots(Game& g, const SlotMarks& marks) {
  // The summaries are read first, so that reading them cannot clear the
  // marks given now.
  for (int n = 1; n <= slot_scene::kCount; ++n) ReadSlotHeader(g, n);
  for (int i = 0; i < marks.count; ++i) {
    const SlotMark& m = marks.marks[static_cast<size_t>(i)];
    g.recordSlots.summary[static_cast<size_t>(m.slot)].mark = m.mark;
  }
  g.recordSlots.slotLayout = 1;
  for (int n = 1; n <= slot_scene::kCount; ++n) DrawSlotOpen(g, n);
}

void BlinkResultSlotMark(Game& g, int slot, int phase) {
  if (g.recordSlots.slotLayout != 1 || slot < 1 || slot > slot_scene::kCount) return;
  const Point p = slot_scene::kLayout1[static_cast<size_t>(slot)];
  const int8_t mark = g.recordSlots.summary[static_cast<size_t>(slot)].mark;
  DrawCell(g, atlas::SlotResultMarkCell(mark, phase), p.x + 149, p.y - 8);
}

void ResultStep(Game& g) {
  RunStep(g);
  if (g.st.sceneCode != scene::kMatchResult) return;
  KeepPlate(g);
  AnimateBackdrop(g);
  ComposeResultWindow(g);
  PresentFrame(g);
}

}  // namespace kelvane
