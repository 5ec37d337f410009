#include "platform/qt/command_list_window.h"

#include <QCoreApplication>

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "actiondata/command_list_window.h"
#include "app/game.h"
#include "platform/core/text_codec.h"
#include "platform/qt/vk_map.h"

namespace kelvane {
namespace {

ShiftState ShiftOf(Qt::KeyboardModifiers m) {
  return {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::AltModifier)};
}

// The fonts the list was drawn with, then the Japanese fonts of this
// system that have the arrows and the full-width letters.
QFont GothicFont(const QStringList& families) {
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(12);
  return font;
}

bool ButtonOf(Qt::MouseButton b, MouseButton& out) {
  switch (b) {
    case Qt::LeftButton:
      out = MouseButton::Left;
      return true;
    case Qt::RightButton:
      out = MouseButton::Right;
      return true;
    case Qt::MiddleButton:
      out = MouseButton::Middle;
      return true;
    default:
      return false;
  }
}

}  // namespace

int CommandListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(g_.keyList.rows.size());
}

int CommandListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : CommandListRow::kColumns;
}

QVariant CommandListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  const CommandListRow& row = g_.keyList.rows[static_cast<size_t>(index.row())];
  return QString::fromStdString(SjisToUtf8(row.texts[static_cast<size_t>(index.column())]));
}

QVariant CommandListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= CommandListRow::kColumns)
    return {};
  return QCoreApplication::translate("TkeyFM", kCommandListColumns[static_cast<size_t>(section)].caption);
}

void CommandListModel::Refresh() {
  beginResetModel();
  endResetModel();
}

TkeyFM::TkeyFM(Game& g, QWidget* mainWindow, std::function<void(int, bool)> noteKey,
               std::function<Point(QPointF)> toMainClient)
    : QWidget(mainWindow, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      g_(g),
      model_(g),
      noteKey_(std::move(noteKey)),
      toMainClient_(std::move(toMainClient)) {
  setObjectName("keyFM");
  SetCaption(CommandListCaption());
  setFont(GothicFont({"MS PGothic", "IPAPGothic", "IPAGothic"}));
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);
  setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);

  ListView1 = new QTreeView(this);
  ListView1->setObjectName("ListView1");
  ListView1->setFont(GothicFont({"MS Gothic", "IPAGothic"}));
  ListView1->setModel(&model_);
  ListView1->setRootIsDecorated(false);
  ListView1->setItemsExpandable(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setAllColumnsShowFocus(true);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->setFrameShape(QFrame::NoFrame);
  ListView1->setSortingEnabled(false);
  ListView1->viewport()->setMouseTracking(true);
  QHeaderView* header = ListView1->header();
  header->setSectionsClickable(true);
  header->setStretchLastSection(false);
  header->setSortIndicatorShown(true);
  for (int c = 0; c < CommandListRow::kColumns; ++c)
    header->resizeSection(c, kCommandListColumns[static_cast<size_t>(c)].width);
  connect(header, &QHeaderView::sectionClicked, this,
          [this](int section) { ColumnClick(section); });
  ListView1->installEventFilter(this);
  ListView1->viewport()->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(ListView1);
  resize(kCommandListSize.w, kCommandListSize.h);
}

void TkeyFM::Create() {
  KeyFormCreate(g_);
  model_.Refresh();
  ShowSortIndicator();
}

void TkeyFM::SetCaption(const std::string& sjisText) {
  setWindowTitle(QCoreApplication::translate("TkeyFM", SjisToUtf8(sjisText).c_str()));
}

void TkeyFM::ColumnClick(int section) {
  ListView1ColumnClick(g_, section + 1);
  model_.Refresh();
  ShowSortIndicator();
}

void TkeyFM::ShowSortIndicator() {
  const int k = g_.keyList.sortKey;
  ListView1->header()->setSortIndicator(std::abs(k) - 1,
                                        k < 0 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool TkeyFM::KeyDown(QKeyEvent* e) {
  const int vk = QtKeyToVk(e->key(), e->modifiers().testFlag(Qt::KeypadModifier));
  // Typing reaches the list only while the program is halted; otherwise
  // keys the game has no code for are swallowed too.
  const bool typed = !e->text().isEmpty() && e->text().at(0).isPrint();
  const bool listTypes = typed && KeyFormTypingReachesList(g_);
  if (vk == 0) return !listTypes;
  noteKey_(vk, true);
  const bool windowKey = KeyFormKeyDown(g_, vk, ShiftOf(e->modifiers()));
  return !(windowKey || listTypes);
}

void TkeyFM::KeyUp(QKeyEvent* e) {
  const int vk = QtKeyToVk(e->key(), e->modifiers().testFlag(Qt::KeypadModifier));
  if (vk == 0) return;
  noteKey_(vk, false);
  if (!e->isAutoRepeat()) KeyFormKeyUp(g_, vk, ShiftOf(e->modifiers()));
}

bool TkeyFM::Wheel(QWheelEvent* e) {
  if (e->angleDelta().y() == 0) return false;
  const bool scrollList =
      KeyFormMouseWheel(g_, e->angleDelta().y() > 0, ListView1->hasFocus(), ShiftOf(e->modifiers()),
                        toMainClient_(e->globalPosition()));
  return !scrollList;
}

bool TkeyFM::ListMouse(QEvent* event) {
  auto* e = static_cast<QMouseEvent*>(event);
  const ShiftState shift = ShiftOf(e->modifiers());
  MouseButton button;
  if (event->type() == QEvent::MouseMove) {
    ListView1MouseMove(g_);
  } else if (event->type() == QEvent::MouseButtonPress && ButtonOf(e->button(), button)) {
    ListView1MouseDown(g_, button, shift);
  } else if (event->type() == QEvent::MouseButtonRelease && ButtonOf(e->button(), button)) {
    if (ListView1MouseUp(g_, button, shift) && ListView1->hasFocus()) {
      // The focus goes to the window, so the wheel reaches the game again.
      setFocus(Qt::MouseFocusReason);
    }
  }
  return false;
}

bool TkeyFM::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      return KeyDown(static_cast<QKeyEvent*>(event));
    case QEvent::KeyRelease:
      KeyUp(static_cast<QKeyEvent*>(event));
      return true;
    case QEvent::Wheel:
      return Wheel(static_cast<QWheelEvent*>(event));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
      if (watched == ListView1->viewport()) return ListMouse(event);
      return false;
    default:
      return QWidget::eventFilter(watched, event);
  }
}

void TkeyFM::keyPressEvent(QKeyEvent* e) {
  if (!KeyDown(e)) QWidget::keyPressEvent(e);
}

void TkeyFM::keyReleaseEvent(QKeyEvent* e) {
  KeyUp(e);
}

void TkeyFM::wheelEvent(QWheelEvent* e) {
  if (!Wheel(e)) QWidget::wheelEvent(e);
}

}  // namespace kelvane
