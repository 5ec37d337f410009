#include "platform/qt/coach_window.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "coach/how_to.h"

namespace kelvane {
namespace {

constexpr int kRefreshMs = 100;
constexpr int kWidth = 300;

QString Lines(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& l : lines) out << QString::fromStdString(l);
  return out.join('\n');
}

QLabel* Section(QVBoxLayout* layout, const char* heading, QWidget* parent,
               QLabel** titleOut = nullptr) {
  auto* title = new QLabel(QCoreApplication::translate("Coach", heading), parent);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  layout->addWidget(title);
  if (titleOut) *titleOut = title;
  auto* body = new QLabel(parent);
  body->setWordWrap(true);
  body->setTextFormat(Qt::PlainText);
  body->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addWidget(body);
  return body;
}

}  // namespace

std::string QtTranslate(const char* context, const char* source) {
  return QCoreApplication::translate(context, source).toStdString();
}

HowToDialog::HowToDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("howTo");
  const HowTo h = MakeHowTo(QtTranslate);
  setWindowTitle(QString::fromStdString(h.title));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(QString::fromStdString(HowToHtml(h)), this);
  text->setTextFormat(Qt::RichText);
  text->setWordWrap(true);
  text->setMinimumWidth(460);
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QString::fromStdString(h.close), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

CoachWindow::CoachWindow(Game& g, CoachState& coach, QWidget* keyTarget)
    : QWidget(keyTarget, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                             Qt::WindowCloseButtonHint),
      g_(g),
      coach_(coach),
      keyTarget_(keyTarget) {
  setObjectName("coach");
  setWindowTitle(QCoreApplication::translate("Coach", "Coach"));
  // Showing the coach never takes the keys from the game window.
  setAttribute(Qt::WA_ShowWithoutActivating);
  auto* layout = new QVBoxLayout(this);
  prompt_ = Section(layout, QT_TRANSLATE_NOOP("Coach", "Now"), this);
  QFont large = prompt_->font();
  large.setPointSizeF(large.pointSizeF() * 1.2);
  prompt_->setFont(large);
  moves_ = Section(layout, QT_TRANSLATE_NOOP("Coach", "Last moves"), this);
  summary_ = Section(layout, QT_TRANSLATE_NOOP("Coach", "This match"), this, &summaryTitle_);
  best_ = new QLabel(this);
  best_->setWordWrap(true);
  layout->addWidget(best_);
  layout->addStretch(1);
  auto* howTo = new QPushButton(QCoreApplication::translate("Coach", "How to play"), this);
  howTo->setFocusPolicy(Qt::NoFocus);
  connect(howTo, &QPushButton::clicked, this, [this] {
    HowToDialog dialog(this);
    dialog.exec();
    if (keyTarget_) keyTarget_->activateWindow();
  });
  layout->addWidget(howTo);
  auto* hint = new QLabel(QCoreApplication::translate("Coach", "F2 shows or hides the coach"), this);
  hint->setEnabled(false);
  layout->addWidget(hint);
  resize(kWidth, 420);
  refresh_.setInterval(kRefreshMs);
  connect(&refresh_, &QTimer::timeout, this, [this] {
    if (isVisible()) Refresh();
  });
  refresh_.start();
  Refresh();
}

void CoachWindow::Refresh() {
  CoachPanel p = coach_.Render(g_, QtTranslate);
  if (!first_ && p == shown_) return;
  first_ = false;
  shown_ = std::move(p);
  prompt_->setText(QString::fromStdString(shown_.prompt));
  moves_->setText(shown_.moves.empty() ? QCoreApplication::translate("Coach", "No moves yet")
                                       : Lines(shown_.moves));
  summary_->setText(Lines(shown_.summary));
  summary_->setVisible(!shown_.summary.empty());
  summaryTitle_->setVisible(!shown_.summary.empty());
  best_->setText(QString::fromStdString(shown_.best));
}

void CoachWindow::PlaceBeside(const QWidget* main) {
  const QRect frame = main->frameGeometry();
  QPoint at(frame.right() + 8, frame.top());
  if (QScreen* s = main->screen() ? main->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = s->availableGeometry();
    if (at.x() + width() > area.right()) at.setX(std::max(area.left(), frame.left() - width() - 8));
  }
  move(at);
}

void CoachWindow::closeEvent(QCloseEvent* e) {
  QWidget::closeEvent(e);
  if (closed) closed();
}

void CoachWindow::keyPressEvent(QKeyEvent* e) {
  if (keyTarget_) QCoreApplication::sendEvent(keyTarget_, e);
}

void CoachWindow::keyReleaseEvent(QKeyEvent* e) {
  if (keyTarget_) QCoreApplication::sendEvent(keyTarget_, e);
}

}  // namespace kelvane
