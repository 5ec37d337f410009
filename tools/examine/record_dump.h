// kelvane-inspect record FILE: a run record decoded as JSON, so that a shared
// record can be checked without running the game.
#pragma once

#include <string>

namespace kelvane::inspect {

// Prints the record's header fields, comment, media element, events and
// check value (stored, recomputed, whether they agree). Exit code 0 only
// for a record that checks.
int DumpRecord(const std::string& file);

}  // namespace kelvane::inspect
