#include "actiondata/number_text.h"

namespace kelvane {

std::optional<int32_t> ParseInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  bool hex = i < text.size() && text[i] == '$';
  if (hex) ++i;
  if (i == text.size()) return std::nullopt;
  // Hexadecimal covers the full 32 bits (wrapping), decimal the signed range.
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  uint32_t bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

bool ParseNumberLine(std::string_view line, std::vector<int32_t>& out, std::string* badField) {
  out.clear();
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    std::string_view field = line.substr(i, end - i);
    std::optional<int32_t> v = ParseInteger(field);
    if (!v) {
      if (badField) *badField = std::string(field);
      return false;
    }
    out.push_back(*v);
    i = end;
  }
  return true;
}

std::string Excerpt(std::string_view field) {
  constexpr size_t kMaxBytes = 16;
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < field.size() && i < kMaxBytes; ++i) {
    const auto c = static_cast<unsigned char>(field[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  if (field.size() > kMaxBytes) out += "...";
  return out;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    size_t len = end - start;
    if (len > 0 && text[start + len - 1] == '\r') --len;
    lines.push_back(text.substr(start, len));
    start = next;
  }
  return lines;
}

}  // namespace kelvane
