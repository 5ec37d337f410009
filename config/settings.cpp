#include "config/settings.h"

#include <algorithm>

#include "app/game.h"
#include "config/ini_file.h"
#include "config/numbered_files.h"
#include "platform/core/text_codec.h"

namespace kelvane {
namespace {

// The first read of a run also keeps the file as it was, for the merge at
// exit.
IniFile OpenSettings(Game& g) {
  std::string bytes = g.pf.files->ReadFile(SettingsPath(g.st)).value_or("");
  if (!g.st.settingsAtStart) g.st.settingsAtStart = bytes;
  return IniFile(bytes);
}

// Writes the run's settings into the file as it is now (another copy of the
// game may have written it meanwhile). A key whose value this run did not
// change keeps the file's value; the course progress keeps the higher of the
// two, unless this run was asked to clear it.
class SettingsMerge {
 public:
  SettingsMerge(const GameState& st, IniFile& now)
      : now_(now),
        start_(st.settingsAtStart.value_or("")),
        known_(st.settingsAtStart.has_value()) {}

  void Put(const char* key, const std::string& value) {
    const bool unchanged = known_ && start_.HasKey(kSettingsSection, key) &&
                           start_.ReadString(kSettingsSection, key, "") == value;
    if (unchanged && now_.HasKey(kSettingsSection, key)) return;
    now_.WriteString(kSettingsSection, key, value);
  }
  void PutInteger(const char* key, int32_t value) { Put(key, std::to_string(value)); }
  void PutProgress(const char* key, int8_t value, bool cleared) {
    if (!cleared && now_.HasKey(kSettingsSection, key)) {
      const auto theirs = static_cast<int8_t>(now_.ReadInteger(kSettingsSection, key, value));
      value = std::max(value, theirs);
    }
    now_.WriteInteger(kSettingsSection, key, value);
  }

 private:
  IniFile& now_;
  IniFile start_;
  bool known_;
};

}  // namespace

std::string SettingsPath(const GameState& st) { return st.dataFolder + "Kelvane.ini"; }

std::string DefaultEntryLine() {
  return Utf8ToSjis("<エントリーのセリフ>　音と光を超えて、くるね！");
}

DialogSettings ReadDialogSettings(Game& g) {
  IniFile ini = OpenSettings(g);
  const char* s = kSettingsSection;
  DialogSettings d;
  d.smallWindow = ini.ReadBool(s, "0:big", false);
  d.colourMax = static_cast<uint8_t>(ini.ReadInteger(s, "c_max", 1));
  d.drive = CutBytes(ini.ReadString(s, "drive", ""), 6);
  d.wallLarge = CutBytes(ini.ReadString(s, "wallL", ""), 6);
  d.wallSmall = CutBytes(ini.ReadString(s, "wallS", ""), 6);
  d.entryLine = ini.ReadString(s, "t-com", DefaultEntryLine());
  d.entryName = ini.ReadString(s, "ename", kDefaultEntryName);
  d.entryArea = ini.ReadString(s, "comef", kDefaultEntryArea);
  return d;
}

void ReadVolumeSettings(Game& g) {
  IniFile ini = OpenSettings(g);
  auto percent = [&](const char* key) {
    return static_cast<uint8_t>(std::clamp(ini.ReadInteger(kSettingsSection, key, 100), 0, 100));
  };
  g.st.musicVolume = percent("BGMvol");
  g.st.effectsVolume = percent("SEvol");
}

void ReadSettings(Game& g) {
  GameState& st = g.st;
  IniFile ini = OpenSettings(g);
  const char* s = kSettingsSection;
  if (!st.resetSettings) {
    st.colourIndex = static_cast<int8_t>(ini.ReadInteger(s, "color", st.colourIndex));
    if (st.colourIndex > static_cast<int8_t>(st.colourMax))
      st.colourIndex = static_cast<int8_t>(st.colourMax);
    st.menuPose = static_cast<uint8_t>(ini.ReadInteger(s, "SOMmk", st.menuPose));
    st.musicMenuFacing = static_cast<uint8_t>(ini.ReadInteger(s, "MUSmk", st.musicMenuFacing));
    st.musicMenuAction = static_cast<uint8_t>(ini.ReadInteger(s, "MUScx", st.musicMenuAction));
  }
  if (!st.resetClearInfo) {
    st.normalReached = static_cast<int8_t>(ini.ReadInteger(s, "NOMAL", st.normalReached));
    st.hardReached = static_cast<int8_t>(ini.ReadInteger(s, "HARD_", st.hardReached));
  }
  FileSystem& fs = *g.pf.files;
  st.normalLevels = static_cast<int8_t>(CountNumberedFiles(fs, st.dataFolder, "Y_e1", ".bmp", 16));
  st.hardLevels = static_cast<int8_t>(CountNumberedFiles(fs, st.dataFolder, "Y_e3", ".bmp", 16));
  if (st.normalReached > st.normalLevels) st.normalReached = st.normalLevels;
  if (st.hardReached > st.hardLevels) st.hardReached = st.hardLevels;
  st.tuneCount = static_cast<int8_t>(CountNumberedFiles(fs, st.dataFolder, "Z", ".mid", 16));
}

bool WriteSettings(Game& g) {
  const GameState& st = g.st;
  std::string path = SettingsPath(st);
  IniFile ini(g.pf.files->ReadFile(path).value_or(""));
  SettingsMerge m(st, ini);
  m.Put("0:big", !st.windowSizeFlag ? "1" : "0");
  m.PutInteger("c_max", st.colourMax);
  // 8-bit fields are written as signed numbers.
  m.PutInteger("color", static_cast<int8_t>(st.colourIndex));
  m.PutInteger("SOMmk", static_cast<int8_t>(st.menuPose));
  m.PutInteger("MUSmk", static_cast<int8_t>(st.musicMenuFacing));
  m.PutInteger("MUScx", static_cast<int8_t>(st.musicMenuAction));
  m.PutProgress("NOMAL", static_cast<int8_t>(st.normalReached), st.resetClearInfo);
  m.PutProgress("HARD_", static_cast<int8_t>(st.hardReached), st.resetClearInfo);
  m.Put("drive", st.cdDriveName);
  m.Put("wallL", st.wallLarge);
  m.Put("wallS", st.wallSmall);
  m.Put("t-com", st.entryLine);
  m.Put("ename", st.entryName);
  m.Put("comef", st.entryArea);
  m.PutInteger("BGMvol", st.musicVolume);
  m.PutInteger("SEvol", st.effectsVolume);
  if (g.pf.files->WriteFile(path, ini.ToBytes())) return true;
  g.pf.app->ShowMessage(path + kCannotWrite);
  return false;
}

}  // namespace kelvane
