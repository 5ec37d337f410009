// A trace captured in memory, for tests that read back what the game traced.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelvane::test {

struct MemoryTrace {
  MemoryTrace() { file = open_memstream(&buf, &size); }
  ~MemoryTrace() {
    std::fclose(file);
    std::free(buf);
  }
  MemoryTrace(const MemoryTrace&) = delete;
  MemoryTrace& operator=(const MemoryTrace&) = delete;
  std::string Text() {
    std::fflush(file);
    return std::string(buf, size);
  }
  int Count(const std::string& needle) {
    const std::string t = Text();
    int n = 0;
    for (size_t p = t.find(needle); p != std::string::npos; p = t.find(needle, p + 1)) ++n;
    return n;
  }
  char* buf = nullptr;
  size_t size = 0;
  std::FILE* file;
};

}  // namespace kelvane::test
