// The window's --trace shows what the headless one does: the tune's open,
// play, stop and close, caption changes, and keys typed into the command
// list as well as the game window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/qt/program_child.h"

namespace kelvane {
namespace {

using namespace child;

constexpr int kDemoPlay = 255;

// The command list once it is up, or the game window.
QWidget* Window(bool commandList) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if ((w->objectName() == "keyFM") == commandList && w->objectName() != "coach" &&
        !qobject_cast<QDialog*>(w) && w->isVisible())
      return w;
  return nullptr;
}

// Lines of the trace that hold all of the given parts, in order of the file.
std::vector<std::string> Lines(const std::string& trace, std::vector<std::string> parts) {
  std::vector<std::string> found;
  size_t at = 0;
  while (at < trace.size()) {
    size_t end = trace.find('\n', at);
    if (end == std::string::npos) end = trace.size();
    const std::string line = trace.substr(at, end - at);
    if (std::all_of(parts.begin(), parts.end(),
                    [&](const std::string& p) { return line.find(p) != std::string::npos; }))
      found.push_back(line);
    at = end + 1;
  }
  return found;
}

TEST(ProgramTraceTest, TheWindowTracesMusicCaptionsAndCommandListKeys) {
  Prepare("trace-window", "c_max=0\nename=trace\n");
  EXPECT_EXIT(
      {
        // Without an audio device a tune is still opened, timed and traced,
        // whether or not a soundfont is installed.
        setenv("SDL_AUDIODRIVER", "kelvane-no-such-driver", 1);
        drive = [](QWidget*, int scene, int) {
          static int step = 0;
          QWidget* game = Window(false);
          if (step == 0 && scene == kDemoPlay && game) {
            Tap(game, Qt::Key_F1);  // the command list comes up
            if (QWidget* list = Window(true)) Tap(list, Qt::Key_Down);
            Tap(game, Qt::Key_Return);  // ends the demonstration and its tune
            step = 1;
          } else if (step == 1 && scene != kDemoPlay && scene != 254 && game) {
            ArmExitDeadline();
            game->close();
            step = 2;
          }
        };
        std::exit(RunProgram({}));
      },
      ::testing::ExitedWithCode(0), "");
  const std::string trace = test::ReadAll(traceFile);
  Finish();

  const auto open = Lines(trace, {"\"ev\":\"music\"", "\"op\":\"open\"", ".mid\"", "\"length\":"});
  const auto play = Lines(trace, {"\"ev\":\"music\"", "\"op\":\"play\""});
  const auto stop = Lines(trace, {"\"ev\":\"music\"", "\"op\":\"stop\""});
  const auto close = Lines(trace, {"\"ev\":\"music\"", "\"op\":\"close\""});
  ASSERT_FALSE(open.empty()) << trace.substr(0, 2000);
  ASSERT_FALSE(play.empty());
  ASSERT_FALSE(stop.empty());
  ASSERT_FALSE(close.empty());
  // The demonstration's tune: opened, played, then stopped by Return and closed.
  EXPECT_LT(trace.find(open[0]), trace.find(play[0]));
  EXPECT_LT(trace.find(play[0]), trace.find(stop[0]));
  EXPECT_LT(trace.find(stop[0]), trace.find(close[0]));
  EXPECT_FALSE(Lines(trace, {"\"ev\":\"caption\"", "\"text\":\"Kelvane\""}).empty());
  EXPECT_EQ(Lines(trace, {"\"ev\":\"key\",\"op\":\"down\",\"vk\":40,\"form\":\"keyFM\""}).size(), 1u);
  EXPECT_EQ(Lines(trace, {"\"ev\":\"key\",\"op\":\"up\",\"vk\":40,\"form\":\"keyFM\""}).size(), 1u);
  EXPECT_EQ(Lines(trace, {"\"ev\":\"key\",\"op\":\"down\",\"vk\":13}"}).size(), 1u);
}

}  // namespace
}  // namespace kelvane
