#include "platform/core/shown_name.h"

namespace kelvane {
namespace {

constexpr std::string_view kGap = "...";
// The end holds the file's own name, so it gets the larger share.
constexpr size_t kHeadBytes = 48;

bool Continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string ShownName(std::string_view name) {
  if (name.size() <= kShownNameBytes) return std::string(name);
  size_t head = kHeadBytes;
  while (head > 0 && Continuation(name[head])) --head;
  size_t tail = name.size() - (kShownNameBytes - kHeadBytes - kGap.size());
  while (tail < name.size() && Continuation(name[tail])) ++tail;
  std::string shown(name.substr(0, head));
  shown += kGap;
  shown += name.substr(tail);
  return shown;
}

}  // namespace kelvane
