#include "tools/forge/dancer_catalogue.h"

#include <sstream>

#include "tools/forge/forge.h"

namespace forge {
namespace {

const SheetGeometry kBodySheets[10] = {
    {20, 5, 64, 96, 96},   {20, 5, 64, 96, 96}, {10, 5, 64, 160, 160}, {10, 5, 64, 160, 160},
    {4, 2, 128, 170, 165}, {20, 5, 32, 96, 96}, {20, 5, 64, 48, 48},   {16, 4, 128, 64, 64},
    {20, 5, 32, 112, 112}, {20, 5, 64, 48, 48}};
const SheetGeometry kEffectSheet = {18, 3, 96, 80, 80};

const char* const kSetPrefixes[13] = {"sb", "sc", "sd", "sf", "sg", "sh", "si",
                                      "sj", "sk", "sl", "",   "sy", "sz"};

// Only the first 32 slots of a set can be loaded.
constexpr int kSlotsPerSet = 32;

struct LayoutReader {
  std::map<std::string, Pose> poses;
  std::vector<DancerCell> cells;
  int sheet = -1, next = 0, lineNo = 0;

  [[noreturn]] void Fail(const std::string& why) const {
    throw ForgeError{"dancer.txt:" + std::to_string(lineNo) + ": " + why};
  }

  double Number(const std::string& text) const {
    size_t used = 0;
    double v = 0;
    try {
      v = std::stod(text, &used);
    } catch (...) {
      used = 0;
    }
    if (used == 0 || used != text.size()) Fail("'" + text + "' is not a number");
    return v;
  }

  int Count(const std::string& text) const {
    double v = Number(text);
    if (v != static_cast<int>(v) || v < 0) Fail("'" + text + "' is not a count");
    return static_cast<int>(v);
  }

  const Pose& Named(const std::string& name) const {
    auto it = poses.find(name);
    if (it == poses.end()) Fail("no pose named '" + name + "'");
    return it->second;
  }

  // joint=value words (and like=POSE first) applied over a start pose.
  Pose Modified(Pose pose, const std::vector<std::string>& words, size_t from,
                const std::string& poseName) const {
    for (size_t i = from; i < words.size(); ++i) {
      size_t eq = words[i].find('=');
      if (eq == std::string::npos) Fail("'" + words[i] + "' should be joint=value");
      std::string joint = words[i].substr(0, eq), value = words[i].substr(eq + 1);
      if (joint == "like") {
        pose = Named(value);
        continue;
      }
      int j = FindJoint(joint);
      if (j < 0) Fail("pose '" + poseName + "' names unknown joint '" + joint + "'");
      pose.v[j] = Number(value);
    }
    return pose;
  }

  void Place(const Pose& pose) {
    if (sheet < 0) Fail("a cell before any 'sheet' line");
    const SheetGeometry& g = BodySheet(sheet);
    int slot = next / g.cells;
    if (slot >= kSlotsPerSet) Fail("sheet " + std::to_string(sheet) + " is full");
    cells.push_back({sheet, next, pose, lineNo});
    ++next;
  }

  void Line(const std::string& line) {
    ++lineNo;
    if (line.empty() || line[0] == ' ' || line[0] == '\t' || line[0] == '#' || line[0] == '\r')
      return;
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    const std::string& kind = w[0];
    if (kind == "pose") {
      if (w.size() < 2) Fail("a pose needs a name");
      if (poses.count(w[1])) Fail("pose '" + w[1] + "' is defined twice");
      poses[w[1]] = Modified(Pose{}, w, 2, w[1]);
    } else if (kind == "sheet") {
      if (w.size() != 4 || w[2] != "slot") Fail("expected 'sheet S slot K'");
      sheet = Count(w[1]);
      int slot = Count(w[3]);
      if (sheet > 9) Fail("body sheets are 0..9");
      if (sheet == kTileSet && slot < kTileSlots) Fail("set 1 slots below 2 hold the tiles");
      next = slot * BodySheet(sheet).cells;
    } else if (kind == "cell") {
      if (w.size() < 2) Fail("a cell needs a pose");
      Place(Modified(Named(w[1]), w, 2, w[1]));
    } else if (kind == "tween") {
      if (w.size() != 4) Fail("expected 'tween FROM TO FRAMES'");
      const Pose& a = Named(w[1]);
      const Pose& b = Named(w[2]);
      int frames = Count(w[3]);
      for (int i = 1; i <= frames; ++i) Place(Tween(a, b, static_cast<double>(i) / frames));
    } else if (kind == "skip") {
      if (w.size() != 2) Fail("expected 'skip N'");
      next += Count(w[1]);
    } else {
      Fail("unknown line kind '" + kind + "'");
    }
  }
};

}  // namespace

const SheetGeometry& BodySheet(int sheet) {
  return kBodySheets[sheet];
}
const SheetGeometry& EffectSheet() {
  return kEffectSheet;
}

std::string PictureFile(int set, int slot) {
  std::string k = std::to_string(2 * slot);
  while (k.size() < 3) k = "0" + k;
  return kSetPrefixes[set] + k + ".bmp";
}

std::vector<DancerCell> ReadDancerLayout(const std::string& text) {
  LayoutReader reader;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) reader.Line(line);
  return reader.cells;
}

void PictureCatalogue::Mark(int set, int slot, int cells, int index) {
  auto& v = drawn[set][slot];
  v.resize(static_cast<size_t>(cells));
  v[static_cast<size_t>(index)] = true;
}

bool PictureCatalogue::HasSlot(int set, int slot) const {
  auto s = drawn.find(set);
  return s != drawn.end() && s->second.count(slot) > 0;
}

bool PictureCatalogue::HasCell(int set, int cell, int cellsPerBitmap) const {
  if (cell < 0) return false;
  auto s = drawn.find(set);
  if (s == drawn.end()) return false;
  auto k = s->second.find(cell / cellsPerBitmap);
  if (k == s->second.end()) return false;
  size_t j = static_cast<size_t>(cell % cellsPerBitmap);
  return j < k->second.size() && k->second[j];
}

PictureCatalogue BuildCatalogue(const std::vector<DancerCell>& dancer) {
  PictureCatalogue c;
  for (const DancerCell& d : dancer) {
    const SheetGeometry& g = BodySheet(d.sheet);
    c.Mark(d.sheet, d.cell / g.cells, g.cells, d.cell % g.cells);
  }
  for (int slot = 0; slot < kTileSlots; ++slot)
    for (int j = 0; j < 20; ++j) c.Mark(kTileSet, slot, 20, j);
  for (int slot = 0; slot < kEffectSlotsA; ++slot)
    for (int j = 0; j < 18; ++j) c.Mark(kEffectSetA, slot, 18, j);
  for (int slot = 0; slot < kEffectSlotsB; ++slot)
    for (int j = 0; j < 18; ++j) c.Mark(kEffectSetB, slot, 18, j);
  return c;
}

}  // namespace forge
