// Runs the windowed program through the real Qt host in a child process
// (gtest's threadsafe death tests start the test binary afresh): answers the
// startup dialog with OK, then calls `drive` every 50 ms with the scene and
// sub-step of the last traced frame, so a test can act on what the game does.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/options.h"
#include "platform/qt/qt_host.h"
#include "tests/test_support.h"

namespace kelvane::child {

inline constexpr int kHung = 5;
inline constexpr int kTooSlow = 6;
inline constexpr int kNoDialog = 7;
inline constexpr int kCheckFailed = 8;

// ---- Inside the child process ----

inline std::string childDir;
inline std::string traceFile;
// Runs every 50 ms once the game window is up; gets the last traced frame.
inline std::function<void(QWidget* window, int scene, int sub)> drive;
// What becomes of a message box (the failed start): answered, as a user would.
inline std::function<void(QMessageBox*)> onBox = [](QMessageBox* box) { box->accept(); };
// A run longer than this counts as hung.
inline int hungAfterMs = 60000;

// The process must end by itself from now on. The deadline only catches a
// hang: a quit takes well under a second, but a busy machine may hold it up
// for seconds, which is no fault of the program's.
inline void ArmExitDeadline() {
  static bool armed = false;
  if (armed) return;
  armed = true;
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::seconds(30));
    std::_Exit(kTooSlow);
  }).detach();
}

// The game's own window: not a dialog, and not the coach beside it.
inline QWidget* GameWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (!qobject_cast<QDialog*>(w) && w->isVisible() && w->objectName() != "keyFM" &&
        w->objectName() != "coach")
      return w;
  return nullptr;
}

inline void Tap(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent down(QEvent::KeyPress, key, mods);
  QApplication::sendEvent(w, &down);
  QKeyEvent up(QEvent::KeyRelease, key, mods);
  QApplication::sendEvent(w, &up);
}

// A number of a traced line (name with its quotes and colon, as
// "\"scene\":"), searched from at; -1 when missing.
inline int TraceField(const std::string& text, const char* name, size_t at = 0) {
  size_t p = text.find(name, at);
  return p == std::string::npos ? -1 : std::atoi(text.c_str() + p + std::strlen(name));
}

// The scene and sub-step of the last frame in the trace, or -1.
inline std::pair<int, int> LastFrame() {
  std::string text = test::ReadAll(traceFile);
  size_t at = text.rfind("\"ev\":\"frame\"");
  if (at == std::string::npos) return {-1, -1};
  return {TraceField(text, "\"scene\":", at), TraceField(text, "\"sub\":", at)};
}

inline void StartDriving() {
  // A program that never ends fails the test instead of stalling the run.
  QTimer::singleShot(hungAfterMs, [] { std::_Exit(kHung); });
  QTimer::singleShot(300, [] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) std::_Exit(kNoDialog);
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        onBox(box);
        return;
      }
      if (QWidget* w = GameWindow()) {
        auto [scene, sub] = LastFrame();
        drive(w, scene, sub);
      }
    });
    poll->start(50);
    dialog->findChild<QPushButton*>("Button1")->click();
  });
}

inline int RunProgram(Options o) {
  qAddPreRoutine(StartDriving);
  o.seed = 11;
  o.traceFile = traceFile;
  static char name[] = "kelvane";
  static char* argv[] = {name, nullptr};
  return RunQtProgram(o, childDir, 1, argv);
}

// Sets up the folder the child runs in: in the test process a fresh copy of
// the game data (when withData) with the given settings; the child finds the
// same folder through the environment.
inline void Prepare(const char* tag, const std::string& settings, bool withData = true) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  if (const char* known = std::getenv("KELVANE_CHILD_TEST_DIR")) {
    childDir = known;
  } else {
    childDir = test::MakeTempDir(tag);
    setenv("KELVANE_CHILD_TEST_DIR", childDir.c_str(), 1);
    if (withData)
      std::filesystem::copy(test::GameDir(), childDir,
                            std::filesystem::copy_options::recursive |
                                std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(childDir + "Kelvane.ini");
    test::WriteAll(childDir + "Kelvane.ini", "[Kelvane]\n" + settings);
  }
  traceFile = childDir + "trace.jsonl";
}

// In the test process, after the child: forget the folder.
inline void Finish() {
  unsetenv("KELVANE_CHILD_TEST_DIR");
}

}  // namespace kelvane::child
