// A small streaming JSON writer: enough for the inspect tool's dumps.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::inspect {

class JsonOut {
 public:
  // spaced: a blank after each key's colon, for output people read.
  explicit JsonOut(std::ostream& out, bool spaced = false) : out_(out), spaced_(spaced) {}

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // The key of the next value inside an object.
  void Key(std::string_view key);
  void Int(int64_t v);
  void String(std::string_view utf8);
  void Bool(bool v);

 private:
  void Open(char c);
  void Close(char c);
  void Separate();

  std::ostream& out_;
  std::vector<bool> first_;  // per open container: no element written yet
  bool afterKey_ = false;
  bool spaced_ = false;
};

// A JSON string literal with quotes, escaping what JSON requires.
std::string Quote(std::string_view utf8);

}  // namespace kelvane::inspect
