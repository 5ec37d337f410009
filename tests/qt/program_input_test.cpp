// The real program on the offscreen platform, in a fresh process: files
// dropped from a file manager onto the game window, and F1 bringing up the
// command list, whose rows are the move list's commands and which sorts by
// a click on a column.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "actiondata/action_data.h"
#include "actiondata/action_file.h"
#include "actiondata/load_group.h"
#include "app/options.h"
#include "gameplay/command_list_items.h"
#include "platform/qt/qt_host.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

constexpr int kHung = 5;
constexpr int kLoadedAfterMs = 3000;

std::string folder;

QWidget* TopLevel(bool commandList) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    const bool isList = w->objectName() == "keyFM";
    // The coach stands beside the game's window; keys go to the game's own.
    if (w->objectName() == "coach") continue;
    if (isList == commandList && !qobject_cast<QDialog*>(w) && (isList || w->isVisible())) return w;
  }
  return nullptr;
}

// What the child saw, one "key=value" a line, for the parent to check.
void Note(const std::string& line) {
  std::ofstream(folder + "seen.txt", std::ios::app) << line << "\n";
}

void DropOnto(QWidget* target) {
  auto mime = std::make_unique<QMimeData>();
  mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(folder + "Z03.mid")),
                 QUrl::fromLocalFile(QString::fromStdString(folder + "notes.txt"))});
  const QPointF at(100, 100);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, mime.get(), Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(at, Qt::CopyAction, mime.get(), Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  Note("enter=" + std::to_string(enter.isAccepted()));
  Note("drop=" + std::to_string(drop.isAccepted()));
}

// A busy machine may start the game late: the window and the list are
// waited for, not assumed after a fixed time (the 40 s deadline still holds).
constexpr int kRetryMs = 200;

void LookAtTheList() {
  static bool dropped = false;
  QWidget* main = TopLevel(false);
  if (!main) {
    QTimer::singleShot(kRetryMs, LookAtTheList);
    return;
  }
  if (!dropped) DropOnto(main);
  dropped = true;
  QTest::keyClick(main, Qt::Key_F1);
  QWidget* list = TopLevel(true);
  if (!list || !list->isVisible()) {
    QTimer::singleShot(kRetryMs, LookAtTheList);
    return;
  }
  Note("visible=" + std::to_string(list->isVisible()));
  Note("title=" + list->windowTitle().toStdString());
  auto* view = list->findChild<QTreeView*>("ListView1");
  QAbstractItemModel* model = view->model();
  Note("rows=" + std::to_string(model->rowCount()));
  QHeaderView* header = view->header();
  const QPoint score(header->sectionViewportPosition(5) + header->sectionSize(5) / 2,
                     header->height() / 2);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, score);
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, score);
  std::string scores;
  for (int row = 0; row < model->rowCount(); ++row)
    scores += std::to_string(model->index(row, 5).data().toString().trimmed().toInt()) + " ";
  Note("scores=" + scores);
  main->close();
}

void AnswerWhenShown() {
  auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
  if (!dialog) {
    QTimer::singleShot(kRetryMs, AnswerWhenShown);
    return;
  }
  dialog->findChild<QPushButton*>("Button1")->click();
  QTimer::singleShot(kLoadedAfterMs, LookAtTheList);
}

void AnswerTheDialog() {
  QTimer::singleShot(40000, [] { std::_Exit(kHung); });
  QTimer::singleShot(300, AnswerWhenShown);
}

int RunChild() {
  qAddPreRoutine(AnswerTheDialog);
  Options o;
  o.lang = "en";
  o.seed = 5;
  static char name[] = "kelvane";
  static char* argv[] = {name, nullptr};
  return RunQtProgram(o, folder, 1, argv);
}

std::map<std::string, std::string> Seen() {
  std::map<std::string, std::string> seen;
  std::istringstream in(test::ReadAll(folder + "seen.txt"));
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) seen[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return seen;
}

TEST(ProgramInputTest, DroppedFilesAndTheCommandListInTheRealWindow) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* known = std::getenv("KELVANE_INPUT_TEST_DIR");
  if (known) {
    folder = known;
  } else {
    folder = test::MakeTempDir("program-input");
    std::filesystem::copy(test::GameDir(), folder, std::filesystem::copy_options::recursive);
    std::filesystem::remove(folder + "Kelvane.ini");
    setenv("KELVANE_INPUT_TEST_DIR", folder.c_str(), 1);
  }
  EXPECT_EXIT(std::exit(RunChild()), ::testing::ExitedWithCode(0), "");
  unsetenv("KELVANE_INPUT_TEST_DIR");

  std::map<std::string, std::string> seen = Seen();
  EXPECT_EQ(seen["enter"], "1");
  EXPECT_EQ(seen["drop"], "1");
  EXPECT_EQ(seen["visible"], "1");
  // The game's caption in the window language (English here).
  EXPECT_EQ(seen["title"], "COMMAND LIST (direction←)");
  auto actions = std::make_unique<ActionData>();
  std::string error;
  ASSERT_TRUE(
      ParseActionText(*actions, test::ReadAll(folder + ActionFileName("act")), "Z_ac.txt", &error));
  for (int group = 0; group < ActionData::kGroupCapacity; ++group)
    MapGroupCommands(*actions, group);
  const size_t listed = CommandListItems(*actions).size();
  ASSERT_GT(listed, 0u);
  EXPECT_EQ(seen["rows"], std::to_string(listed));
  std::istringstream scores(seen["scores"]);
  std::vector<int> values;
  for (int v; scores >> v;) values.push_back(v);
  ASSERT_EQ(values.size(), listed);
  EXPECT_TRUE(std::is_sorted(values.rbegin(), values.rend()));
  EXPECT_NE(values.front(), values.back());
}

}  // namespace
}  // namespace kelvane
