#include "config/ini_file.h"

#include <cctype>

namespace kelvane {
namespace {

constexpr size_t kValueBuffer = 2048;  // the read buffer, terminator included

// Blanks around names and values; a CR that is not part of the line's
// ending (one before a blank) is no part of a value either.
bool Blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && Blank(s[b])) ++b;
  while (e > b && Blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The section name of a "[name]" line, if it is one.
std::optional<std::string> SectionOf(const std::string& line) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

// Key and raw value of a "key=value" line.
std::optional<std::pair<std::string, std::string>> KeyValueOf(const std::string& line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  std::string key = Trim(line.substr(0, eq));
  if (key.empty() || key[0] == ';') return std::nullopt;
  return std::make_pair(key, line.substr(eq + 1));
}

}  // namespace

std::optional<int32_t> ParseInteger(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  }
  if (i >= text.size()) return std::nullopt;
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int d;
    if (std::isdigit(c)) {
      d = c - '0';
    } else if (hex && std::isxdigit(c)) {
      d = std::tolower(c) - 'a' + 10;
    } else {
      return std::nullopt;
    }
    v = v * (hex ? 16 : 10) + d;
    // Hexadecimal may fill all 32 bits; decimal must fit a signed integer.
    if (hex ? v > 0xFFFFFFFFull : v > (negative ? 0x80000000ull : 0x7FFFFFFFull))
      return std::nullopt;
  }
  uint32_t bits = static_cast<uint32_t>(v);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

IniFile::IniFile(const std::string& bytes) {
  // Every line keeps its own ending, so a file with stray CRs is written
  // back as it was; new lines take the ending most lines have. The ending is
  // every CR before the line feed (or the end of the file), so that no CR
  // is ever read as part of a value.
  size_t crlf = 0, lf = 0;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t nl = bytes.find('\n', start);
    std::string text =
        bytes.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    std::string ending = nl == std::string::npos ? "" : "\n";
    const size_t kept = text.find_last_not_of('\r') + 1;  // npos + 1 == 0: all CRs
    ending = text.substr(kept) + ending;
    text.resize(kept);
    if (ending == "\r\n") ++crlf;
    if (ending == "\n") ++lf;
    lines_.push_back({text, ending});
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  if (lf > crlf) eol_ = "\n";
}

void IniFile::InsertLine(size_t at, const std::string& text) {
  std::string ending = eol_;
  // A line added after the last one takes over its (missing or odd) end of
  // file; the old last line gets a line feed after whatever CRs it had, so
  // that they stay its own ending.
  if (at == lines_.size() && !lines_.empty()) {
    std::string& last = lines_.back().ending;
    if (last.empty() || last.back() != '\n') {
      ending = last;
      last = last.empty() ? eol_ : last + "\n";
    }
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{text, ending});
}

std::optional<size_t> IniFile::FindKey(const std::string& section, const std::string& key) const {
  bool inSection = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (auto s = SectionOf(lines_[i].text)) {
      inSection = SameName(*s, section);
      continue;
    }
    if (!inSection) continue;
    if (auto kv = KeyValueOf(lines_[i].text); kv && SameName(kv->first, key)) return i;
  }
  return std::nullopt;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  auto i = FindKey(section, key);
  if (!i) return def;
  std::string value = Trim(KeyValueOf(lines_[*i].text)->second);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  if (value.size() > kValueBuffer - 1) value.resize(kValueBuffer - 1);
  return value;
}

int32_t IniFile::ReadInteger(const std::string& section, const std::string& key,
                             int32_t def) const {
  std::string text = ReadString(section, key, "");
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text = "$" + text.substr(2);
  return ParseInteger(text).value_or(def);
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  std::string line = key + "=" + value;
  if (auto i = FindKey(section, key)) {
    lines_[*i].text = line;
    return;
  }
  // Append after the last key of the section, or add the section at the end.
  std::optional<size_t> sectionLine, lastInSection;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (auto s = SectionOf(lines_[i].text)) {
      if (sectionLine && !lastInSection) lastInSection = *sectionLine;
      if (sectionLine) break;
      if (SameName(*s, section)) sectionLine = i;
      continue;
    }
    if (sectionLine && !Trim(lines_[i].text).empty()) lastInSection = i;
  }
  if (sectionLine) {
    InsertLine(lastInSection.value_or(*sectionLine) + 1, line);
    return;
  }
  InsertLine(lines_.size(), "[" + section + "]");
  InsertLine(lines_.size(), line);
}

std::string IniFile::ToBytes() const {
  std::string out;
  for (const Line& line : lines_) out += line.text + line.ending;
  return out;
}

}  // namespace kelvane
