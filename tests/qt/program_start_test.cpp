// The program's start through the real Qt host, each run in a fresh process
// (a process holds one QApplication): the startup dialog comes first, Cancel
// ends the program before the main window appears, OK starts the game.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/options.h"
#include "platform/qt/qt_host.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

constexpr int kMainWindowSeen = 3;
constexpr int kNoDialog = 4;
constexpr int kHung = 5;

// Runs once the host has made its QApplication.
enum class Answer { Cancel, Ok };
Answer answer = Answer::Cancel;
int closeAfterMs = 2500;  // after OK

void AnswerTheDialog() {
  // A program that never ends fails the test instead of stalling the run.
  QTimer::singleShot(30000, [] { std::_Exit(kHung); });
  QTimer::singleShot(300, [] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) std::_Exit(kNoDialog);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w != dialog && w->isVisible()) std::_Exit(kMainWindowSeen);
    if (answer == Answer::Cancel) {
      dialog->findChild<QPushButton*>("Button2")->click();
      return;
    }
    dialog->findChild<QPushButton*>("Button1")->click();
    // Then close the game window the way the close box does.
    QTimer::singleShot(closeAfterMs, [] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) w->close();
    });
  });
}

int RunProgram(const std::string& folder) {
  qAddPreRoutine(AnswerTheDialog);
  Options o;
  o.seed = 11;
  static char name[] = "kelvane";
  static char* argv[] = {name, nullptr};
  return RunQtProgram(o, folder, 1, argv);
}

// The child process runs the test body again from the top; it must use the
// parent's folder, which it finds in the environment it inherits.
std::string SharedFolder(const char* tag, bool& isChild) {
  const char* known = std::getenv("KELVANE_START_TEST_DIR");
  isChild = known != nullptr;
  if (known) return known;
  std::string dir = test::MakeTempDir(tag);
  setenv("KELVANE_START_TEST_DIR", dir.c_str(), 1);
  return dir;
}

class ProgramStartTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  void TearDown() override { unsetenv("KELVANE_START_TEST_DIR"); }
  bool isChild = false;
};

TEST_F(ProgramStartTest, CancelEndsTheProgramBeforeTheGameWindowAndWritesNothing) {
  std::string dir = SharedFolder("start-cancel", isChild);
  EXPECT_EXIT(
      {
        answer = Answer::Cancel;
        std::exit(RunProgram(dir));
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(std::filesystem::exists(dir + "Kelvane.ini"));
}

TEST_F(ProgramStartTest, OkStartsTheGameAndItsEndWritesTheChoices) {
  std::string dir = SharedFolder("start-ok", isChild);
  if (!isChild) {
    std::filesystem::copy(test::GameDir(), dir, std::filesystem::copy_options::recursive);
    std::filesystem::remove(dir + "Kelvane.ini");
    test::WriteAll(dir + "Kelvane.ini", "[Kelvane]\nename=tester\n");
  }
  EXPECT_EXIT(
      {
        answer = Answer::Ok;
        std::exit(RunProgram(dir));
      },
      ::testing::ExitedWithCode(0), "");
  std::string ini = test::ReadAll(dir + "Kelvane.ini");
  EXPECT_NE(ini.find("ename=TESTER"), std::string::npos) << ini;
  EXPECT_NE(ini.find("c_max=1"), std::string::npos) << ini;
}

TEST_F(ProgramStartTest, AClosedWindowDuringLoadingStillEndsTheProgramAndWritesTheSettings) {
  std::string dir = SharedFolder("start-close-early", isChild);
  if (!isChild) {
    std::filesystem::copy(test::GameDir(), dir, std::filesystem::copy_options::recursive);
    std::filesystem::remove(dir + "Kelvane.ini");
    // Generating every colour scheme keeps the loading busy for a while.
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      char first = entry.path().filename().string()[0];
      if (first == 'T' || first == 'U') std::filesystem::remove(entry.path());
    }
    test::WriteAll(dir + "Kelvane.ini", "[Kelvane]\nc_max=2\n");
  }
  EXPECT_EXIT(
      {
        answer = Answer::Ok;
        closeAfterMs = 1;
        std::exit(RunProgram(dir));
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_NE(test::ReadAll(dir + "Kelvane.ini").find("c_max=2"), std::string::npos);
}

}  // namespace
}  // namespace kelvane
