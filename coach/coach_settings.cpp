#include "coach/coach_settings.h"

#include <sstream>

#include "platform/platform.h"

namespace kelvane {

CoachSettings CoachSettings::Parse(const std::string& text) {
  CoachSettings s;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "panel=0") s.panelShown = false;
    if (line == "panel=1") s.panelShown = true;
    if (line == "howto=1") s.howToSeen = true;
  }
  return s;
}

std::string CoachSettings::Text() const {
  return std::string("panel=") + (panelShown ? "1" : "0") + "\nhowto=" + (howToSeen ? "1" : "0") +
         "\n";
}

CoachSettings LoadCoachSettings(FileSystem& files, const std::string& dataFolder) {
  std::optional<std::string> text = files.ReadFile(dataFolder + CoachSettings::kFileName);
  return text ? CoachSettings::Parse(*text) : CoachSettings{};
}

bool SaveCoachSettings(FileSystem& files, const std::string& dataFolder, const CoachSettings& s) {
  return files.WriteFile(dataFolder + CoachSettings::kFileName, s.Text());
}

}  // namespace kelvane
