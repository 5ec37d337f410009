// kelvane-inspect: shows a data file exactly as the game reads it.
//   kelvane-inspect actions FILE   the action tables as JSON
//   kelvane-inspect palette FILE   the four palettes as JSON
//   kelvane-inspect record FILE    a run record decoded, with its check
//   kelvane-inspect --help         what each command shows
// Problems go to standard error as "FILE:LINE: reason"; the exit code is
// then non-zero.
#include <iostream>
#include <memory>
#include <string>

#include "actiondata/action_data.h"
#include "actiondata/action_file.h"
#include "actiondata/action_tokens.h"
#include "actiondata/load_group.h"
#include "actiondata/palette_file.h"
#include "platform/core/shown_name.h"
#include "platform/core/std_files.h"
#include "platform/core/text_codec.h"
#include "tools/examine/json_out.h"
#include "tools/examine/record_dump.h"

namespace kelvane::inspect {
namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] = "usage: kelvane-inspect actions FILE | palette FILE | record FILE\n";
constexpr char kHelp[] =
    "usage: kelvane-inspect actions FILE | palette FILE | record FILE\n"
    "Shows a data file of the game exactly as the game reads it.\n"
    "  actions FILE   a move list (Z_ac.txt) as JSON: the rows with their names,\n"
    "                 scores and commands, the step streams (also decoded), the\n"
    "                 load groups with their pictures and the command table\n"
    "  palette FILE   a palette file (Xx.txt) as JSON: the four palettes and the\n"
    "                 number of plain and picture backdrops\n"
    "  record FILE    a run record (Ac1.txt..Ac9.txt) decoded as JSON: the header's\n"
    "                 fields, the comment, the media element, every event as a\n"
    "                 frame count and a key, the stored and the recomputed check\n"
    "                 value and whether they agree\n"
    "  --help         this text\n"
    "Problems go to standard error as FILE:LINE: reason. The exit status is 0\n"
    "when the file reads as the game reads it (a record: and checks), 1 when it\n"
    "does not, 2 for a wrong command line.\n";

// A step value as an author would write it: a picture "pic A:B" (value div
// 1000 and mod 1000), "end", or the token that gives the instruction.
std::string DecodeStep(int16_t v) {
  if (v >= 0) return "pic " + std::to_string(v / 1000) + ":" + std::to_string(v % 1000);
  if (v == ActionData::kEnd) return "end";
  int code = -v % 100, arg = -v / 100;
  std::string_view token = TokenForCode(code);
  if (token.empty()) return "code " + std::to_string(code) + " arg " + std::to_string(arg);
  bool takesNumber = false;
  for (const ActionToken& t : ActionTokens())
    if (t.text == token) takesNumber = t.takesNumber;
  if (takesNumber) return std::string(token) + std::to_string(arg);
  if (arg != 0) return std::string(token) + " arg " + std::to_string(arg);
  return std::string(token);
}

void Field(JsonOut& j, const std::string& key, int64_t v) {
  j.Key(key);
  j.Int(v);
}

void Ints(JsonOut& j, const int16_t* values, int count) {
  j.BeginArray();
  for (int i = 0; i < count; ++i) j.Int(values[i]);
  j.EndArray();
}

void Decoded(JsonOut& j, const int16_t* values, int count) {
  j.BeginArray();
  for (int i = 0; i < count; ++i) j.String(DecodeStep(values[i]));
  j.EndArray();
}

void WriteRow(JsonOut& j, const ActionRow& r, int index) {
  j.BeginObject();
  Field(j, "index", index);
  j.Key("name");
  j.String(SjisToUtf8(r.name));
  Field(j, "group", r.group);
  Field(j, "score", r.score);
  Field(j, "bn", r.bn);
  Field(j, "firstScore", r.firstScore);
  Field(j, "fall", r.fall);
  Field(j, "landing", r.landing);
  Field(j, "scoreExtra", r.scoreExtra);
  j.Key("commands");
  Ints(j, r.commands.data(), static_cast<int>(r.commands.size()));
  Field(j, "motionStart", r.motionStart);
  Field(j, "secondStart", r.secondStart);
  Field(j, "thirdStart", r.thirdStart);
  Field(j, "hidden", r.hidden);
  Field(j, "preDone", r.preDone);
  j.EndObject();
}

