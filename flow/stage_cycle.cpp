#include "flow/stage_cycle.h"

#include "app/game.h"
#include "flow/record_slots.h"
#include "flow/run_record.h"
#include "gameplay/action_engine.h"
#include "gameplay/backdrops.h"
#include "gameplay/command_entry.h"
#include "gameplay/command_recognition.h"
#include "gameplay/scoring.h"
#include "graphics/atlas.h"
#include "graphics/presentation.h"
#include "graphics/sound_effect.h"
#include "graphics/surfaces.h"
#include "graphics/window_layout.h"
#include "music/music_player.h"

namespace kelvane {
namespace {

// Sub-steps of the stage start.
namespace step {
constexpr int16_t kSlideInEnd = 15;
constexpr int16_t kRiseEnd = 26;
constexpr int16_t kDecide = 27;
constexpr int16_t kHumanTurn = 99;
constexpr int16_t kHumanWait = 100;
constexpr int16_t kJumpToCount = 108;
constexpr int16_t kComputerTurn = 109;
constexpr int16_t kCount = 110;
constexpr int16_t kSetUp = 136;
constexpr int16_t kFromLoadScene = 160;
constexpr int16_t kExitWait = 200;
constexpr int16_t kExitNo = 201;
constexpr int16_t kExitClosing = 250;
constexpr int16_t kExitClose = 270;
}  // namespace step

constexpr uint8_t kCpuLevelEager = 50;
constexpr uint8_t kCpuLevelNormal = 22;
constexpr uint8_t kCpuLevelHard = 2;
constexpr int kBannerHeight = 78;
constexpr int kBannerTop = 85;
constexpr int kZoomAtStageStart = 32;
constexpr int kZoomDuringPlay = 4;
constexpr int kZoomSpread = 54;  // exclusive upper bound of the countdown
constexpr uint16_t kPlayFrameInterval = 120;

Surface& Overlay(Game& g) {
  return g.gfx.spriteLayer;
}

// A cell of the main picture onto the overlay at (x, y), in mode.
void CopyCell(Game& g, const Rect& cell, int x, int y, uint32_t mode) {
  Surface& overlay = Overlay(g);
  overlay.canvas.copyMode = mode;
  CopyRect(overlay, Rect::XYWH(x, y, cell.Width(), cell.Height()), g.gfx.mainSheets[0], cell);
  overlay.canvas.copyMode = SRCCOPY;
}

// Banner step s = 1..15: slides in from both sides.
void SlideInBanner(Game& g, int s) {
  DrawRectangle(Overlay(g), Rect{497 - 16 * s, 96, 605 - 16 * s, 128});
  CopyCell(g, atlas::BannerBaseCell(124), 16 * s + 5, 96, SRCCOPY);
  CopyCell(g, atlas::At(atlas::RegionId::kBannerGlow), 481 - 16 * s, 96, SRCPAINT);
}

// Banner step t = 16..26: rises into place.
void RiseBanner(Game& g, int t) {
  DrawRectangle(Overlay(g), Rect{224 + t, 111 - t, 332 + t, 143 - t});
  CopyCell(g, atlas::BannerBaseCell(125), 261 - t, 112 - t, SRCCOPY);
  CopyCell(g, atlas::At(atlas::RegionId::kBannerGlow), 225 + t, 112 - t, SRCPAINT);
}

// The turn's mode label: row 0 after a confirm, 7 for a confirmed exit, else
// the play mode.
void DrawModeLabelRow(Game& g, int row) {
  CopyCell(g, atlas::ModeLabelCell(row), 272, 121, SRCCOPY);
}

void DrawTurnLabel(Game& g, int k) {
  CopyCell(g, atlas::TurnLabelCell(k), 295, 128, SRCCOPY);
}

}  // namespace

void ShowBannerStrip(Game& g) {
  int height = kBannerHeight - g.stage.bannerReduction;
  Rect source = Rect::XYWH(144, kBannerTop, 320, height);
  Rect target = IsLargeWindow(g) ? Rect::XYWH(0, 2 * kBannerTop, 640, 2 * height)
                                 : Rect::XYWH(0, kBannerTop, 320, height);
  Surface& frame = g.gfx.mainSurface;
  frame.canvas.copyMode = SRCCOPY;
  if (height > 0) CopyRect(frame, target, Overlay(g), source);
  PresentFrame(g);
}

int TurnLabelIndex(int8_t sceneCode) {
  if (sceneCode == scene::kStageStart1 || sceneCode == scene::kPlay1) return 1;
  if (sceneCode == scene::kStageStart2 || sceneCode == scene::kPlay2) return 2;
  return 0;
}

int16_t StageStartReplayStep() {
  return step::kFromLoadScene;
}

namespace {

uint8_t DecidePlayMode(Game& g) {
  StageState& s = g.stage;
  switch (g.st.sceneCode) {
    case scene::kExitQuestion:
      return 4;
    case scene::kDemoStart: {
      bool continuous = g.st.playReturnFlag != 0;
      g.st.playReturnFlag = 0;
      return continuous ? 6 : 5;
    }
    case scene::kStageStart1:
      return s.vsOrder == 1 ? 1 : 2;
    default:  // the second turn
      return s.vsOrder == 2 ? 1 : 2;
  }
}

// A random countdown for the automatic zoom, doubled while zoomed in.
int8_t ZoomCountdown(Game& g, int lowest) {
  int n = lowest + g.Rand(kZoomSpread - lowest);
  if (g.st.zoomFlag && IsLargeWindow(g)) n *= 2;
  return static_cast<int8_t>(n);
}

// The opening command: thousands 1..4, hundreds 5..6, and a tens digit that
// is kept (shown units 7) or replaced by the thousands (shown units 0).
// Returns the recorded code; commandCode becomes the shown one.
int32_t SettleOpeningCommand(Game& g) {
  int32_t code = g.cmd.commandCode;
  int T = (code / 1000) % 10, H = (code / 100) % 10, t = (code / 10) % 10, u = code % 10;
  if (T < 1 || T > 4) T = 1;
  if (H != 5 && H != 6) H = 5;
  int shownUnits;
  if (u == 0) {
    t = T;
    shownUnits = 0;
  } else if (t >= 1 && t <= 4) {
    shownUnits = 7;
  } else {
    t = T;
    u = 0;
    shownUnits = 0;
  }
  g.cmd.commandCode = T * 1000 + H * 100 + t * 10 + shownUnits;
  return T * 1000 + H * 100 + t * 10 + u;
}

void RedrawScores(Game& g) {
  DrawScoreSlot(g, 1);
  DrawScoreSlot(g, 2);
}

// The turn's record begun, the opening command on the display, its action
// started, the tune started.
void BeginTurn(Game& g, int32_t recordedCode) {
  StartRecord(g, recordedCode);
  ShowCommand(g, g.cmd.commandCode);
  RecognizeCommand(g);
  ClearLayers(g);
  BuildTuneName(g);
  PlayCurrent(g);
}

void SetUpTurn(Game& g) {
  GameState& st = g.st;
  StageState& s = g.stage;
  CommandState& c = g.cmd;
  int variants = st.colourMax + 1;
  switch (st.sceneCode) {
    case scene::kDemoStart:
      s.demoVariant = static_cast<int8_t>(s.demoVariant + 1);
      if (s.demoVariant > variants || s.demoVariant < 1) s.demoVariant = 1;
      s.currentPlayer = s.demoVariant == 1 ? 1 : 2;
      SetScore(g, 1, 0, JudgeWhy::kReset);
      SetScore(g, 2, 0, JudgeWhy::kReset);
      c.playColour = static_cast<uint8_t>(s.demoVariant - 1);
      break;
    case scene::kStageStart1:
      s.currentPlayer = 1;
      SetScore(g, 1, 0, JudgeWhy::kReset);
      SetScore(g, 2, 0, JudgeWhy::kReset);
      c.playColour = 0;
      break;
    default:
      s.currentPlayer = 2;
      // With one colour scheme loaded the second player shares it.
      c.playColour = st.colourMax >= 1 ? 1 : 0;
      break;
  }
  c.groupDone.fill(0);
  c.recentGroups.fill(0);
  c.cpuDone = 0;
  c.scoreLock = 0;
  ResetPlay(g);
  RedrawScores(g);
  // Every stage opens on a plain colour; the opening routine picks the
  // backdrop it wants.
  g.motion.backdrop.backdropNumber = -1;
  LoadBackdrop(g);

  if (s.zoomCountdown >= 0) {
    if (IsLargeWindow(g)) {
      st.zoomFlag = 0;
      SetStageView(g);
    }
    s.zoomCountdown = ZoomCountdown(g, kZoomAtStageStart);
  }
  if (!st.firstRoutineDone) c.commandCode = 1511;
  st.firstRoutineDone = 1;
  const int32_t recordedCode = SettleOpeningCommand(g);

  if (s.matchRule == 1) {
    s.cpuLevel = kCpuLevelNormal;
  } else if (s.matchRule == 3) {
    s.cpuLevel = kCpuLevelHard;
  } else {
    s.cpuLevel = st.playMode == 1 ? kCpuLevelEager : kCpuLevelNormal;
  }

  BeginTurn(g, recordedCode);

  if (st.sceneCode == scene::kStageStart1) {
    s.firstTurnLength = static_cast<uint32_t>(st.bgmLength);
    if (s.vsOrder == 3 && (s.p2Handicap == 1 || s.p2Handicap == 3)) {
      SetScore(g, 2, st.bgmLength / (s.p2Handicap == 1 ? 300 : 30), JudgeWhy::kHeadStart);
      RedrawScores(g);
    }
  } else if (st.sceneCode == scene::kStageStart2) {
    st.bgmEndTick = st.bgmStartTick + s.firstTurnLength;
    st.bgmLength = static_cast<int32_t>(s.firstTurnLength);
  }

  g.pf.window->SetCursor(1);
  st.sceneCode = static_cast<int8_t>(st.sceneCode + 1);
  st.lastFrameTick = g.Now();
  st.frameInterval = kPlayFrameInterval;
}

// The computer types one key of its command, or a landing key.
void ComputerTypes(Game& g) {
  CommandState& c = g.cmd;
  int r = g.Rand(g.stage.cpuLevel);
  if (r > 9 || c.cpuDone) return;
  if (c.commandWeight == 10000) {
    bool miss = g.stage.cpuLevel == kCpuLevelEager || (r == 9 && g.Rand(2) == 1) ||
                (r == 8 && c.fallPenalty < 4000);
    int digit = miss ? (g.Rand(5) + c.landingKey) % 6 : c.landingKey - 1;
    TypeCommandKey(g, ComputerKey(g, digit));
  } else if (c.commandWeight > 0) {
    int digit = (c.matchedCode / c.commandWeight) % 10;
    if (digit == 0) {
      c.cpuDone = 1;
    } else {
      bool lastPlace = c.commandWeight == 1;
      TypeCommandKey(g, ComputerKey(g, digit - 1));
      if (lastPlace) c.cpuDone = 1;
    }
  }
}

// The media element the turn played: the CD drive for CD audio, else the
// tune's file; after a silent turn, the element opened last.
std::string MediaElementName(Game& g) {
  std::string element = g.st.bgmFileName;
  if (!element.empty() && g.music.bgmSource == source::kCD) element = g.st.cdDriveName;
  std::string& last = g.record.lastElement;
  if (element.empty()) return last;
  last = element;
  return element;
}

void StepAutomaticZoom(Game& g) {
  StageState& s = g.stage;
  if (g.motion.currentRow == 0 || !IsLargeWindow(g) || s.zoomCountdown < 0) return;
  s.zoomCountdown = static_cast<int8_t>(s.zoomCountdown - 1);
  if (s.zoomCountdown < 1) {
    SetStageView(g);
    s.zoomCountdown = ZoomCountdown(g, kZoomDuringPlay);
  }
}

}  // namespace

void StageStartStep(Game& g) {
  GameState& st = g.st;
  StageState& s = g.stage;
  int16_t& sub = st.subStep();

  if (sub == 0) {
    g.pf.window->SetCursor(3);
    s.bannerReduction = 27;
    ClearLayers(g);
    st.frameInterval = st.normalFrameInterval;
    StopMusic(g);
    PlaySoundEffect(g, st.sceneCode == scene::kExitQuestion ? 20 : 10);
    ++sub;
  } else if (sub <= step::kSlideInEnd) {
    SlideInBanner(g, sub);
    ++sub;
  } else if (sub <= step::kRiseEnd) {
    RiseBanner(g, sub);
    ++sub;
  } else if (sub == step::kDecide) {
    st.playMode = DecidePlayMode(g);
    DrawModeLabelRow(g, st.playMode);
    DrawTurnLabel(g, TurnLabelIndex(st.sceneCode));
    if (st.playMode == 2) {
      sub = step::kHumanTurn;
    } else if (st.playMode == 4) {
      sub = step::kExitWait;
    } else {
      sub = step::kComputerTurn;
    }
    s.bannerReduction = 0;
    s.labelRow = -1;
    if (sub != step::kExitWait) DrawClosedSlotLabels(g);
  } else if (sub == step::kHumanTurn) {
    g.motion.facesRight = 0;
    CommandState& c = g.cmd;
    c.matchedCode = 0;
    c.commandWeight = 1000;
    c.commandCode = 0;
    c.landingKey = 0;
    ++sub;
  } else if (sub == step::kHumanWait) {
    // Waits for the player's confirmation (the keyboard moves it on).
  } else if (sub > step::kHumanWait && sub < step::kJumpToCount) {
    ++sub;
  } else if (sub == step::kJumpToCount) {
    sub = step::kCount;
  } else if (sub == step::kComputerTurn && g.record.replayAtStart) {
    // A record given on the command line replays as this turn.
    g.record.replayAtStart = 0;
    sub = step::kFromLoadScene;
  } else if (sub == step::kComputerTurn) {
    // Drawn one by one: the order of the draws is part of a seeded run.
    const int32_t thousands = 1 + g.Rand(4);
    const int32_t hundreds = 5 + g.Rand(2);
    const int32_t units = 1 + g.Rand(4);
    g.cmd.commandCode = 1010 * thousands + 100 * hundreds + units;
    g.cmd.landingKey = 0;
    sub = step::kCount;
  } else if (sub >= step::kCount && sub < step::kSetUp) {
    ++sub;
  } else if (sub == step::kSetUp) {
    SetUpTurn(g);
  } else if (sub == step::kFromLoadScene) {
    s.replayMode = 1;
    g.cmd.landingKey = 0;
    sub = step::kSetUp;
  } else if (sub == step::kExitNo) {
    st.sceneCode = scene::kModeMenu;
    ResetSceneCounters(st);
    st.lastFrameTick = g.Now();
    PlayLooped(g, st.dataFolder + "Zz.mid");
    g.pf.window->SetCursor(2);
  } else if (sub >= step::kExitClosing && sub < step::kExitClose) {
    ++sub;
  } else if (sub == step::kExitClose) {
    g.pf.window->SetVisible(FormId::FM, false);
    st.closeRequested = 1;
    ++sub;
  }
  if (st.sceneCode == scene::kModeMenu) return;
  ShowBannerStrip(g);
}

void RedrawModeLabel(Game& g, int row) {
  DrawModeLabelRow(g, row);
}

// The play field: the engine's step draws the figures, then the backdrop,
// the layers, the panels and the presentation.
void DrawPlayFrame(Game& g) {
  ActionStep(g);
  AnimateBackdropAndCompositeStage(g);
  DrawIconPanel(g, g.motion.facesRight ? 1 : 0);
  PresentFrame(g);
}

void PlayStep(Game& g) {
  GameState& st = g.st;
  CommandState& c = g.cmd;
  ++c.frameCounter;
  if (c.landingPromptTimer >= 0) --c.landingPromptTimer;
  st.subStep() = -1;
  if (!g.stage.replayMode && st.playMode != 2) {
    ComputerTypes(g);
  }
  StepAutomaticZoom(g);
  // The icon panel's indicator step shows the required landing key once the
  // bonus window has closed.
  DrawPlayFrame(g);
  // A replayed key lands after the engine's step, where a typed key landed
  // when the turn was recorded: the record's frame counts were taken there,
  // and a key a step early can start an action a frame early.
  ReplayStep(g);
}

void EndStage(Game& g) {
  GameState& st = g.st;
  StageState& s = g.stage;
  ResetSceneCounters(st);
  st.flickerUntil = 0;
  // A silent turn has no tune to stop below, but its minute is still timed;
  // left armed, it would end whatever scene comes next.
  st.bgmLength = 0;
  // The scripts may have switched tile patterns or effects off; every stage
  // starts with both allowed again.
  g.motion.backdrop.tileSwitch = 1;
  g.motion.backdrop.effectsOn = 1;
  // A replay that ran out locked the score; the scenes after it count again.
  g.cmd.scoreLock = 0;
  st.lastInputTick = g.Now();
  std::string tune = st.bgmFileName;
  std::string element = MediaElementName(g);
  if (!tune.empty()) StopMusic(g);
  st.lastFrameTick = g.Now();
  FinishRecord(g, tune, element);
  st.prevScene = static_cast<uint8_t>(st.sceneCode);
  const bool humanTurn = st.playMode == 2 && !s.replayMode;
  if (humanTurn || s.alwaysOfferSave) {
    st.sceneCode = scene::kSaveSlot;
  } else {
    st.sceneCode = static_cast<int8_t>(st.sceneCode + 1);
  }
  s.replayMode = 0;
  g.pf.window->SetCaption(FormId::FM, "Kelvane");
}

int ComputerKey(Game& g, int digit) {
  bool right = g.motion.facesRight != 0;
  switch (digit) {
    case 0:
      return 38;
    case 1:
      return right ? 39 : 37;
    case 2:
      return 40;
    case 3:
      return right ? 37 : 39;
    case 4:
      return 89;
    default:
      return 78;
  }
}

}  // namespace kelvane
