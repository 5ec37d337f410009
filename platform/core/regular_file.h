// Opening a file for reading only when it is a plain file: a FIFO, a device
// or a folder under a file's name would block the reader or never end.
#pragma once

#include <sys/stat.h>

#include <string>

namespace kelvane {

// The open itself never waits (O_NONBLOCK), and what was opened is checked
// again, in case the name was swapped in between. Returns the descriptor
// and fills st, or -1 with why.
int OpenRegular(const std::string& path, struct stat& st, std::string& why);

}  // namespace kelvane
