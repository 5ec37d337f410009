// A file name as a message shows it. Names come from the command line,
// from dropped files and from the disk, and can be thousands of characters
// long; a message keeps their start and their end, where the folder and
// the file's own name are, and stays readable.
#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// Names up to this many bytes are shown whole.
inline constexpr size_t kShownNameBytes = 160;

// The name itself when it is short enough, else its first and last bytes
// around "...", at most kShownNameBytes in all and never cutting a UTF-8
// character in two.
std::string ShownName(std::string_view name);

}  // namespace kelvane
