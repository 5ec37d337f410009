// Shift-JIS (CP932) and UTF-8 in the page: the same conversion as the
// desktop's, from tables the desktop's iconv wrote at build time, since the
// page's C library converts a few characters (such as the note sign)
// differently. Invalid input is replaced as the desktop replaces it.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "cp932_table.h"
#include "platform/core/text_codec.h"

namespace kelvane {
namespace {

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The code point of the UTF-8 sequence at s[i] of length len, or nothing
// when it is not well formed (short, overlong, a surrogate, too large).
bool DecodeUtf8(const std::string& s, size_t i, size_t len, uint32_t& cp) {
  if (i + len > s.size()) return false;
  const auto b = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(s[i + k])); };
  if (len == 1) {
    cp = b(0);
    return cp < 0x80;
  }
  cp = b(0) & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    if ((b(k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  static constexpr uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  return cp >= kMin[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp < 0xE000);
}

}  // namespace

std::string SjisToUtf8(const std::string& sjis) {
  std::string out;
  for (size_t i = 0; i < sjis.size();) {
    const auto lead = static_cast<unsigned char>(sjis[i]);
    if (kCp932Single[lead] != 0xFFFF) {
      AppendUtf8(out, kCp932Single[lead]);
      ++i;
      continue;
    }
    if (i + 1 < sjis.size()) {
      const uint32_t key = lead << 8 | static_cast<unsigned char>(sjis[i + 1]);
      const auto* end = std::end(kCp932Double);
      const auto* it = std::lower_bound(std::begin(kCp932Double), end, key,
                                        [](const uint32_t* e, uint32_t k) { return e[0] < k; });
      if (it != end && (*it)[0] == key) {
        AppendUtf8(out, (*it)[1]);
        i += 2;
        continue;
      }
    }
    out += "\xEF\xBF\xBD";  // one byte replaced, then on with the next
    ++i;
  }
  return out;
}

std::string Utf8ToSjis(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    uint32_t cp = 0;
    bool found = false;
    if (DecodeUtf8(utf8, i, len, cp)) {
      const auto* end = std::end(kCp932Encode);
      const auto* it = std::lower_bound(std::begin(kCp932Encode), end, cp,
                                        [](const uint32_t* e, uint32_t k) { return e[0] < k; });
      if (it != end && (*it)[0] == cp) {
        const uint32_t bytes = (*it)[1];
        if (bytes > 0xFF) out += static_cast<char>(bytes >> 8);
        out += static_cast<char>(bytes & 0xFF);
        found = true;
      }
      if (cp == 0) {  // the one code point the encode table leaves out
        out += '\0';
        found = true;
      }
    }
    if (!found) out += '?';
    i += std::min(len, utf8.size() - i);
  }
  return out;
}

}  // namespace kelvane
