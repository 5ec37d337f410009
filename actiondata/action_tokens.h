// The tokens of a motion line: a short text, the instruction code it stands
// for and whether a number follows it. Tokens are searched in table order,
// so a line's values always come in this order.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kelvane {

struct ActionToken {
  std::string_view text;
  int16_t code;
  bool takesNumber;
};

// The search order, with the digit families ("0r".."9r", then "0+", "0=",
// "1+", "1=", ... "9=") spelled out in place.
std::span<const ActionToken> ActionTokens();

// The first token (in search order) that yields the instruction code
// (-value) mod 100, or empty when none does. For readable dumps.
std::string_view TokenForCode(int code);

}  // namespace kelvane
