// What the coach remembers between starts: whether its panel is shown and
// whether the how-to was seen. A small file of its own beside the records,
// so the game's settings file keeps only the game's keys.
#pragma once

#include <string>

namespace kelvane {

class FileSystem;

struct CoachSettings {
  static constexpr const char* kFileName = "KelvaneCoach.txt";
  bool panelShown = true;
  bool howToSeen = false;  // false: this is a first start

  static CoachSettings Parse(const std::string& text);
  std::string Text() const;
};

CoachSettings LoadCoachSettings(FileSystem& files, const std::string& dataFolder);
bool SaveCoachSettings(FileSystem& files, const std::string& dataFolder, const CoachSettings& s);

}  // namespace kelvane
