#include "gameplay/command_entry.h"

#include "app/game.h"
#include "flow/run_record.h"
#include "gameplay/action_engine.h"
#include "gameplay/key_groups.h"
#include "gameplay/scoring.h"

namespace kelvane {

CommandKey CommandKeyOf(int vk, bool facesRight) {
  const int turned = facesRight ? 2 : 0;
  if (keys::IsUp(vk)) return {1, 0};
  if (keys::IsLeft(vk)) return {2 + turned, 1};
  if (keys::IsDown(vk)) return {3, 2};
  if (keys::IsRight(vk)) return {4 - turned, 3};
  // The OK and NG keys but Return, Space and Pause are the two buttons.
  if (keys::IsOk(vk) && !keys::IsReturnOrSpace(vk)) return {5, 4};
  if (keys::IsNg(vk) && vk != keys::kPause) return {6, 5};
  return {};
}

void TypeCommandKey(Game& g, int vk) {
  if (g.cmd.commandWeight < 1) return;
  CommandKey key = CommandKeyOf(vk, g.motion.facesRight != 0);
  if (key.digit == 0) return;
  EnterCommandDigit(g, key.digit, key.slot);
}

void EnterCommandDigit(Game& g, int digit, int slot) {
  CommandState& c = g.cmd;
  // A replay injects keys that are already in its record.
  if (!g.stage.replayMode) AppendKeyEvent(g, digit);
  c.commandCode += digit * c.commandWeight;
  ShowKey(g, slot);
  c.frameCounter = 0;
  c.commandWeight /= 10;
  if (g.motion.currentRow == 0) ResetMotion(g);
}

}  // namespace kelvane
