// Every kept fuzz input, run through its target as an ordinary test: the
// reproducers of past finds stay fixed, and the ASan pass checks them too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/fuzz/targets/fuzz_targets.h"

namespace kelvane::fuzz {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class CorpusReplay : public ::testing::TestWithParam<NamedTarget> {};

TEST_P(CorpusReplay, EveryKeptInputRunsCleanly) {
  const fs::path dir = fs::path(KELVANE_SOURCE_DIR) / "tests/fuzz/corpus" / GetParam().name;
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    const std::string bytes = ReadAll(entry.path());
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(GetParam().run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
    ++count;
  }
  EXPECT_GT(count, 0) << "no seeds kept for " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Targets, CorpusReplay, ::testing::ValuesIn(AllTargets()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvane::fuzz
