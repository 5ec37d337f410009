// The stage cycle: the stage-start scenes (10, 12, 253, 254), the play scenes
// (11, 13, 255) and the stage end.
#pragma once

#include <cstdint>

namespace kelvane {

struct Game;
struct GameState;

// Match set-up and per-turn state of the cycle.
struct StageState {
  uint8_t vsOrder = 2;     // 1 computer first, 2 human first, 3 two humans
  uint8_t matchRule = 2;   // 1 normal course, 2 free match, 3 hard course
  uint8_t p2Handicap = 2;  // two humans: 1 or 3 give player 2 a head start
  uint8_t alwaysOfferSave = 0;
  uint8_t replayMode = 0;
  uint8_t currentPlayer = 1;
  int8_t demoVariant = 0;
  uint32_t firstTurnLength = 0;
  uint8_t cpuLevel = 22;
  int8_t zoomCountdown = 0;  // frames to the next automatic zoom toggle; -1 off
  uint8_t bannerReduction = 0;
  int8_t labelRow = -1;
};

// The first scene counter debounces the stage start's confirm key.
inline int16_t& KeyLatch(GameState& st);

void StageStartStep(Game& g);
void PlayStep(Game& g);
// Ends the running turn: the music ended or the player ended it.
void EndStage(Game& g);
// Redraws the mode label of the banner (row 0 confirm, 7 exit, else the mode).
void RedrawModeLabel(Game& g, int row);
// The key the computer presses for a command digit 0..5.
int ComputerKey(Game& g, int digit);
// The banner strip of the overlay onto the frame, then the frame is shown.
void ShowBannerStrip(Game& g);
// The turn label of a scene: 0 the demonstration, 1 the first turn of a
// match, 2 the second (stage-start and play scenes alike).
int TurnLabelIndex(int8_t sceneCode);
// The stage start's sub-step that replays the loaded record as the turn.
int16_t StageStartReplayStep();

}  // namespace kelvane

#include "app/game_state.h"

namespace kelvane {
inline int16_t& KeyLatch(GameState& st) {
  return st.sceneCounters[0];
}
}  // namespace kelvane
