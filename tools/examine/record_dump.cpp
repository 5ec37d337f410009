#include "tools/examine/record_dump.h"

#include <iostream>

#include "flow/run_record.h"
#include "platform/core/shown_name.h"
#include "platform/core/std_files.h"
#include "platform/core/text_codec.h"
#include "tools/examine/json_out.h"

namespace kelvane::inspect {
namespace {

constexpr int kExitError = 1;

void WriteEvents(JsonOut& j, const std::vector<std::string>& lines) {
  j.Key("events");
  j.BeginArray();
  for (const record::Event& e : record::DecodeEvents(lines)) {
    j.BeginObject();
    j.Key("frames");
    j.Int(e.frames);
    j.Key("keys");
    j.BeginArray();
    for (uint8_t k : e.keys)
      if (k != 0) j.Int(k);
    j.EndArray();
    j.Key("completes");
    j.Bool(e.groupEnd);
    j.EndObject();
  }
  j.EndArray();
}

}  // namespace

int DumpRecord(const std::string& file) {
  StdFileSystem files;
  std::string why;
  std::optional<record::ParsedRecord> r = record::ReadRecordFile(files, file, why);
  if (!r) {
    std::cerr << ShownName(file) << ": " << why << "\n";
    return kExitError;
  }
  JsonOut j(std::cout, true);
  j.BeginObject();
  j.Key("openingCommand");
  j.Int(r->openingCommand);
  j.Key("name");
  j.String(SjisToUtf8(r->name));
  j.Key("area");
  j.String(SjisToUtf8(r->area));
  j.Key("score");
  j.Int(r->score);
  j.Key("comment");
  j.String(SjisToUtf8(r->lines[1]));
  j.Key("element");
  j.String(SjisToUtf8(r->lines[2]));
  WriteEvents(j, r->lines);
  j.Key("storedCheck");
  j.String(SjisToUtf8(r->storedCheck));
  j.Key("computedCheck");
  j.String(r->computedCheck);
  j.Key("checks");
  j.Bool(r->checks);
  j.EndObject();
  if (!r->checks) std::cerr << ShownName(file) << ": " << record::kCheckMismatch << "\n";
  return r->checks && std::cout.good() ? 0 : kExitError;
}

}  // namespace kelvane::inspect
