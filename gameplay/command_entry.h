// Command digit entry: one key becomes a command digit 1..6.
#pragma once

namespace kelvane {

struct Game;

// The command digit of a key (forward and back follow the facing) and the
// key's icon slot; 0 when the key is not a command key.
struct CommandKey {
  int digit = 0;
  int slot = 0;
};
CommandKey CommandKeyOf(int vk, bool facesRight);

// Turns one key into a command digit; ignored once the command is full.
void TypeCommandKey(Game& g, int vk);
// Adds a digit at the place commandWeight gives and shows it.
void EnterCommandDigit(Game& g, int digit, int slot);

}  // namespace kelvane
