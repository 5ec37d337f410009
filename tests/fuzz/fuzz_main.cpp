// One libFuzzer binary per target: KELVANE_FUZZ_TARGET names it.
#include <cstring>

#include "tests/fuzz/targets/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kelvane::fuzz::Target run = [] {
    for (const auto& t : kelvane::fuzz::AllTargets())
      if (std::strcmp(t.name, KELVANE_FUZZ_TARGET) == 0) return t.run;
    return kelvane::fuzz::Target{nullptr};
  }();
  return run ? run(data, size) : 0;
}
