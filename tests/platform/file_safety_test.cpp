// Files survive a crash mid-write and a file-size limit: leftovers of killed
// copies are cleaned up, and a write that cannot finish leaves the old file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "app/options.h"
#include "platform/core/messages.h"
#include "platform/core/std_files.h"
#include "platform/headless/headless_host.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

// A process id that no longer runs: a child that has exited and been reaped.
pid_t GonePid() {
  pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

TEST(FileSafety, LeftoversOfGoneCopiesAreRemovedAndNothingElse) {
  const std::string dir = test::MakeTempDir("tmp_cleanup");
  const std::string gone = dir + "Kelvane.ini.tmp" + std::to_string(GonePid());
  const std::string running = dir + "TY_.bmp.tmp" + std::to_string(getpid());
  const std::string other = dir + "notes.tmpx1";
  const std::string plain = dir + "Kelvane.ini";
  for (const auto& f : {gone, running, other, plain}) test::WriteAll(f, "x");
  EXPECT_EQ(RemoveStaleTemporaries(dir), 1);
  EXPECT_FALSE(fs::exists(gone));
  EXPECT_TRUE(fs::exists(running));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_TRUE(fs::exists(plain));
}

struct GameRun {
  int exitCode = -1;
  int signal = 0;
  long peakKb = 0;
  double seconds = 0;
};

// Runs the game headless on dir with an optional file-size limit.
GameRun RunGame(const std::string& dir, rlim_t fileLimit, const std::string& extra = "") {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (fileLimit) {
      rlimit r{fileLimit, fileLimit};
      setrlimit(RLIMIT_FSIZE, &r);
    }
    // No locale at all, as under env -i: the run is in English.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"}) unsetenv(name);
    const std::string out = dir + "err.txt";
    if (!std::freopen(out.c_str(), "w", stderr) || !std::freopen((dir + "out.txt").c_str(), "w", stdout))
      _exit(126);
    const std::string game = test::GameDir() + "kelvane";
    execl(game.c_str(), game.c_str(), "--headless", "--seed", "1", "--data", dir.c_str(),
          "--run-ms", extra.empty() ? "300" : extra.c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  GameRun r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  r.peakKb = usage.ru_maxrss;
  return r;
}

TEST(FileSafety, AFileSizeLimitFailsTheWriteInsteadOfKillingTheGame) {
  const std::string dir = test::MakeDataCopy("file_limit");
  const std::string old = "[Kelvane]\r\nNOMAL=0\r\n";
  test::WriteAll(dir + "Kelvane.ini", old);
  // Colour caches exist after the first run, so the settings are the only
  // write; the limit leaves room for the error message but not for them.
  GameRun first = RunGame(dir, 0);
  ASSERT_EQ(first.exitCode, 0) << test::ReadAll(dir + "err.txt");
  const std::string settings = test::ReadAll(dir + "Kelvane.ini");
  const rlim_t limit = 200;
  ASSERT_GT(settings.size(), limit);
  GameRun limited = RunGame(dir, limit);
  EXPECT_EQ(limited.signal, 0) << "killed by signal " << limited.signal;
  EXPECT_NE(test::ReadAll(dir + "err.txt").find("kelvane: Cannot write to " + dir + "Kelvane.ini\n"),
            std::string::npos)
      << test::ReadAll(dir + "err.txt");
  EXPECT_EQ(test::ReadAll(dir + "Kelvane.ini"), settings);
  for (const auto& e : fs::directory_iterator(dir))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

// An installed game that cannot make its settings folder names the file the
// write went to, not the installed data's name for it, in the run's language.
TEST(FileSafety, AFailedWriteOfAnInstalledGameNamesThePlayersFileInTheRunsLanguage) {
  const std::string root = test::MakeTempDir("installed_write");
  test::WriteAll(root + "blocked", "a file where the folder would be made");
  const FilePlaces places{test::GameDir(), root + "blocked/kelvane/", root + "share/kelvane/",
                          root + "cache/kelvane/", ""};
  const std::string file = places.settings + "Kelvane.ini";
  for (const std::string language : {"en", "ja"}) {
    Options o;
    o.headless = true;
    o.seed = 1;
    o.runMs = 300;
    o.lang = language;
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunHeadless(o, places), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(language == "en" ? "kelvane: Cannot write to " + file + "\n"
                                        : "kelvane: " + file + " に書き込めません\n"),
              std::string::npos)
        << err;
  }
  // Without --lang the locale decides, the messages' part of it first.
  auto in = [](std::map<std::string, std::string> vars) {
    return RunLanguage("", [vars = std::move(vars)](const char* name) -> const char* {
      auto it = vars.find(name);
      return it == vars.end() ? nullptr : it->second.c_str();
    });
  };
  EXPECT_EQ(in({}), "en");
  EXPECT_EQ(in({{"LANG", "ja_JP.UTF-8"}}), "ja");
  EXPECT_EQ(in({{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", "C"}}), "en");
  EXPECT_EQ(in({{"LANG", "en_US.UTF-8"}, {"LC_MESSAGES", "ja_JP.eucJP"}}), "ja");
  EXPECT_EQ(in({{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja:en"}}), "ja");
  EXPECT_EQ(in({{"LANG", "C"}, {"LANGUAGE", "ja"}}), "en");
  EXPECT_EQ(in({{"LANG", "japanese"}}), "en");
}

TEST(FileSafety, APictureBombAsTheMainPictureIsRefusedCheaply) {
  const std::string dir = test::MakeDataCopy("bomb_start");
  // A header claiming 16384 x 16384 in RLE8 and 1 kB of runs.
  std::string bomb = "BM";
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bomb.push_back(static_cast<char>((v >> (8 * i)) & 255));
  };
  put32(1078 + 1024), put32(0), put32(1078), put32(40), put32(16384), put32(16384);
  bomb += std::string("\x01\x00\x08\x00", 4);
  put32(1), put32(1024), put32(0), put32(0), put32(256), put32(0);
  bomb += std::string(1024, '\x40');
  for (int i = 0; i < 512; ++i) bomb += std::string("\xFF\x07", 2);
  fs::remove(dir + "Y_.bmp");
  test::WriteAll(dir + "Y_.bmp", bomb);
  GameRun r = RunGame(dir, 0);
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(test::ReadAll(dir + "err.txt").find("Y_.bmp: the picture is too large"),
            std::string::npos)
      << test::ReadAll(dir + "err.txt");
  // The whole start, sheets and all, stays far below what decoding the
  // claimed picture would take (1.3 GB).
  EXPECT_LT(r.peakKb, 300 * 1024);
}

}  // namespace
}  // namespace kelvane
