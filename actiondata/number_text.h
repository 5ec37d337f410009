// Integer text as the data files write it, and the numbered lines of those
// files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// An integer with optional leading blanks and sign, decimal or "$" followed
// by hexadecimal digits. Anything else, or a value beyond 32 bits, is none.
std::optional<int32_t> ParseInteger(std::string_view text);

// Every blank- or tab-separated field of a line as an integer. On a field
// that is not one, returns false and names it in badField.
bool ParseNumberLine(std::string_view line, std::vector<int32_t>& out, std::string* badField);

// A field as an error message quotes it: at most 16 bytes, bytes outside
// printable ASCII as \xNN, "..." when it was cut.
std::string Excerpt(std::string_view field);

// Splits a text file into lines: "\n" ends a line, a "\r" before it is
// dropped, a last line without an end still counts.
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace kelvane
