#include "coach/personal_bests.h"

#include <sstream>

#include "platform/platform.h"

namespace kelvane {
namespace {

constexpr const char* kHeader = "Kelvane personal bests 1";

bool Digits(const std::string& s, size_t maxLength) {
  if (s.empty() || s.size() > maxLength) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

PersonalBests PersonalBests::Parse(const std::string& text) {
  PersonalBests b;
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line.rfind(kHeader, 0) != 0) return b;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string part; std::getline(fields, part, '\t');) f.push_back(part);
    if (f.size() != 4 || f[0].empty() || f[1].empty() || !Digits(f[2], 6)) continue;
    if (b.Find(f[0], f[1])) continue;
    b.bests_.push_back({f[0], f[1], static_cast<int32_t>(std::stol(f[2])), f[3]});
  }
  return b;
}

std::string PersonalBests::Text() const {
  std::string out = std::string(kHeader) + "\n";
  for (const BestScore& s : bests_)
    out += s.tune + "\t" + s.mode + "\t" + std::to_string(s.score) + "\t" + s.date + "\n";
  return out;
}

const BestScore* PersonalBests::Find(const std::string& tune, const std::string& mode) const {
  for (const BestScore& s : bests_)
    if (s.tune == tune && s.mode == mode) return &s;
  return nullptr;
}

bool PersonalBests::Offer(const std::string& tune, const std::string& mode, int32_t score,
                          const std::string& date) {
  // Names with tabs or line breaks would break the file's lines.
  if (tune.find_first_of("\t\r\n") != std::string::npos || tune.empty()) return false;
  for (BestScore& s : bests_) {
    if (s.tune != tune || s.mode != mode) continue;
    if (score <= s.score) return false;
    s.score = score;
    s.date = date;
    return true;
  }
  bests_.push_back({tune, mode, score, date});
  return true;
}

PersonalBests LoadBests(FileSystem& files, const std::string& dataFolder) {
  std::optional<std::string> text = files.ReadFile(dataFolder + PersonalBests::kFileName);
  return text ? PersonalBests::Parse(*text) : PersonalBests{};
}

bool SaveBests(FileSystem& files, const std::string& dataFolder, const PersonalBests& bests) {
  return files.WriteFile(dataFolder + PersonalBests::kFileName, bests.Text());
}

}  // namespace kelvane
