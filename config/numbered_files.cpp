#include "config/numbered_files.h"

#include "platform/platform.h"

namespace kelvane {

std::string ZeroPad(int digits, long long n) {
  std::string text = std::to_string(n + 1000000000LL);
  if (digits <= 0) return "";
  if (static_cast<size_t>(digits) >= text.size()) return text;
  return text.substr(text.size() - static_cast<size_t>(digits));
}

int CountNumberedFiles(FileSystem& files, const std::string& folder, const std::string& prefix,
                       const std::string& suffix, int limit) {
  int count = 0;
  while (count < limit && files.Exists(folder + prefix + ZeroPad(2, count + 1) + suffix)) ++count;
  return count;
}

}  // namespace kelvane
