// A profile file in the old INI conventions: [section] and key=value lines,
// section and key names compared case-insensitively, blanks around keys and
// values dropped, a quoted value loses its quotes, values read into 2,048
// bytes, "0x" hexadecimal integers. Writing edits lines in place and leaves
// every other line (unknown keys and sections, and every line's ending)
// untouched.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

class IniFile {
 public:
  // Parses the bytes of a file (any content; junk lines are kept but unused).
  explicit IniFile(const std::string& bytes = "");

  bool HasKey(const std::string& section, const std::string& key) const {
    return FindKey(section, key).has_value();
  }
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& def) const;
  // The value as an integer; a missing key or a non-number gives def.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
  }

  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
  }
  void WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
  }

  // The whole file as bytes, ready to be written.
  std::string ToBytes() const;

 private:
  struct Line {
    std::string text;    // without the line ending
    std::string ending;  // as read: the CRs before the line feed, then it (none at the end)
  };
  std::optional<size_t> FindKey(const std::string& section, const std::string& key) const;
  void InsertLine(size_t at, const std::string& text);
  std::vector<Line> lines_;
  std::string eol_ = "\r\n";  // for new lines: the ending most lines have
};

// The old runtime's StrToInt: optional sign, then decimal digits or "$" and
// hexadecimal digits; the whole text must be used. Nothing on any other text.
std::optional<int32_t> ParseInteger(const std::string& text);

}  // namespace kelvane