void WriteActions(JsonOut& j, ActionData& a) {
  j.BeginObject();
  j.Key("rows");
  j.BeginArray();
  for (int i = 0; i <= a.lastRow; ++i) WriteRow(j, a.actionRows[i], i);
  j.EndArray();
  j.Key("motionStream");
  Ints(j, a.motionStream.data(), a.motionCount);
  j.Key("secondStream");
  Ints(j, a.secondStream.data(), a.secondCount);
  j.Key("thirdStream");
  Ints(j, a.thirdStream.data(), a.thirdCount);
  j.Key("groups");
  j.BeginArray();
  for (const auto& group : a.loadGroups) Ints(j, group.data(), static_cast<int>(group.size()));
  j.EndArray();
  Field(j, "lastRow", a.lastRow);
  Field(j, "lastGroup", a.lastGroup);
  Field(j, "bangRow", a.bangRow);
  Field(j, "secondBangRow", a.secondBangRow);
  Field(j, "barPairs", a.barPairs);
  // The command table as loading fills it, without loading any picture.
  for (int g = 0; g < ActionData::kGroupCapacity; ++g) MapGroupCommands(a, g);
  j.Key("codeToRow");
  j.BeginObject();
  for (int code = 0; code <= ActionData::kMaxCommandCode; ++code) {
    if (a.codeToRow[code] == 0) continue;
    Field(j, std::to_string(code), a.codeToRow[code]);
  }
  j.EndObject();
  j.Key("decoded");
  j.BeginObject();
  j.Key("motionStream");
  Decoded(j, a.motionStream.data(), a.motionCount);
  j.Key("secondStream");
  Decoded(j, a.secondStream.data(), a.secondCount);
  j.Key("thirdStream");
  Decoded(j, a.thirdStream.data(), a.thirdCount);
  j.Key("groupPictures");
  j.BeginArray();
  for (int g = 0; g <= a.lastGroup && g < ActionData::kGroupCapacity; ++g) {
    j.BeginArray();
    for (int e = 0; e < ActionData::kGroupLastRowEntry && a.loadGroups[g][e] != ActionData::kEnd;
         ++e) {
      int p = a.loadGroups[g][e];
      j.BeginObject();
      j.Key("file");
      j.String(PictureName(p) + ".bmp");
      Field(j, "set", PictureSet(p));
      Field(j, "slot", PictureSlot(p));
      j.EndObject();
    }
    j.EndArray();
  }
  j.EndArray();
  j.EndObject();
  j.EndObject();
}

std::string Hex(uint32_t rgb) {
  static const char* digits = "0123456789ABCDEF";
  std::string s = "#";
  for (int shift = 20; shift >= 0; shift -= 4) s += digits[(rgb >> shift) & 0xF];
  return s;
}

void WritePalettes(JsonOut& j, const Palettes& p) {
  j.BeginObject();
  j.Key("paletteColours");
  j.BeginArray();
  for (const auto& palette : p.paletteColours) {
    j.BeginArray();
    for (const auto& rgb : palette) {
      j.BeginArray();
      for (uint8_t c : rgb) j.Int(c);
      j.EndArray();
    }
    j.EndArray();
  }
  j.EndArray();
  j.Key("charPalettes");
  j.BeginArray();
  for (const auto& palette : p.charPalettes) {
    j.BeginArray();
    for (uint32_t c : palette) j.String(Hex(c));
    j.EndArray();
  }
  j.EndArray();
  // Colour 0 of the backdrop palette counts the backdrops instead.
  Field(j, "plainBackdrops", p.paletteColours[0][0][0]);
  Field(j, "pictureBackdrops", p.paletteColours[0][0][1]);
  j.EndObject();
}

int Run(const std::string& what, const std::string& file) {
  StdFileSystem files;
  std::optional<std::string> text = files.ReadFile(file);
  if (!text) {
    std::cerr << ShownName(file) << ": the file cannot be read\n";
    return kExitError;
  }
  std::string error;
  JsonOut j(std::cout);
  if (what == "actions") {
    auto a = std::make_unique<ActionData>();
    if (!ParseActionText(*a, *text, file, &error)) {
      std::cerr << error << '\n';
      return kExitError;
    }
    WriteActions(j, *a);
  } else {
    Palettes p;
    if (!ParsePaletteText(p, *text, file, &error)) {
      std::cerr << error << '\n';
      return kExitError;
    }
    BuildPalettes(p);
    WritePalettes(j, p);
  }
  return std::cout.good() ? 0 : kExitError;
}

}  // namespace
}  // namespace kelvane::inspect

int main(int argc, char** argv) {
  const std::string what = argc == 3 ? argv[1] : "";
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::cout << kelvane::inspect::kHelp;
    return std::cout.good() ? 0 : kelvane::inspect::kExitError;
  }
  if (what != "actions" && what != "palette" && what != "record") {
    std::cerr << kelvane::inspect::kUsage << "(kelvane-inspect --help says more)\n";
    return kelvane::inspect::kExitUsage;
  }
  if (what == "record") return kelvane::inspect::DumpRecord(argv[2]);
  return kelvane::inspect::Run(argv[1], argv[2]);
}
