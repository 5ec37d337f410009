#include "actiondata/load_group.h"

#include <algorithm>
#include <array>
#include <optional>

#include "actiondata/action_data.h"
#include "actiondata/action_file.h"
#include "app/game.h"
#include "config/numbered_files.h"
#include "gameplay/character_drawing.h"
#include "graphics/character_pictures.h"
#include "graphics/surfaces.h"

namespace kelvane {
namespace {

constexpr int kSlotsPerSet = 32;
constexpr std::array<const char*, 13> kSetPrefixes = {"sb", "sc", "sd", "sf", "sg", "sh", "si",
                                                      "sj", "sk", "sl", "",   "sy", "sz"};

}  // namespace

std::optional<PictureSize> SheetSize(int set) {
  using namespace drawing;
  if (set >= 0 && set < kSheetCount) {
    const SheetGeometry& geo = kSheetGeometry[static_cast<size_t>(set)];
    const int rows = (geo.cells + geo.columns - 1) / geo.columns;
    return PictureSize{geo.columns * geo.cellW, rows * geo.cellH};
  }
  if (set == kEffectSet || set == kBigEffectSet) {
    const int rows = kEffectCellsPerBitmap / kEffectColumns;
    return PictureSize{kEffectColumns * kEffectW, rows * kEffectRowPitch};
  }
  return std::nullopt;
}

int PictureSet(int p) {
  return p / 100;
}
int PictureSlot(int p) {
  return p % 100 / 2;
}

std::string PictureName(int p) {
  int set = PictureSet(p);
  const char* prefix =
      set >= 0 && set < static_cast<int>(kSetPrefixes.size()) ? kSetPrefixes[set] : "";
  return prefix + ZeroPad(3, p % 100);
}

int CountGroupsToLoad(const ActionData& a) {
  int n = 0;
  for (const auto& group : a.loadGroups)
    if (group[0] != ActionData::kEnd) ++n;
  return n;
}

void MapGroupCommands(ActionData& a, int group) {
  if (group < 0 || group >= ActionData::kGroupCapacity) return;
  int first = (group == 0 ? 0 : a.loadGroups[group - 1][ActionData::kGroupLastRowEntry]) + 1;
  int last = a.loadGroups[group][ActionData::kGroupLastRowEntry];
  if (first < 0) first = 0;
  if (last >= ActionData::kRowCapacity) last = ActionData::kRowCapacity - 1;
  for (int row = first; row <= last; ++row) {
    for (int16_t code : a.actionRows[row].commands)
      if (code >= 0 && code <= ActionData::kMaxCommandCode)
        a.codeToRow[code] = static_cast<int16_t>(row);
  }
}

bool LoadGroup(Game& g, int group) {
  if (group < 0 || group >= ActionData::kGroupCapacity) return true;
  ActionData& a = g.actions;
  auto& entries = a.loadGroups[group];
  int count = 0;
  while (count < ActionData::kGroupLastRowEntry && entries[count] != ActionData::kEnd) ++count;
  a.picturesLeft = static_cast<int16_t>(std::max(count - 1, 0));
  FrameSheetTable& sheets = g.gfx.frameSheets;
  for (int i = 0; i < count; ++i) {
    int p = entries[i];
    int set = PictureSet(p), slot = PictureSlot(p);
    // The reader refuses such numbers; a table filled otherwise must not
    // reach outside the sheets either.
    if (p < 0 || set >= static_cast<int>(kSetPrefixes.size()) || slot >= kSlotsPerSet) continue;
    PictureSheets picture{{&sheets[0][set][slot], &sheets[1][set][slot], &sheets[2][set][slot]},
                          &sheets[3][set][slot]};
    if (!LoadCharacterPicture(g, PictureName(p), picture, SheetSize(set))) return false;
    if (a.picturesLeft > 0) --a.picturesLeft;
  }
  if (entries[0] != ActionData::kEnd && g.st.groupsToLoad > 0) --g.st.groupsToLoad;
  entries[0] = ActionData::kEnd;
  MapGroupCommands(a, group);
  return true;
}

bool LoadActionsAndPictures(Game& g) {
  ActionData& a = g.actions;
  a.codeToRow.fill(0);
  if (!ReadActionFile(g, "act")) return false;
  g.st.groupsToLoad = static_cast<uint8_t>(CountGroupsToLoad(a));
  for (int group = 0; group < ActionData::kGroupCapacity; ++group)
    if (!LoadGroup(g, group)) return false;
  return LoadMainPicture(g);
}

}  // namespace kelvane
