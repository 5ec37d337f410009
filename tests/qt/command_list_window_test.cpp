// The command list window with real widgets on the offscreen platform: its
// rows over the default move list, the column sort, the fonts' glyphs, and
// the keys, buttons and wheel it hands to the game.
#include "platform/qt/command_list_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTest>
#include <QWheelEvent>

#include "actiondata/action_file.h"
#include "actiondata/command_list_window.h"
#include "actiondata/load_group.h"
#include "gameplay/command_list_items.h"
#include "platform/core/text_codec.h"
#include "platform/qt/language.h"
#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

void EnsureApp() {
  static int argc = 1;
  static char name[] = "kelvane_qt_tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

class CommandListWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApp();
    std::string error;
    const std::string text = test::ReadAll(test::GameDir() + ActionFileName("act"));
    ASSERT_TRUE(ParseActionText(g.actions, text, "Z_ac.txt", &error)) << error;
    for (int group = 0; group < ActionData::kGroupCapacity; ++group)
      MapGroupCommands(g.actions, group);
    t.fakes.window.SetClientSize(FormId::keyFM, kCommandListSize);
    form = std::make_unique<TkeyFM>(
        g, nullptr,
        [this](int vk, bool down) { t.fakes.keys.down[static_cast<size_t>(vk)] = down; },
        [](QPointF screen) {
          return Point{static_cast<int>(screen.x()), static_cast<int>(screen.y())};
        });
    form->Create();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    list = form->ListView1;
  }

  QString Cell(int row, int column) { return list->model()->index(row, column).data().toString(); }
  // The header's centre of a column, where a click lands on it.
  QPoint HeaderPoint(int column) {
    QHeaderView* h = list->header();
    return {h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2};
  }
  void EnterScene(int8_t scene, int16_t sub) {
    g.st.sceneCode = scene;
    ResetSceneCounters(g.st);
    g.st.subStep() = sub;
  }
  void Wheel(QWidget* target, int delta) {
    const QPointF at(10, 10);
    QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &e);
  }

  test::TestGame t{test::GameDir()};
  Game& g = t.game;
  std::unique_ptr<TkeyFM> form;
  QTreeView* list = nullptr;
};

TEST_F(CommandListWindowTest, RowsAreTheListedCommandsOfTheMoveList) {
  EXPECT_EQ(form->windowTitle().toStdString(), "COMAND LIST (direction←)");
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::Tool));
  const std::vector<CommandListItem> items = CommandListItems(g.actions);
  ASSERT_GT(items.size(), 10u);
  ASSERT_EQ(list->model()->rowCount(), static_cast<int>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) {
    const int row = static_cast<int>(i);
    EXPECT_EQ(Cell(row, 1).toStdString(), SjisToUtf8(CommandGlyphs(items[i].code))) << i;
    EXPECT_EQ(Cell(row, 0).trimmed().toInt(), row + 1);
  }
  const char* captions[] = {"No.",   "Command", "Landig", "Action Name",
                            "First", "Score",   "Bn",     "Fall"};
  const int widths[] = {33, 80, 48, 220, 44, 44, 30, 44};
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(list->model()->headerData(c, Qt::Horizontal).toString().toStdString(), captions[c]);
    EXPECT_EQ(list->header()->sectionSize(c), widths[c]);
  }
}

// The game's caption call goes through the window's language: English
// mends the spelling, Japanese keeps the game's own texts.
TEST_F(CommandListWindowTest, CaptionAndColumnsAreInTheWindowLanguage) {
  const struct {
    const char* language;
    const char* caption;
    const char* landing;
  } expected[] = {{"en", "COMMAND LIST (direction←)", "Landing"},
                  {"ja", "COMAND LIST (direction←)", "Landig"}};
  for (const auto& e : expected) {
    ASSERT_TRUE(InstallLanguage(e.language));
    form->SetCaption(CommandListCaption());
    EXPECT_EQ(form->windowTitle().toStdString(), e.caption);
    EXPECT_EQ(list->model()->headerData(2, Qt::Horizontal).toString().toStdString(), e.landing);
  }
}

TEST_F(CommandListWindowTest, TheListFontsHaveTheGlyphs) {
  const QFontMetrics metrics(list->font());
  for (const char* glyph : {"↑", "←", "↓", "→", "Ｙ", "Ｎ", "＊", "　", "（", "）"})
    EXPECT_TRUE(metrics.inFont(QString::fromUtf8(glyph).at(0)))
        << glyph << " in " << list->font().family().toStdString();
}

