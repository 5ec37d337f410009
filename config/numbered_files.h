// File-name helpers shared by everything that reads numbered data files.
#pragma once

#include <string>

namespace kelvane {

class FileSystem;

// The last d characters of the decimal text of n + 1,000,000,000, so
// ZeroPad(2, 5) is "05" and ZeroPad(2, 123) is "23".
std::string ZeroPad(int digits, long long n);

// How many of folder + prefix + ZeroPad(2, k) + suffix exist for k = 1, 2, ...
// without a gap, at most limit (0 for a limit of 0 or less).
int CountNumberedFiles(FileSystem& files, const std::string& folder, const std::string& prefix,
                       const std::string& suffix, int limit);

}  // namespace kelvane
