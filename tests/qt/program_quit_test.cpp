// The windowed program's ways to end, each run in a fresh process through the
// real Qt host: the exit question answered with synthesized keys, SIGTERM
// during play, the close box, a failed start. Each must end the process by
// itself with status 0 (1 for the failed start) and a complete settings
// file. The same runs check the host's own keys: volume and full screen.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "config/ini_file.h"
#include "tests/qt/program_child.h"

namespace kelvane {
namespace {

using namespace child;

// ---- In the test process ----

constexpr int kDemoPlay = 255;

// Keys of the settings file that every run must leave behind.
const char* const kAllKeys[] = {"0:big", "c_max", "color",  "SOMmk", "MUSmk", "MUScx",
                                "NOMAL", "HARD_", "drive",  "wallL", "wallS", "t-com",
                                "ename", "comef", "BGMvol", "SEvol"};

class ProgramQuitTest : public ::testing::Test {
 protected:
  void TearDown() override { Finish(); }

  // One colour scheme keeps the loading short.
  void Prepare(const char* tag, bool withData = true) {
    child::Prepare(tag, "c_max=0\nename=quit\n", withData);
  }

  IniFile Settings() { return IniFile(test::ReadAll(childDir + "Kelvane.ini")); }

  void ExpectCompleteSettings() {
    IniFile ini = Settings();
    for (const char* key : kAllKeys)
      EXPECT_NE(ini.ReadString("Kelvane", key, "<missing>"), "<missing>") << key;
    EXPECT_EQ(ini.ReadString("Kelvane", "ename", ""), "QUIT__");
  }