TEST_F(CommandListWindowTest, ClickingScoreTwiceSortsByScoreDescending) {
  QWidget* header = list->header()->viewport();
  QTest::mouseClick(header, Qt::LeftButton, Qt::NoModifier, HeaderPoint(5));
  QTest::mouseClick(header, Qt::LeftButton, Qt::NoModifier, HeaderPoint(5));
  EXPECT_EQ(g.keyList.sortKey, -6);
  EXPECT_EQ(list->header()->sortIndicatorSection(), 5);
  EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
  int previous = 1 << 30;
  bool varied = false;
  for (int row = 0; row < list->model()->rowCount(); ++row) {
    const int score = Cell(row, 5).trimmed().toInt();
    EXPECT_LE(score, previous) << "row " << row;
    varied |= row > 0 && score != previous;
    previous = score;
  }
  EXPECT_TRUE(varied);
}

TEST_F(CommandListWindowTest, KeysGoToTheGameAndNeverMoveTheList) {
  EnterScene(scene::kModeMenu, 40);
  list->setFocus();
  list->setCurrentIndex(list->model()->index(0, 0));
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentIndex().row(), 0);
  EXPECT_EQ(g.st.subStep(), 25);  // the menu's pose key
  EnterScene(scene::kModeMenu, 40);
  QTest::keyClick(list, Qt::Key_Y);  // a letter: the menu confirms
  EXPECT_EQ(g.st.subStep(), 100);
  EXPECT_EQ(list->currentIndex().row(), 0);
}

TEST_F(CommandListWindowTest, TypedCharactersSearchTheListOnlyWhileHalted) {
  // Type-ahead search works in the current column: the action names.
  constexpr int kName = 3;
  list->setFocus();
  list->setCurrentIndex(list->model()->index(0, kName));
  const QString firstName = Cell(0, kName).trimmed();
  const QChar first = firstName.isEmpty() ? QChar() : firstName.at(0).toLower();
  // The first row whose name starts with another letter, one no game key
  // uses.
  int target = -1;
  QChar letter;
  for (int row = 1; row < list->model()->rowCount() && target < 0; ++row) {
    const QString name = Cell(row, kName).trimmed();
    if (name.isEmpty()) continue;
    const QChar c = name.at(0).toLower();
    if (c < QChar('a') || c > QChar('z')) continue;
    if (c != first && c != 'y' && c != 'n' && c != 'c') {
      target = row;
      letter = c;
    }
  }
  ASSERT_GE(target, 0);
  const char key = letter.toLatin1();
  QTest::keyClick(list, key);
  EXPECT_EQ(list->currentIndex().row(), 0) << "typing moved the list while the game runs";
  g.st.halted = 1;
  QTest::keyClick(list, key);
  EXPECT_EQ(list->currentIndex().row(), target);
  g.st.halted = 0;
}

TEST_F(CommandListWindowTest, EscapeHidesTheWindow) {
  HeadlessWindow& w = t.fakes.window;
  w.SetVisible(FormId::keyFM, true);
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_FALSE(w.At(FormId::keyFM).visible);
}

TEST_F(CommandListWindowTest, TheWheelReachesTheGameUntilTheListHasFocus) {
  EnterScene(scene::kStageStart1, 100);
  g.st.mouseLevel = 2;
  form->setFocus();
  ASSERT_FALSE(list->hasFocus());
  Wheel(list->viewport(), 120);
  EXPECT_EQ(g.cmd.commandCode, 1000);  // Up
  list->setFocus();
  ASSERT_TRUE(list->hasFocus());
  t.fakes.clock.now = 2000;
  Wheel(list->viewport(), 120);
  EXPECT_EQ(g.cmd.commandCode, 1000);  // the list scrolls instead
  EXPECT_EQ(g.st.lastInputTick, 2000u);
}

TEST_F(CommandListWindowTest, MiddleButtonIsSpaceRightButtonTakesTheFocusAway) {
  EnterScene(scene::kModeMenu, 40);
  QTest::mouseClick(list->viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(20, 5));
  EXPECT_EQ(g.st.subStep(), 100);
  list->setFocus();
  ASSERT_TRUE(list->hasFocus());
  QTest::mouseClick(list->viewport(), Qt::RightButton, Qt::NoModifier, QPoint(20, 5));
  EXPECT_FALSE(list->hasFocus());
}

}  // namespace
}  // namespace kelvane
