// The command list window TkeyFM: a tool window whose ListView1 shows the
// game's command list through a table model. Its keys, its middle button
// and (unless the list has the focus) its wheel go to the game.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>
#include <QWidget>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace kelvane {

struct Game;

// The rows of the game's command list, in the order of its last sort.
class CommandListModel : public QAbstractTableModel {
 public:
  explicit CommandListModel(Game& g) : g_(g) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // The game has sorted or filled its rows anew.
  void Refresh();

 private:
  Game& g_;
};

class TkeyFM : public QWidget {
 public:
  // noteKey keeps the asynchronous key state; toMainClient maps a screen
  // position to the main window's client coordinates. Owned by the main
  // window, it closes with it.
  TkeyFM(Game& g, QWidget* mainWindow, std::function<void(int vk, bool down)> noteKey,
         std::function<Point(QPointF screen)> toMainClient);

  // FormCreate: size, place and fill.
  void Create();
  // The game's caption for the window (Shift-JIS), in the window language.
  void SetCaption(const std::string& sjisText);

  QTreeView* ListView1 = nullptr;
  CommandListModel* model() { return &model_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  bool KeyDown(QKeyEvent* e);
  void KeyUp(QKeyEvent* e);
  bool Wheel(QWheelEvent* e);
  bool ListMouse(QEvent* event);
  void ColumnClick(int section);
  void ShowSortIndicator();

  Game& g_;
  CommandListModel model_;
  std::function<void(int, bool)> noteKey_;
  std::function<Point(QPointF)> toMainClient_;
};

}  // namespace kelvane
