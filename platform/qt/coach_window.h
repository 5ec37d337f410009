// The coach beside the game window: a tool window like the command list,
// showing what to press now, the last judged moves and, at the result, each
// turn's breakdown. Keys typed into it go on to the game window. The how-to
// is a dialog of its own, opened from here and at a first start.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

#include "coach/coach_state.h"

namespace kelvane {

struct Game;

// The desktop's translation of the core's texts.
std::string QtTranslate(const char* context, const char* source);

class HowToDialog : public QDialog {
 public:
  explicit HowToDialog(QWidget* parent);
};

class CoachWindow : public QWidget {
 public:
  // keyTarget receives the keys typed into the coach (the game window).
  CoachWindow(Game& g, CoachState& coach, QWidget* keyTarget);

  // Reads the panel from the coach and shows what changed.
  void Refresh();
  // Beside the game window, on its right where the screen has room.
  void PlaceBeside(const QWidget* main);
  const CoachPanel& shown() const { return shown_; }
  std::function<void()> closed;  // the close box was used

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;

 private:
  Game& g_;
  CoachState& coach_;
  QWidget* keyTarget_;
  QLabel* prompt_;
  QLabel* moves_;
  QLabel* summary_;
  QLabel* summaryTitle_;
  QLabel* best_;
  QTimer refresh_;
  CoachPanel shown_;
  bool first_ = true;
};

}  // namespace kelvane
