// The page's keys as the game's key codes: the same table as the desktop's.
#pragma once

#include <string>

namespace kelvane {

// code is KeyboardEvent.code; numLock whether the keypad gives digits.
// Returns 0 for a key the game never sees.
int DomCodeToVk(const std::string& code, bool numLock);

}  // namespace kelvane
