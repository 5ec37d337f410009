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
  explicit JsonOut(std::ostream& out) : out_(out) {}

  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // The key of the next value inside an object.
  void Key(std::string_view key);
  void Int(int64_t v);
  void String(std::string_view utf8);

 private:
  void Open(char c);
  void Close(char c);
  void Separate();

  std::ostream& out_;
  std::vector<bool> first_;  // per open container: no element written yet
  bool afterKey_ = false;
};

// A JSON string literal with quotes, escaping what JSON requires.
std::string Quote(std::string_view utf8);

}  // namespace kelvane::inspect
