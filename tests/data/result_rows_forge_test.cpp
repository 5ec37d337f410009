// The forge keeps the result's losing rows from spoiling the winner beside
// them: a losing row may not clear, move, draw companions, call rows or
// change its pose, and must hold its pose for good.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_support.h"

namespace kelvane {
namespace {

struct Change {
  const char* from;
  const char* to;
  const char* message;  // empty: the forge takes it
};

class LosingRowRules : public ::testing::TestWithParam<Change> {};

TEST_P(LosingRowRules, AreKeptByTheForge) {
  const std::string dir = test::MakeTempDir("forge-losing-rows");
  for (const char* name : {"dancer.txt", "README.md"})
    test::WriteAll(dir + name, test::ReadAll(test::SourceDir() + "data/" + name));
  std::string moves = test::ReadAll(test::SourceDir() + "data/Z_ac.txt");
  const size_t at = moves.find(GetParam().from);
  ASSERT_NE(at, std::string::npos) << GetParam().from;
  test::WriteAll(dir + "Z_ac.txt",
                 moves.replace(at, std::string(GetParam().from).size(), GetParam().to));

  const std::string command = "QT_QPA_PLATFORM=offscreen '" + std::string(KELVANE_TOOLS_DIR) +
                              "/kelvane-forge' --data '" + dir + "' --out '" + dir +
                              "out' --only move-list >/dev/null 2>'" + dir + "errors.txt'";
  const int code = test::RunCommand(command);
  const std::string errors = test::ReadAll(dir + "errors.txt");
  const std::string message = GetParam().message;
  if (message.empty()) {
    EXPECT_EQ(code, 0) << errors;
    EXPECT_TRUE(std::filesystem::exists(dir + "out/Z_ac.txt"));
    return;
  }
  EXPECT_EQ(code, 1);
  EXPECT_NE(errors.find("Z_ac.txt:"), std::string::npos) << errors;
  EXPECT_NE(errors.find(message), std::string::npos) << errors;
  EXPECT_FALSE(std::filesystem::exists(dir + "out/Z_ac.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, LosingRowRules,
    ::testing::Values(
        // Clearing would wipe the winner.
        Change{"| Sobbing\n/I=0 . @-\n46\n", "| Sobbing\n/I=0 . @-\n-6 46\n", "must not clear"},
        // The token is found anywhere on the motion line.
        Change{"| Sobbing\n/I=0 . @-\n", "| Sobbing\n/I=0 . @- c\n", "must not clear"},
        // Ending hands over to the idle row, which clears.
        Change{"/(\n7006\n/)0\n-1", "/(\n7006\n/)2\n-1", "must end in a hold"},
        // A second pose leaves the first one showing around it.
        Change{"/(\n46\n/)0", "/(\n45\n/)0", "one pose"},
        // Moving once the pose is drawn draws it again beside itself.
        Change{"/(\n4010\n/)0", "/( x+2\n4010\n/)0", "must not move"},
        Change{"/(\n4010\n/)0", "/( .\n4010\n/)0", "must not move"},
        // Facing and landing before the first picture are fine.
        Change{"| Sit and Sulk\n/I=0 . @-\n", "| Sit and Sulk\n/I=0 . @- <\n", ""},
        // Companions pile up beside the winner; clones copy over it.
        Change{"7006\n-1\n-1\n", "7006\n-3 -1\n-1\n", "no companions"},
        Change{"| Sit and Sulk\n/I=0 . @-\n", "| Sit and Sulk\n/I=2 . @-\n", "no companions"},
        Change{"| Sit and Sulk\n/I=0 . @-\n", "| Sit and Sulk\n/. @-\n", "I=0"},
        // A called row may clear.
        Change{"| Sit and Sulk\n/I=0 . @-\n", "| Sit and Sulk\n/I=0 . @- 0r1\n", "calls no"}));

}  // namespace
}  // namespace kelvane
