#include "gameplay/action_engine.h"

#include "app/game.h"
#include "gameplay/backdrops.h"
#include "gameplay/character_drawing.h"
#include "gameplay/command_recognition.h"
#include "gameplay/scoring.h"
#include "graphics/presentation.h"
#include "graphics/sound_effect.h"

namespace kelvane {
namespace {

// Instruction codes of stream A: (-value) mod 100.
namespace op {
constexpr int kEnd = 1;
constexpr int kPartnerFacing = 2;
constexpr int kLand = 3;
constexpr int kFaceLeft = 4;
constexpr int kTurn = 5;
constexpr int kClear = 6;
constexpr int kPartnerByPosition = 7;
constexpr int kPartnerSwap = 8;
constexpr int kMirrorPartner = 9;
constexpr int kFaceCentre = 14;
constexpr int kFaceInward = 15;
constexpr int kFaceOutward = 16;
constexpr int kMoveForward = 20;
constexpr int kMoveBackward = 21;
constexpr int kSpeedForward = 22;
constexpr int kSpeedBackward = 23;
constexpr int kPlaceRight = 24;
constexpr int kPlaceLeft = 25;
constexpr int kExitRow = 26;
constexpr int kAccelForward = 28;
constexpr int kAccelBackward = 29;
constexpr int kMoveDown = 30;
constexpr int kMoveUp = 31;
constexpr int kSpeedDown = 32;
constexpr int kSpeedUp = 33;
constexpr int kHeightDown = 34;
constexpr int kHeightUp = 35;
constexpr int kGravityDown = 38;
constexpr int kGravityUp = 39;
constexpr int kLoopEnd = 40;
constexpr int kLoopStart = 41;
constexpr int kBackdrop = 49;
constexpr int kTileForward = 50;
constexpr int kTileBackward = 51;
constexpr int kClampToggle = 52;
constexpr int kTileSwitch = 53;
constexpr int kCompanionMode = 56;
constexpr int kCallForward = 63;
constexpr int kCallBack = 64;
constexpr int kCallBang = 65;
constexpr int kCallSecondBang = 66;
constexpr int kJumpForward = 67;
constexpr int kJumpBack = 68;
constexpr int kCompanionCallBang = 69;
constexpr int kFlicker = 76;
constexpr int kCommandBackdrop = 77;
constexpr int kEffectsSwitch = 78;
constexpr int kEffectsBackdrop = 79;
constexpr int kSoundEither = 96;
constexpr int kSound = 97;
constexpr int kColour = 98;
}  // namespace op

constexpr int16_t kHold = -1;  // streams B and C: keep the counter where it is

int16_t Wrap16(int v) {
  return static_cast<int16_t>(v);
}

bool RowInTable(const Game& g, int row) {
  return row >= 0 && row <= g.actions.lastRow;
}

// A stream value at start + step; kHold past the end of the table.
template <size_t N>
int16_t StreamAt(const std::array<int16_t, N>& stream, int start, int step) {
  const int i = start + step;
  if (i < 0 || i >= static_cast<int>(N)) return kHold;
  return stream[static_cast<size_t>(i)];
}

// Reads the current step of each stream. A row outside the table reads as
// the end instruction, so the action ends instead of reading stray memory.
void Fetch(Game& g) {
  Motion& m = g.motion;
  if (!RowInTable(g, m.currentRow)) {
    ++m.diag.rowsOutsideTable;
    m.curA = -op::kEnd;
    m.curB = kHold;
    m.curC = kHold;
    return;
  }
  const ActionRow& row = g.actions.actionRows[static_cast<size_t>(m.currentRow)];
  // Past the end of stream A reads -1, the end instruction.
  m.curA = StreamAt(g.actions.motionStream, row.motionStart, m.stepA);
  m.curB = StreamAt(g.actions.secondStream, row.secondStart, m.stepB);
  m.curC = StreamAt(g.actions.thirdStream, row.thirdStart, m.stepC);
}

// +n toward the facing, -n away from it.
int Forward(const Motion& m, int n) {
  return n * (2 * m.facesRight - 1);
}

uint8_t FacingFromSide(const Motion& m) {
  return m.posX < engine::kHalfStage ? 1 : 0;
}

void EndOfRow(Game& g) {
  Motion& m = g.motion;
  if (m.returnRow != 0) {
    m.currentRow = m.returnRow;
    m.stepA = m.returnA;
    m.stepB = m.returnB;
    m.stepC = m.returnC;
    m.returnRow = 0;
    return;
  }
  if (m.currentRow == g.actions.lastRow) m.currentRow = -1;
  RecognizeCommand(g);
}

void LoopEnd(Motion& m, int n) {
  bool jump = false;
  if (m.loopCount == 0) {
    m.loopCount = static_cast<uint8_t>(n);
    jump = true;
  } else if (m.loopCount >= 3 && m.loopCount <= 99) {
    --m.loopCount;
    jump = true;
  }
  if (!jump) return;
  m.stepA = m.loopA;
  if (m.curB != kHold) m.stepB = m.loopB;
  if (m.curC != kHold) m.stepC = m.loopC;
}

void ChooseBackdropByNumber(Game& g, int n) {
  BackdropState& b = g.motion.backdrop;
  const int digit = n % 10;
  if (n >= 0 && n <= 9) {
    b.backdropNumber = AvoidCurrentBackdrop(g, static_cast<int8_t>(-digit));
  } else if (n >= 10 && n <= 19) {
    b.backdropNumber = static_cast<int8_t>(-digit);
  } else if (n >= 20 && n <= 39) {
    b.backdropNumber = AvoidCurrentBackdrop(g, static_cast<int8_t>(digit));
  } else if (n >= 40 && n <= 59) {
    b.backdropNumber = static_cast<int8_t>(digit);
  } else if (n == 60) {
    b.backdropNumber = AvoidCurrentBackdrop(g, b.backdropNumber);
  }
  b.tilePattern = -1;
  AskLoadBackdrop(g);
}

void TileStep(Game& g, int n, int8_t direction) {
  BackdropState& b = g.motion.backdrop;
  if (!b.tileSwitch) return;
  if (b.tilePattern == -1) {
    DrawTilePattern(g, n, direction);
  } else {
    b.tilePattern = -1;
    AskRestoreBackdrop(g);
  }
}

void ToggleFlicker(Game& g) {
  uint32_t& until = g.st.flickerUntil;
  until = until != 0 ? 0 : g.Now() + engine::kFlickerMs;
}

void ChangeColour(Game& g, int n) {
  const int highest = g.st.colourMax;
  uint8_t& colour = g.cmd.playColour;
  const int next = colour >= highest ? 0 : colour + 1;
  const int previous = colour == 0 || colour > highest ? highest : colour - 1;
  if (n >= 0 && n <= 2) {
    colour = static_cast<uint8_t>(n + 1 > highest ? highest : n + 1);
  } else if (n == 10) {
    colour = static_cast<uint8_t>(g.Rand(highest + 1));
  } else if (n == 11) {
    colour = static_cast<uint8_t>(g.Rand(2) == 0 ? previous : next);
  } else if (n == 21) {
    colour = static_cast<uint8_t>(previous);
  } else {
    colour = static_cast<uint8_t>(next);
  }
}

void Execute(Game& g, int code, int n) {
  Motion& m = g.motion;
  BackdropState& b = m.backdrop;
  switch (code) {
    case op::kEnd:
      EndOfRow(g);
      break;
    case op::kPartnerFacing:
      m.partnerSide = m.facesRight;
      break;
    case op::kLand:
      m.posY = 0;
      break;
    case op::kFaceLeft:
      m.facesRight = 0;
      break;
    case op::kTurn:
      m.facesRight = m.facesRight ? 0 : 1;
      break;
    case op::kClear:
      ClearLayers(g);
      break;
    case op::kPartnerByPosition:
      m.partnerSide = FacingFromSide(m);
      m.effectMirror = m.facesRight;
      break;
    case op::kPartnerSwap:
      m.partnerSide = m.partnerSide ? 0 : 1;
      m.effectMirror = m.facesRight;
      break;
    case op::kMirrorPartner:
      m.effectMirror = m.partnerSide;
      break;
    case op::kFaceCentre:
      m.facesRight = FacingFromSide(m);
      m.effectMirror = m.facesRight;
      break;
    case op::kFaceInward:
      if (m.posX < 80) m.facesRight = 1;
      if (m.posX > 176) m.facesRight = 0;
      m.effectMirror = m.facesRight;
      break;
    case op::kFaceOutward:
      if (m.posX < 80) m.facesRight = 0;
      if (m.posX > 176) m.facesRight = 1;
      m.effectMirror = m.facesRight;
      break;
    case op::kMoveForward:
      m.posX = Wrap16(m.posX + Forward(m, n));
      break;
    case op::kMoveBackward:
      m.posX = Wrap16(m.posX - Forward(m, n));
      break;
    case op::kSpeedForward:
      m.velX = Wrap16(Forward(m, n));
      break;
    case op::kSpeedBackward:
      m.velX = Wrap16(-Forward(m, n));
      break;
    case op::kPlaceRight:
      m.posX = Wrap16(engine::kStageCentre + n);
      break;
    case op::kPlaceLeft:
      m.posX = Wrap16(engine::kStageCentre - n);
      break;
    case op::kExitRow:
      m.exitRow = static_cast<uint8_t>(n);
      break;
    case op::kAccelForward:
      m.accX = Wrap16(Forward(m, n));
      break;
    case op::kAccelBackward:
      m.accX = Wrap16(-Forward(m, n));
      break;
    case op::kMoveDown:
      m.posY = Wrap16(m.posY + n);
      break;
    case op::kMoveUp:
      m.posY = Wrap16(m.posY - n);
      break;
    case op::kSpeedDown:
      m.velY = Wrap16(n);
      break;
    case op::kSpeedUp:
      m.velY = Wrap16(-n);
      break;
    case op::kHeightDown:
      m.posY = Wrap16(n);
      break;
    case op::kHeightUp:
      m.posY = Wrap16(-n);
      break;
    case op::kGravityDown:
      m.accY = Wrap16(n);
      break;
    case op::kGravityUp:
      m.accY = Wrap16(-n);
      break;
    case op::kLoopEnd:
      LoopEnd(m, n);
      break;
    case op::kLoopStart:
      m.loopA = m.stepA;
      m.loopB = m.stepB;
      m.loopC = m.stepC;
      m.loopCount = 0;
      break;
    case op::kBackdrop:
      ChooseBackdropByNumber(g, n);
      break;
    case op::kTileForward:
      TileStep(g, n, 1);
      break;
    case op::kTileBackward:
      TileStep(g, n, -1);
      break;
    case op::kClampToggle:
      m.centreClamp = m.centreClamp ? 0 : 1;
      break;
    case op::kTileSwitch:
      b.tileSwitch = b.tileSwitch ? 0 : 1;
      break;
    case op::kCompanionMode:
      m.companionMode = static_cast<uint8_t>(n);
      break;
    case op::kCallForward:
      CallRow(g, m.currentRow + n);
      break;
    case op::kCallBack:
      CallRow(g, m.currentRow - n);
      break;
    case op::kCallBang:
      CallRow(g, g.actions.bangRow + n);
      break;
    case op::kCallSecondBang:
      CallRow(g, g.actions.secondBangRow + n);
      break;
    case op::kJumpForward:
    case op::kJumpBack:
      if (m.companionMode != 0) {
        ResetMotion(g);
        m.currentRow = Wrap16(m.currentRow + (code == op::kJumpForward ? n : -n));
      }
      break;
    case op::kCompanionCallBang:
      if (m.companionMode != 0) CallRow(g, g.actions.bangRow + n);
      break;
    case op::kFlicker:
      ToggleFlicker(g);
      break;
    case op::kCommandBackdrop:
      b.backdropNumber = CommandBackdrop(g);
      AskLoadBackdrop(g);
      break;
    case op::kEffectsSwitch:
      if (!b.effectsOn) {
        b.effectsOn = 1;
      } else if (b.tilePattern == -1) {
        b.effectsOn = 0;
      }
      break;
    case op::kEffectsBackdrop:
      if (b.effectsOn) {
        b.tilePattern = -1;
      } else {
        b.effectsOn = 1;
      }
      b.backdropNumber = CommandBackdrop(g);
      AskLoadBackdrop(g);
      break;
    case op::kSoundEither:
      PlaySoundEffect(g, n + g.Rand(2));
      break;
    case op::kSound:
      PlaySoundEffect(g, n);
      break;
    case op::kColour:
      ChangeColour(g, n);
      break;
    default:
      break;  // consumed without effect
  }
}

// Runs instructions up to the frame's picture. False when the bound cut the
// frame short (no picture this frame).
bool RunInstructions(Game& g) {
  Motion& m = g.motion;
  Fetch(g);
  int executed = 0;
  while (m.curA < 0) {
    if (executed == engine::kMaxInstructionsPerFrame) {
      ++m.diag.instructionBoundHits;
      return false;
    }
    ++executed;
    m.stepA = Wrap16(m.stepA + 1);
    const int value = -static_cast<int>(m.curA);
    Execute(g, value % 100, value / 100);
    Fetch(g);
  }
  return true;
}

void Integrate(Motion& m) {
  m.posX = Wrap16(m.posX + m.velX);
  m.posY = Wrap16(m.posY + m.velY);
  m.velX = Wrap16(m.velX + m.accX);
  m.velY = Wrap16(m.velY + m.accY);
  if (m.centreClamp) {
    if (m.posX < engine::kClampLeft) m.posX = engine::kClampLeft;
    if (m.posX > engine::kClampRight) m.posX = engine::kClampRight;
  }
}

void DrawFrame(Game& g) {
  const Motion& m = g.motion;
  const uint32_t missingBefore = m.diag.missingPictures;
  DrawBody(g, m.curA, 0, 0);
  // Clones copy whatever placeRect last held; without a body this frame
  // that is another routine's rectangle.
  const bool bodyDrawn = m.diag.missingPictures == missingBefore;
  switch (m.companionMode) {
    case 0:
      DrawEffects(g);
      break;
    case 1:
      DrawPartners(g);
      break;
    case 2:
      if (bodyDrawn) DrawClones(g);
      break;
    default:
      break;
  }
}

}  // namespace

void ResetMotion(Game& g) {
  Motion& m = g.motion;
  m.stepA = 0;
  m.stepB = 0;
  m.stepC = 0;
}

void ResetAction(Game& g) {
  ResetMotion(g);
  Motion& m = g.motion;
  m.velX = 0;
  m.velY = 0;
  m.accX = 0;
  m.accY = 0;
  m.centreClamp = 1;
  m.exitRow = 0;
}

void ResetPlay(Game& g) {
  Motion& m = g.motion;
  m.posX = engine::kPlayStartX;
  m.posY = 0;
  m.facesRight = 0;
  m.companionMode = 0;
  m.curA = 0;
  m.curB = 0;
  m.returnRow = 0;
  m.currentRow = -1;
}

void SetEngineStartValues(Game& g) {
  Motion& m = g.motion;
  m.posX = engine::kCreateStartX;
  m.posY = 0;
  m.facesRight = 0;
  m.companionMode = 0;
  m.stepA = 0;
  m.stepB = 0;
  m.stepC = 0;
  m.curA = 0;
  m.curB = 0;
  m.returnRow = 0;
}

void CallRow(Game& g, int row) {
  Motion& m = g.motion;
  m.returnRow = m.currentRow;
  m.returnA = m.stepA;
  m.returnB = m.stepB;
  m.returnC = m.stepC;
  ResetMotion(g);
  m.currentRow = Wrap16(row);
}

void ActionStep(Game& g) {
  Motion& m = g.motion;
  // Leaving the stage switches to the row the script named for it.
  if (m.exitRow != 0 && (m.posX < engine::kLeaveLeft || m.posX > engine::kLeaveRight)) {
    CallRow(g, g.actions.bangRow + m.exitRow);
    m.exitRow = 0;
  }
  const bool reachedPicture = RunInstructions(g);
  SettleBackdrop(g);
  if (reachedPicture) {
    m.stepA = Wrap16(m.stepA + 1);
    if (m.curB != kHold) m.stepB = Wrap16(m.stepB + 1);
    if (m.curC != kHold) m.stepC = Wrap16(m.stepC + 1);
  }
  Integrate(m);
  if (reachedPicture) DrawFrame(g);
}

void StampIndicator(Game& g) {
  const CommandState& c = g.cmd;
  // When the landing bonus window closes, the prompt gives way to the key
  // that the next command must still begin with.
  if (c.landingKey != 0 && c.landingPromptTimer == 0) ShowLandingPrompt(g, c.landingKey - 1);
}

}  // namespace kelvane
