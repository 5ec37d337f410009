#include "tools/examine/json_out.h"

#include <cstdio>

namespace kelvane::inspect {

std::string Quote(std::string_view utf8) {
  std::string s = "\"";
  for (char ch : utf8) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        s += "\\\"";
        break;
      case '\\':
        s += "\\\\";
        break;
      case '\n':
        s += "\\n";
        break;
      case '\t':
        s += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          s += buf;
        } else {
          s += ch;
        }
    }
  }
  return s + "\"";
}

void JsonOut::Separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) out_ << ',';
    first_.back() = false;
  }
}

void JsonOut::Open(char c) {
  Separate();
  out_ << c;
  first_.push_back(true);
}

void JsonOut::Close(char c) {
  first_.pop_back();
  out_ << c;
  if (first_.empty()) out_ << '\n';
}

void JsonOut::Key(std::string_view key) {
  Separate();
  out_ << Quote(key) << (spaced_ ? ": " : ":");
  afterKey_ = true;
}

void JsonOut::Int(int64_t v) {
  Separate();
  out_ << v;
}

void JsonOut::Bool(bool v) {
  Separate();
  out_ << (v ? "true" : "false");
}

void JsonOut::String(std::string_view utf8) {
  Separate();
  out_ << Quote(utf8);
}

}  // namespace kelvane::inspect
