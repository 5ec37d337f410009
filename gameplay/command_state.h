// The command being typed, its judging and the scores: shared by the
// keyboard, the command recognition, the heads-up display, the stage cycle
// and the computer player.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kelvane {

// One item of the command list: a typeable command and the row it starts.
struct CommandListItem {
  int16_t code = 0;
  int16_t row = 0;
};

// The place value past the command's four digits: a weight of it awaits a
// landing key, and a code at or above it carries the key pressed there.
inline constexpr int32_t kLandingPlace = 10000;

struct CommandState {
  static constexpr int kCodes = 6667;  // command codes 0..6666

  int32_t commandCode = 0;         // decimal digits 1..6, 0 = no key in that place
  int32_t commandWeight = 1000;    // place of the next digit; kLandingPlace awaits a landing key
  int32_t matchedCode = 0;         // last matched code, or the computer's next command
  int16_t lastCommand = 0;         // the last finished command
  uint8_t landingKey = 0;          // digit the next command must begin with, 0 = none
  int16_t fallPenalty = 1;         // points lost when that landing digit is missed
  int8_t landingPromptTimer = -1;  // frames left for a landing bonus
  uint8_t landingBonus = 0;
  std::array<int16_t, 4> recentGroups{};    // groups of the last four actions, oldest first
  std::array<uint8_t, kCodes> groupDone{};  // groups performed once in this play
  std::array<uint8_t, kCodes> codeDone{};   // codes performed (the computer's choice)
  uint32_t frameCounter = 0;                // frames since the last command key
  uint8_t cpuDone = 0;                      // the computer has typed its whole command
  uint8_t playColour = 0;                   // colour scheme of the character in play

  // Score slots 1..4 (index 0 unused): player 1, player 2, the last
  // command's points, the last landing bonus.
  std::array<int32_t, 5> scoreSlots{};
  uint8_t scoreLock = 0;  // above 1: no points are added

  // The command list's items, filled once from the action table; the
  // computer picks its commands from them.
  std::vector<CommandListItem> listItems;
  uint8_t listFilled = 0;
};

}  // namespace kelvane
