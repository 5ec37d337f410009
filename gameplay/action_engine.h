// The character's action engine: a small interpreter that plays one step of
// the current action row per frame, running every instruction on the way to
// the next picture, then moves and draws the character and its companions.
#pragma once

#include <cstdint>

namespace kelvane {

struct Game;

// What the character's stage drawing depends on besides the motion: the
// backdrop shown and the switches the scripts toggle.
struct BackdropState {
  int8_t backdropNumber = -1;  // >= 0: file "X<n>.bmp"; < 0: plain colour -n
  int8_t backdropKind = -1;    // -1 a numbered backdrop, 0 the default one
  int16_t tilePattern = -1;    // pattern laid over the backdrop, -1 = none
  int8_t tileDirection = 1;    // +1 or -1, as the pattern was drawn
  uint8_t tileSwitch = 1;      // scripts may draw tile patterns
  uint8_t effectsOn = 1;       // companion effects drawn in companion mode 0
  uint8_t loadPending = 0;     // a change the frame's instructions asked for, not yet loaded
};

// Counted instead of crashing or hanging, so tests and tools can see when
// the data asks for something that is not there.
struct EngineDiagnostics {
  uint32_t instructionBoundHits = 0;  // frames cut short by the instruction bound
  uint32_t rowsOutsideTable = 0;      // fetches from a row that is not in the table
  uint32_t missingPictures = 0;       // pictures asked for that no sheet holds
  uint32_t missingBackdrops = 0;      // backdrop files that could not be loaded
};

// The engine's state. Positions and speeds are 16-bit and wrap around like
// the scripts expect; flags and small counters are bytes.
struct Motion {
  int16_t currentRow = -1;  // the row being performed, -1 = none
  int16_t posX = 160;       // stage centre 160; drawn 144 further right in the layers
  int16_t posY = 0;         // offset from the floor, positive downward
  int16_t velX = 0;
  int16_t velY = 0;
  int16_t accX = 0;
  int16_t accY = 0;
  uint8_t facesRight = 0;
  uint8_t partnerSide = 0;    // side of the companion layers
  uint8_t effectMirror = 0;   // row of the effect cell table
  uint8_t companionMode = 0;  // 0 effects, 1 partner figures, 2 clones
  uint8_t exitRow = 0;        // row offset from bangRow taken on leaving the stage
  uint8_t loopCount = 0;
  uint8_t centreClamp = 1;  // keep posX within 64..192
  int16_t stepA = 0;        // step within the row's part of each stream
  int16_t stepB = 0;
  int16_t stepC = 0;
  int16_t loopA = 0;
  int16_t loopB = 0;
  int16_t loopC = 0;
  int16_t returnRow = 0;  // row to resume when a called row ends, 0 = none
  int16_t returnA = 0;
  int16_t returnB = 0;
  int16_t returnC = 0;
  int16_t curA = 0;  // the step values fetched for this frame
  int16_t curB = 0;
  int16_t curC = 0;

  BackdropState backdrop;
  EngineDiagnostics diag;
};

namespace engine {
// A script that never reaches a picture would otherwise spin forever inside
// one frame; past this many instructions the frame ends where it is.
constexpr int kMaxInstructionsPerFrame = 10000;
constexpr uint32_t kFlickerMs = 24000;
constexpr int16_t kPlayStartX = 140;
constexpr int16_t kCreateStartX = 160;
constexpr int16_t kStageCentre = 160;
constexpr int16_t kClampLeft = 64;
constexpr int16_t kClampRight = 192;
constexpr int16_t kLeaveLeft = -144;
constexpr int16_t kLeaveRight = 400;
constexpr int16_t kHalfStage = 128;  // facing and partner side split here
}  // namespace engine

// One frame of the engine; called once per frame by the play scenes.
void ActionStep(Game& g);
// Back to the first step of the current row's three streams.
void ResetMotion(Game& g);
// A fresh action: ResetMotion, no speeds, clamp on, no exit row.
void ResetAction(Game& g);
// The stage start's reset of position, facing and row.
void ResetPlay(Game& g);
// The engine's start values when the main window is built.
void SetEngineStartValues(Game& g);
// Starts row as a called row that returns to the current one at its end.
void CallRow(Game& g, int row);

// The icon panel's first step: on the frame the landing bonus window
// closes, the prompt glyph in both icon cells becomes the required key.
void StampIndicator(Game& g);

}  // namespace kelvane
