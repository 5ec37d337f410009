#include "actiondata/action_tokens.h"

#include <array>

namespace kelvane {
namespace {

constexpr ActionToken T(std::string_view text, int16_t code, bool number = false) {
  return {text, code, number};
}
constexpr bool N = true;

// clang-format off
constexpr std::array kTokens{
    T("/)", -40, N), T("/(", -41),    T("R+", -67, N), T("R-", -68, N), T("0R", -69, N),
    T("I=", -56, N), T(".", -3),      T("@=", -14),    T("<", -4),      T(">", -5),
    T("@+", -15),    T("@-", -16),    T("c", -6),      T("a", -10),     T("[", -11),
    T("]", -12),     T("_", -13),     T("\\", -52),   T("HH", -53),    T("H=", -49, N),
    T("H+", -50, N), T("H-", -51, N), T("w+", -24, N), T("w-", -25, N), T("w=", -26, N),
    T("X+", -20, N), T("X-", -21, N), T("x+", -22, N), T("x-", -23, N), T("k+", -28, N),
    T("k-", -29, N), T("h+", -34, N), T("h-", -35, N), T("Y+", -30, N), T("Y-", -31, N),
    T("y+", -32, N), T("y-", -33, N), T("g+", -38, N), T("g-", -39, N), T("m", -7),
    T("P", -2),      T("!", -8),      T("p", -9),      T("2:", -96, N), T("1:", -97, N),
    T("C=", -98, N), T("^^", -76),    T("0-", -77),    T("r+", -63, N), T("r-", -64, N),
    // Calls relative to bangRow: the digit only makes the token.
    T("0r", -65, N), T("1r", -65, N), T("2r", -65, N), T("3r", -65, N), T("4r", -65, N),
    T("5r", -65, N), T("6r", -65, N), T("7r", -65, N), T("8r", -65, N), T("9r", -65, N),
    T("~~", -78),
    // Backdrop steps and calls relative to secondBangRow, tried digit by digit.
    T("0+", -79), T("0=", -66, N), T("1+", -79), T("1=", -66, N), T("2+", -79), T("2=", -66, N),
    T("3+", -79), T("3=", -66, N), T("4+", -79), T("4=", -66, N), T("5+", -79), T("5=", -66, N),
    T("6+", -79), T("6=", -66, N), T("7+", -79), T("7=", -66, N), T("8+", -79), T("8=", -66, N),
    T("9+", -79), T("9=", -66, N),
    T(" )", -40, N), T(" (", -41)};
// clang-format on

}  // namespace

std::span<const ActionToken> ActionTokens() {
  return kTokens;
}

std::string_view TokenForCode(int code) {
  for (const ActionToken& t : kTokens)
    if (-t.code == code) return t.text;
  return {};
}

}  // namespace kelvane
