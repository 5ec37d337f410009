// Conversion between the game's Shift-JIS byte strings and UTF-8, used only
// at the edges (window captions, widgets, JSON output).
#pragma once

#include <string>

namespace kelvane {

// Invalid or cut-off bytes (a lone lead byte at a byte limit) become U+FFFD.
std::string SjisToUtf8(const std::string& sjis);
// Characters without a Shift-JIS form become "?".
std::string Utf8ToSjis(const std::string& utf8);

// Cuts a byte string to at most maxBytes, byte-exact like the old short
// strings (may leave a lone lead byte; stored files rely on the exact cut).
inline std::string CutBytes(const std::string& s, size_t maxBytes) {
  return s.size() <= maxBytes ? s : s.substr(0, maxBytes);
}

}  // namespace kelvane
