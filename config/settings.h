// The settings file dataFolder + "Kelvane.ini", section "Kelvane".
#pragma once

#include <string>

namespace kelvane {

struct Game;
struct GameState;

inline constexpr const char* kSettingsSection = "Kelvane";

std::string SettingsPath(const GameState& st);

// Defaults of the three entry texts (Shift-JIS byte strings).
std::string DefaultEntryLine();
inline constexpr const char* kDefaultEntryName = "PELDIX";
inline constexpr const char* kDefaultEntryArea = "SAPPORO";

// The keys the startup dialog reads, as it shows them.
struct DialogSettings {
  bool smallWindow = false;  // "0:big"
  int colourMax = 1;         // "c_max", raw
  std::string drive, wallLarge, wallSmall;
  std::string entryLine, entryName, entryArea;  // raw texts for the edits
};
DialogSettings ReadDialogSettings(Game& g);

// The music and effects volume of the desktop host ("BGMvol", "SEvol", in
// percent), read when the audio device opens.
void ReadVolumeSettings(Game& g);

// The main window's read, during FormCreate.
void ReadSettings(Game& g);
// The only write, during FormDestroy. Returns false (after telling the user)
// when the file cannot be written.
bool WriteSettings(Game& g);

}  // namespace kelvane
