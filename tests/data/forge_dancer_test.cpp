// The forge refuses broken dancer and move-list sources with a message that
// names the file and line, writes nothing for them, and gives the same
// bytes on every run.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/test_support.h"

namespace kelvane {
namespace {

struct ForgeRun {
  int exitCode;
  std::string errors;
};

// Runs one forge writer on a data folder; out/ receives what it writes.
ForgeRun RunWriter(const std::string& dataDir, const std::string& writer) {
  std::string forge = std::string(KELVANE_TOOLS_DIR) + "/kelvane-forge";
  std::string command = "QT_QPA_PLATFORM=offscreen '" + forge + "' --data '" + dataDir +
                        "' --out '" + dataDir + "out' --only " + writer + " >/dev/null 2>'" +
                        dataDir + "errors.txt'";
  int code = test::RunCommand(command);
  return {code, test::ReadAll(dataDir + "errors.txt")};
}

// A data folder holding the real dancer layout, notes and move list.
std::string CopyOfSources(const std::string& tag) {
  std::string dir = test::MakeTempDir(tag);
  for (const char* name : {"dancer.txt", "README.md", "Z_ac.txt"})
    test::WriteAll(dir + name, test::ReadAll(test::SourceDir() + "data/" + name));
  return dir;
}

void Replace(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = test::ReadAll(path);
  size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  test::WriteAll(path, text.replace(at, from.size(), to));
}

TEST(ForgeDancer, AnUnknownJointStopsTheForgeAtItsLine) {
  std::string dir = test::MakeTempDir("forge-joint");
  test::WriteAll(
      dir + "dancer.txt",
      "# two poses\npose stand armF=10\npose wave like=stand elbw=30\nsheet 0 slot 0\ncell wave\n");
  ForgeRun run = RunWriter(dir, "dancer-pictures");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.errors.find("dancer.txt:3: pose 'wave' names unknown joint 'elbw'"),
            std::string::npos)
      << run.errors;
  EXPECT_FALSE(std::filesystem::exists(dir + "out/sb000.bmp"));
}

TEST(ForgeDancer, TileSlotsAreNotForTheDancer) {
  std::string dir = test::MakeTempDir("forge-tiles");
  test::WriteAll(dir + "dancer.txt", "pose stand\nsheet 1 slot 1\ncell stand\n");
  ForgeRun run = RunWriter(dir, "dancer-pictures");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.errors.find("dancer.txt:2:"), std::string::npos) << run.errors;
}

// Each broken move list: the change, and what the message must say.
struct BrokenMoveList {
  const char* from;
  const char* to;
  const char* message;
};

class ForgeMoveList : public ::testing::TestWithParam<BrokenMoveList> {};

TEST_P(ForgeMoveList, IsRefusedWithItsLine) {
  std::string dir = CopyOfSources("forge-moves");
  Replace(dir + "Z_ac.txt", GetParam().from, GetParam().to);
  ForgeRun run = RunWriter(dir, "move-list");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(std::regex_search(run.errors, std::regex("Z_ac\\.txt:[0-9]+: "))) << run.errors;
  EXPECT_NE(run.errors.find(GetParam().message), std::string::npos) << run.errors;
  EXPECT_FALSE(std::filesystem::exists(dir + "out/Z_ac.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ForgeMoveList,
    ::testing::Values(
        // A cell that the dancer layout leaves empty.
        BrokenMoveList{"-6 0 -6 1 -6 2 -6 1 -1", "-6 0 -6 1 -6 2 -6 99 -1", "picture 99"},
        // A sound the sound list does not promise.
        BrokenMoveList{"/I=0 x+4 2:80", "/I=0 x+4 2:79", "sound 79"},
        // A button command cannot pick a backdrop from its first key.
        BrokenMoveList{"/I=0 2:86\n-6 8 -6 9\n", "/I=0 2:86 0-\n-6 8 -6 9\n",
                       "backdrop from the command"},
        // The one-key command N must start something.
        BrokenMoveList{"6000 0 0 0 0 0 0 0", "0 0 0 0 0 0 0 0", "one-key command 6000"},
        // Every opening a stage start can produce needs its routine.
        BrokenMoveList{"1517 1527 1537 1547", "1517 1527 1537 0", "opening command 1547"},
        // A loop counted 0 never ends.
        BrokenMoveList{"/)3\n", "/)0\n", "count 0"},
        // A row call past the table.
        BrokenMoveList{"/I=0 r-25", "/I=0 r-95", "does not exist"},
        // A tile pattern without its tile bitmap.
        BrokenMoveList{"/H+20\n-6 10 -1", "/H+60\n-6 10 -1", "tile pattern 60"},
        // A token whose number is not a number.
        BrokenMoveList{"/I=0 x+4 2:80", "/I=0 x+4x 2:80", "x+"},
        // Only 99 load groups.
        BrokenMoveList{"L\n-1\nL\n-1\n", "L\n-1\n", "all 100 load groups"}));

TEST(ForgeDancer, TwoRunsWriteTheSameBytes) {
  std::string a = CopyOfSources("forge-same-a"), b = CopyOfSources("forge-same-b");
  for (const char* writer : {"dancer-pictures", "move-list"}) {
    ASSERT_EQ(RunWriter(a, writer).exitCode, 0) << writer;
    ASSERT_EQ(RunWriter(b, writer).exitCode, 0) << writer;
  }
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(a + "out")) {
    std::string name = entry.path().filename().string();
    EXPECT_EQ(test::ReadAll(a + "out/" + name), test::ReadAll(b + "out/" + name)) << name;
    ++files;
  }
  EXPECT_GE(files, 12);
}

}  // namespace
}  // namespace kelvane
