// Qt key events to Windows virtual-key codes, the only key codes the game
// knows.
#pragma once

namespace kelvane {

// key is a Qt::Key value; keypad is true when Qt marked the key as coming
// from the numeric keypad. Returns 0 for keys the game has no code for.
int QtKeyToVk(int key, bool keypad);

}  // namespace kelvane
