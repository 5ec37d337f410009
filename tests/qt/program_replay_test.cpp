// A run record given on the command line to the windowed program: it
// replays as the first demonstration turn exactly as the headless host
// replays it, and a record that does not check ends the start with status 2.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "tests/qt/program_child.h"

namespace kelvane {
namespace {

using namespace child;

constexpr int kDemoPlay = 255;
constexpr size_t kFramesCompared = 60;

// The rows of the first stay in the demonstration's play scene.
std::vector<int> DemoPlayRows(const std::string& trace) {
  std::vector<int> rows;
  bool inside = false;
  size_t at = 0;
  while ((at = trace.find("\"ev\":\"frame\"", at)) != std::string::npos) {
    const size_t end = trace.find('\n', at);
    const std::string line = trace.substr(at, end - at);
    at = end;
    if (TraceField(line, "\"scene\":") == kDemoPlay) {
      inside = true;
      rows.push_back(TraceField(line, "\"row\":"));
    } else if (inside) {
      break;
    }
    if (end == std::string::npos) break;
  }
  return rows;
}

class ProgramReplayTest : public ::testing::Test {
 protected:
  void TearDown() override { Finish(); }

  // In the test process: a human turn saved into slot 3 by the headless
  // save-and-replay scenario, copied into the child's folder, and the rows
  // the headless host replays from it.
  void PrepareRecord(const char* tag) {
    const bool parent = std::getenv("KELVANE_CHILD_TEST_DIR") == nullptr;
    child::Prepare(tag, "c_max=0\nename=replay\n");
    if (!parent) return;
    const std::string made = test::MakeDataCopy(std::string(tag) + "-made");
    ASSERT_EQ(test::RunCommand(test::GameDir() + "kelvane --headless --data " + made +
                               " --seed 7 --run-ms 330000 --input " + test::SourceDir() +
                               "tests/scenarios/save_and_replay.txt > " + made + "out.txt 2>&1"),
              0);
    record = test::ReadAll(made + "Ac3.txt");
    ASSERT_FALSE(record.empty());
    test::WriteAll(childDir + "Ac3.txt", record);
    ASSERT_EQ(test::RunCommand(test::GameDir() + "kelvane --headless --data " + made +
                               " --run-ms 30000 --replay Ac3.txt --trace " + made +
                               "replay.jsonl > " + made + "replay.txt 2>&1"),
              0);
    headlessRows = DemoPlayRows(test::ReadAll(made + "replay.jsonl"));
    ASSERT_GE(headlessRows.size(), kFramesCompared);
  }

  std::string record;
  std::vector<int> headlessRows;
};

TEST_F(ProgramReplayTest, ARecordOnTheCommandLineReplaysInTheWindowAsHeadless) {
  PrepareRecord("replay-window");
  EXPECT_EXIT(
      {
        drive = [](QWidget* w, int scene, int) {
          if (scene != kDemoPlay || DemoPlayRows(test::ReadAll(traceFile)).size() < kFramesCompared)
            return;
          ArmExitDeadline();
          w->close();
          drive = [](QWidget*, int, int) {};
        };
        Options o;
        o.replayFile = "Ac3.txt";
        std::exit(RunProgram(o));
      },
      ::testing::ExitedWithCode(0), "");
  std::vector<int> windowRows = DemoPlayRows(test::ReadAll(traceFile));
  ASSERT_GE(windowRows.size(), kFramesCompared);
  windowRows.resize(kFramesCompared);
  EXPECT_EQ(windowRows,
            std::vector<int>(headlessRows.begin(), headlessRows.begin() + kFramesCompared));
}

TEST_F(ProgramReplayTest, ARecordThatDoesNotCheckEndsTheStartWithStatusTwo) {
  PrepareRecord("replay-refused");
  if (!record.empty()) {
    record[30] = record[30] == '%' ? '#' : '%';
    test::WriteAll(childDir + "Ac3.txt", record);
  }
  EXPECT_EXIT(
      {
        drive = [](QWidget*, int, int) { ArmExitDeadline(); };
        Options o;
        o.replayFile = "Ac3.txt";
        std::exit(RunProgram(o));
      },
      ::testing::ExitedWithCode(2), "check value does not match");
  // The refused record is left as it was.
  EXPECT_EQ(test::ReadAll(childDir + "Ac3.txt"), record);
}

}  // namespace
}  // namespace kelvane