  std::string Trace() { return test::ReadAll(traceFile); }
};

TEST_F(ProgramQuitTest, TheExitQuestionAnsweredYesEndsTheProcessAndWritesTheSettings) {
  Prepare("quit-exit-question");
  EXPECT_EXIT(
      {
        // Through the demonstration and the opening to the mode menu, right
        // to the exit icon, confirm, then Y to the question.
        static bool rightDone = false;
        static auto lastTap = std::chrono::steady_clock::now();
        drive = [](QWidget* w, int scene, int sub) {
          auto now = std::chrono::steady_clock::now();
          if (now - lastTap < std::chrono::milliseconds(400)) return;
          lastTap = now;
          if (scene == 253 && sub == 200) {
            Tap(w, Qt::Key_Y);
            ArmExitDeadline();
          } else if (scene == 2 && sub >= 33 && sub <= 90) {
            Tap(w, rightDone ? Qt::Key_Return : Qt::Key_Right);
            rightDone = true;
          } else if (scene == 254 || scene == 255 || scene == 0 || scene == 1) {
            Tap(w, Qt::Key_Return);
          }
        };
        std::exit(RunProgram({}));
      },
      ::testing::ExitedWithCode(0), "");
  ExpectCompleteSettings();
  EXPECT_NE(Trace().find("\"scene\":253,\"sub\":270"), std::string::npos);
}

TEST_F(ProgramQuitTest, SigtermDuringPlayClosesNormally) {
  Prepare("quit-sigterm");
  EXPECT_EXIT(
      {
        drive = [](QWidget*, int scene, int) {
          if (scene != kDemoPlay) return;
          ArmExitDeadline();
          kill(getpid(), SIGTERM);
          drive = [](QWidget*, int, int) {};
        };
        std::exit(RunProgram({}));
      },
      ::testing::ExitedWithCode(0), "");
  ExpectCompleteSettings();
  // The close went the game's way: traced as a close, after play frames.
  std::string trace = Trace();
  EXPECT_NE(trace.find("\"scene\":255"), std::string::npos);
  EXPECT_NE(trace.find("\"ev\":\"close\""), std::string::npos);
}

// A termination signal ends the game even when it has something to say:
// a settings file that cannot be written is named on stderr and no box
// waits for an answer that will not come.
TEST_F(ProgramQuitTest, SigtermEndsTheGameWhenTheSettingsCannotBeWritten) {
  Prepare("quit-sigterm-unwritable");
  EXPECT_EXIT(
      {
        onBox = [](QMessageBox*) {};  // nobody there to answer
        drive = [](QWidget*, int scene, int) {
          if (scene != kDemoPlay) return;
          // A folder in the settings file's place: the write at the end fails.
          std::filesystem::remove(childDir + "Kelvane.ini");
          std::filesystem::create_directory(childDir + "Kelvane.ini");
          ArmExitDeadline();
          kill(getpid(), SIGTERM);
          drive = [](QWidget*, int, int) {};
        };
        std::exit(RunProgram({}));
      },
      ::testing::ExitedWithCode(0), "kelvane: Cannot write to .*Kelvane.ini");
}

// A box already open when the signal comes is closed, and the game ends:
// here the failed start's (the startup dialog's box about the missing
// wallpaper is answered first).
TEST_F(ProgramQuitTest, SigtermClosesAnOpenMessageBox) {
  Prepare("quit-sigterm-box", /*withData=*/false);
  EXPECT_EXIT(
      {
        onBox = [](QMessageBox* wallpaper) {
          wallpaper->accept();
          onBox = [](QMessageBox*) {
            ArmExitDeadline();
            kill(getpid(), SIGTERM);
            onBox = [](QMessageBox*) {};
          };
        };
        drive = [](QWidget*, int, int) {};
        std::exit(RunProgram({}));
      },
      ::testing::ExitedWithCode(1), "");
  ExpectCompleteSettings();
}

TEST_F(ProgramQuitTest, TheCloseBoxDuringPlayEndsTheProcess) {
  Prepare("quit-close-box");
  EXPECT_EXIT(
      {
        drive = [](QWidget* w, int scene, int) {
          if (scene != kDemoPlay) return;
          ArmExitDeadline();
          w->close();
          drive = [](QWidget*, int, int) {};
        };
        std::exit(RunProgram({}));
      },
      ::testing::ExitedWithCode(0), "");
  ExpectCompleteSettings();
}

TEST_F(ProgramQuitTest, AFailedStartEndsWithStatusOneAndStillWritesTheSettings) {
  Prepare("quit-failed-start", /*withData=*/false);
  EXPECT_EXIT(
      {
        // No data at all: the palette file is missing, the user is told, and
        // the game closes itself.
        drive = [](QWidget*, int, int) { ArmExitDeadline(); };
        std::exit(RunProgram({}));
      },
      ::testing::ExitedWithCode(1), "");
  ExpectCompleteSettings();
}

TEST_F(ProgramQuitTest, VolumeKeysStayWithTheHostAndAreStored) {
  Prepare("quit-volume");
  EXPECT_EXIT(
      {
        drive = [](QWidget* w, int scene, int) {
          if (scene != kDemoPlay) return;
          // Music down twice, effects down once and up twice (past full).
          Tap(w, Qt::Key_Minus);
          Tap(w, Qt::Key_Minus);
          Tap(w, Qt::Key_Underscore, Qt::ShiftModifier);
          Tap(w, Qt::Key_Plus, Qt::ShiftModifier);
          Tap(w, Qt::Key_Plus, Qt::ShiftModifier);
          // One key the game does get (D, the zoom), as a witness.
          Tap(w, Qt::Key_D);
          w->close();
          drive = [](QWidget*, int, int) {};
        };
        std::exit(RunProgram({}));
      },
      ::testing::ExitedWithCode(0), "");
  IniFile ini = Settings();
  EXPECT_EQ(ini.ReadInteger("Kelvane", "BGMvol", -1), 80);
  EXPECT_EQ(ini.ReadInteger("Kelvane", "SEvol", -1), 100);
  std::string trace = Trace();
  EXPECT_NE(trace.find("\"ev\":\"key\",\"op\":\"down\",\"vk\":68"), std::string::npos);
  EXPECT_NE(trace.find("\"ev\":\"key\",\"op\":\"up\",\"vk\":68"), std::string::npos);
  size_t keys = 0;
  for (size_t at = trace.find("\"ev\":\"key\""); at != std::string::npos;
       at = trace.find("\"ev\":\"key\"", at + 1))
    ++keys;
  EXPECT_EQ(keys, 2u) << "only the D key reaches the game";
}

}  // namespace
}  // namespace kelvane
