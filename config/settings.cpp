#include "config/settings.h"

#include <algorithm>

#include "app/game.h"
#include "config/ini_file.h"
#include "config/numbered_files.h"
#include "platform/core/text_codec.h"

namespace kelvane {
namespace {

IniFile OpenSettings(Game& g) {
  auto bytes = g.pf.files->ReadFile(SettingsPath(g.st));
  return IniFile(bytes.value_or(""));
}

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
  const char* s = kSettingsSection;
  ini.WriteBool(s, "0:big", !st.windowSizeFlag);
  ini.WriteInteger(s, "c_max", st.colourMax);
  // 8-bit fields are written as signed numbers.
  ini.WriteInteger(s, "color", static_cast<int8_t>(st.colourIndex));
  ini.WriteInteger(s, "SOMmk", static_cast<int8_t>(st.menuPose));
  ini.WriteInteger(s, "MUSmk", static_cast<int8_t>(st.musicMenuFacing));
  ini.WriteInteger(s, "MUScx", static_cast<int8_t>(st.musicMenuAction));
  ini.WriteInteger(s, "NOMAL", static_cast<int8_t>(st.normalReached));
  ini.WriteInteger(s, "HARD_", static_cast<int8_t>(st.hardReached));
  ini.WriteString(s, "drive", st.cdDriveName);
  ini.WriteString(s, "wallL", st.wallLarge);
  ini.WriteString(s, "wallS", st.wallSmall);
  ini.WriteString(s, "t-com", st.entryLine);
  ini.WriteString(s, "ename", st.entryName);
  ini.WriteString(s, "comef", st.entryArea);
  ini.WriteInteger(s, "BGMvol", st.musicVolume);
  ini.WriteInteger(s, "SEvol", st.effectsVolume);
  if (g.pf.files->WriteFile(path, ini.ToBytes())) return true;
  g.pf.app->ShowMessage(path + " に書き込めません");
  return false;
}

}  // namespace kelvane
