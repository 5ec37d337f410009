#include "gameplay/command_entry.h"

#include "app/game.h"
#include "gameplay/action_engine.h"
#include "gameplay/scoring.h"

namespace kelvane {

CommandKey CommandKeyOf(int vk, bool facesRight) {
  int turned = facesRight ? 2 : 0;
  switch (vk) {
    case 38: case 104:  // up
      return {1, 0};
    case 37: case 100:  // left
      return {2 + turned, 1};
    case 40: case 98: case 101:  // down
      return {3, 2};
    case 39: case 102:  // right
      return {4 - turned, 3};
    case 65: case 89: case 90: case 97: case 103:  // A Y Z, keypad 1 and 7
      return {5, 4};
    case 66: case 78: case 81: case 88: case 99: case 105:  // B N Q X, keypad 3 and 9
      return {6, 5};
    default:
      return {};
  }
}

void TypeCommandKey(Game& g, int vk) {
  if (g.cmd.commandWeight < 1) return;
  CommandKey key = CommandKeyOf(vk, g.motion.facesRight != 0);
  if (key.digit == 0) return;
  // Recording the key for a replay joins here with the run records.
  EnterCommandDigit(g, key.digit, key.slot);
}

void EnterCommandDigit(Game& g, int digit, int slot) {
  CommandState& c = g.cmd;
  c.commandCode += digit * c.commandWeight;
  ShowKey(g, slot);
  c.frameCounter = 0;
  c.commandWeight /= 10;
  if (g.motion.currentRow == 0) ResetMotion(g);
}

}  // namespace kelvane
