#include "platform/qt/qt_host.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <array>
#include <chrono>
#include <cmath>
#include <memory>

#include "app/frame_pacing.h"
#include "app/game.h"
#include "app/input_events.h"
#include "app/lifecycle.h"
#include "app/options.h"
#include "config/numbered_files.h"
#include "config/settings.h"
#include "config/startup_choices.h"
#include "platform/core/std_files.h"
#include "platform/core/text_codec.h"
#include "platform/cd/cd_drives.h"
#include "platform/headless/headless_host.h"
#include "platform/qt/command_list_window.h"
#include "platform/qt/game_cursors.h"
#include "platform/qt/spfm_dialog.h"
#include "platform/qt/vk_map.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/synthesiser.h"
#include "platform/sdl/sdl_media.h"

namespace kelvane {
namespace {

ShiftState ShiftOf(Qt::KeyboardModifiers m) {
  return {m.testFlag(Qt::ShiftModifier), m.testFlag(Qt::AltModifier)};
}

class SteadyClock : public Clock {
 public:
  uint32_t TickCount() override {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
};

class QtKeyState : public KeyState {
 public:
  bool IsDown(int vk) override { return vk >= 0 && vk < 256 && down[static_cast<size_t>(vk)]; }
  std::array<bool, 256> down{};
};

// The main game window TFM: shows the presented frame 1:1 and forwards input.
class TfmWindow : public QWidget {
 public:
  TfmWindow() {
    setWindowTitle("Kelvane");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
  }

  Game* game = nullptr;
  QtKeyState* keys = nullptr;
  QImage frame;
  bool closing = false;

  // Every mouse position the game gets passes here: a position within this
  // widget in the game's client coordinates, taken from Qt's exact local
  // position at the moment of the event.
  Point ToGameClient(QPointF local) const {
    return {static_cast<int>(std::floor(local.x())), static_cast<int>(std::floor(local.y()))};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.fillRect(rect(), Qt::black);
    if (!frame.isNull()) p.drawImage(QPoint(0, 0), frame);
  }

  void closeEvent(QCloseEvent* e) override {
    // halted alone does not mean closed: the loading code sets it around its
    // message pump, and a close asked for then must go the two-phase way.
    if (!game || closing) {
      e->accept();
      return;
    }
    if (FormCloseQuery(*game)) {
      FormClose(*game);
      closing = true;
      e->accept();
    } else {
      e->ignore();
    }
  }

  void keyPressEvent(QKeyEvent* e) override { Key(e, true); }
  void keyReleaseEvent(QKeyEvent* e) override { Key(e, false); }

  void mousePressEvent(QMouseEvent* e) override {
    MouseButton b;
    if (game && Button(e, b))
      MouseDown(*game, b, ToGameClient(e->position()), ShiftOf(e->modifiers()));
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    MouseButton b;
    if (game && Button(e, b))
      MouseUp(*game, b, ToGameClient(e->position()), ShiftOf(e->modifiers()));
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (game) MouseMove(*game, ToGameClient(e->position()), ShiftOf(e->modifiers()));
  }
  void wheelEvent(QWheelEvent* e) override {
    if (game && e->angleDelta().y() != 0)
      MouseWheel(*game, e->angleDelta().y() > 0, ToGameClient(e->position()),
                 ShiftOf(e->modifiers()));
  }
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* e) override {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
  }
  void dropEvent(QDropEvent* e) override {
    // Local files only, as the file system spells them.
    std::vector<std::string> paths;
    for (const QUrl& url : e->mimeData()->urls())
      if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    e->acceptProposedAction();
    if (game && !paths.empty()) DropFiles(*game, paths);
  }
  void focusOutEvent(QFocusEvent*) override {
    if (game) FormDeactivate(*game);
  }

 private:
  static bool Button(QMouseEvent* e, MouseButton& b) {
    switch (e->button()) {
      case Qt::LeftButton:
        b = MouseButton::Left;
        return true;
      case Qt::RightButton:
        b = MouseButton::Right;
        return true;
      case Qt::MiddleButton:
        b = MouseButton::Middle;
        return true;
      default:
        return false;  // the game knows three buttons
    }
  }

  void Key(QKeyEvent* e, bool down) {
    int vk = QtKeyToVk(e->key(), e->modifiers().testFlag(Qt::KeypadModifier));
    if (vk == 0) return;
    if (keys) keys->down[static_cast<size_t>(vk)] = down;
    if (!game) return;
    if (down)
      KeyDown(*game, FormId::FM, vk, ShiftOf(e->modifiers()));
    else if (!e->isAutoRepeat())
      KeyUp(*game, FormId::FM, vk, ShiftOf(e->modifiers()));
  }
};

class QtServices : public AppService, public WindowService {
 public:
  explicit QtServices(TfmWindow* main) : main_(main) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (game) Timer1Timer(*game);
      ScheduleIdle();
    });
    idle_.setTimerType(Qt::PreciseTimer);
    idle_.setSingleShot(true);
    QObject::connect(&idle_, &QTimer::timeout, [this] { RunIdle(); });
  }

  Game* game = nullptr;
  TkeyFM* keyForm = nullptr;

  // ---- AppService ----
  void SetTimerEnabled(bool on) override {
    if (on)
      timer_.start();
    else
      timer_.stop();
  }
  void SetIdleHooked(bool on) override {
    idleHooked_ = on;
    if (on)
      ScheduleIdle();
    else
      idle_.stop();
  }
  void ProcessMessages() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
  void ShowMessage(const std::string& text) override {
    QMessageBox::warning(main_->isVisible() ? main_ : nullptr, "Kelvane",
                         QString::fromStdString(text));
  }

  // ---- WindowService ----
  QWidget* Widget(FormId form) {
    if (form == FormId::FM) return main_;
    if (form == FormId::keyFM) return keyForm;
    return nullptr;
  }

  void SetCaption(FormId form, const std::string& sjisText) override {
    if (QWidget* w = Widget(form)) w->setWindowTitle(QString::fromStdString(SjisToUtf8(sjisText)));
  }
  void SetClientSize(FormId form, Size size) override {
    if (QWidget* w = Widget(form)) w->setFixedSize(size.w, size.h);
  }
  Size ClientSize(FormId form) override {
    QWidget* w = Widget(form);
    return w ? Size{w->width(), w->height()} : Size{};
  }
  void SetPosition(FormId form, Point p) override {
    if (QWidget* w = Widget(form)) w->move(p.x, p.y);
  }
  Point Position(FormId form) override {
    QWidget* w = Widget(form);
    if (!w) return {};
    QRect f = w->frameGeometry();
    return {f.x(), f.y()};
  }
  Point ClientOrigin(FormId form) override {
    QWidget* w = Widget(form);
    if (!w) return {};
    QPoint o = w->mapToGlobal(QPoint(0, 0));
    return {o.x(), o.y()};
  }
  void SetBorderStyle(FormId form, BorderStyle style) override {
    QWidget* w = Widget(form);
    if (!w) return;
    bool visible = w->isVisible();
    Qt::WindowFlags flags = w->windowFlags() & Qt::WindowStaysOnTopHint;
    flags |= Qt::Window;
    if (style == BorderStyle::None)
      flags |= Qt::FramelessWindowHint;
    else
      flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    w->setWindowFlags(flags);
    if (visible) w->show();
  }
  void SetStayOnTop(FormId form, bool on) override {
    QWidget* w = Widget(form);
    if (!w) return;
    bool visible = w->isVisible();
    w->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) w->show();
  }
  void SetVisible(FormId form, bool visible) override {
    if (QWidget* w = Widget(form)) w->setVisible(visible);
  }
  void AcceptDroppedFiles(FormId form, bool on) override {
    if (QWidget* w = Widget(form)) w->setAcceptDrops(on);
  }
  void Close(FormId form) override {
    if (QWidget* w = Widget(form)) w->close();
  }
  void Present(const FrameView& f) override {
    QImage view(reinterpret_cast<const uchar*>(f.pixels), f.width, f.height, f.stride * 4,
                QImage::Format_RGB32);
    main_->frame = view.copy();
    main_->repaint();
  }
  void SetCursor(int index) override {
    cursor_ = index;
    ApplyCursor();
  }
  void ShowCursor(bool visible) override {
    cursorVisible_ = visible;
    ApplyCursor();
  }
  Point PointerPos() override {
    QPoint p = QCursor::pos();
    return {p.x(), p.y()};
  }
  void SetPointerPos(Point p) override { QCursor::setPos(p.x, p.y); }
  FormId WindowAt(Point p) override {
    QWidget* w = QApplication::widgetAt(p.x, p.y);
    if (!w) return FormId::None;
    if (w->window() == main_) return FormId::FM;
    if (keyForm && w->window() == keyForm) return FormId::keyFM;
    return FormId::None;
  }
  Point ScreenToClient(FormId form, Point p) override {
    const QPointF screen(p.x, p.y);
    if (form == FormId::FM) return main_->ToGameClient(main_->mapFromGlobal(screen));
    QWidget* w = Widget(form);
    if (!w) return p;
    const QPointF local = w->mapFromGlobal(screen);
    return {static_cast<int>(std::floor(local.x())), static_cast<int>(std::floor(local.y()))};
  }
  Size ScreenSize() override {
    QScreen* s = main_->screen() ? main_->screen() : QGuiApplication::primaryScreen();
    if (!s) return {640, 480};
    return {s->geometry().width(), s->geometry().height()};
  }
  FormId ActiveWindow() override {
    QWidget* active = QApplication::activeWindow();
    if (active == main_) return FormId::FM;
    if (keyForm && active == keyForm) return FormId::keyFM;
    return FormId::None;
  }

 private:
  void ApplyCursor() {
    if (!cursorVisible_) {
      main_->setCursor(Qt::BlankCursor);
      return;
    }
    main_->setCursor(cursors_[cursor_ >= 0 && cursor_ <= kGameCursorCount ? cursor_ : 0]);
  }

  // The idle poll sleeps until the next frame or music deadline instead of
  // spinning; it keeps the rule of one frame step per frameInterval.
  void ScheduleIdle() {
    if (!idleHooked_ || !game || game->st.halted) return;
    int32_t ahead = static_cast<int32_t>(NextIdleDeadline(*game) - game->Now());
    int wait = ahead < 0 ? 0 : ahead;
    if (!idle_.isActive() || idle_.remainingTime() > wait) idle_.start(wait);
  }
  void RunIdle() {
    if (!idleHooked_ || !game) return;
    bool done = true;
    AppEvIdle(*game, done);
    if (!done) ScheduleIdle();
  }

  TfmWindow* main_;
  QTimer timer_;
  QTimer idle_;
  bool idleHooked_ = false;
  int cursor_ = 0;
  bool cursorVisible_ = true;
  // The cursor table: 0 the arrow, 1..3 the game's cursors "CR1".."CR3".
  std::array<QCursor, kGameCursorCount + 1> cursors_{GameCursor(0), GameCursor(1), GameCursor(2),
                                                      GameCursor(3)};
};

}  // namespace

int RunQtProgram(const Options& options, const std::string& dataFolder, int argc, char** argv) {
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::Floor);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kelvane");

  auto window = std::make_unique<TfmWindow>();
  QtServices services(window.get());
  SteadyClock clock;
  QtKeyState keys;
  SdlMedia media;
  SdlSoundEffects sound;
  StdFileSystem files;
  Platform pf{&clock, &services, &services, &keys, &media, &sound, &files};
  auto game = std::make_unique<Game>(pf);
  Game& g = *game;
  window->game = &g;
  window->keys = &keys;
  services.game = &g;
  g.args = options.files;

  // The soundfont loads while the dialog is up and the game starts.
  StartSynthesiser();
  for (const std::string& cue : options.cdImages) AddCdImage(cue);
  // The startup dialog comes first. Cancel (Esc, the close box) ends the
  // program before the main window is shown and before anything is written;
  // OK has stored the choices and drawn the wallpaper into mainSurface.
  {
    TSPFM dialog(g, dataFolder, options.seed, ListCdDrives());
    if (dialog.exec() != kModalOk) return 0;
  }
  OpenSdlAudio();

  window->setFixedSize(640, 480);
  window->show();
  if (!FormCreate(g)) {
    // A required data file was missing or broken (the user has been told):
    // end through the normal close, which still writes the settings.
    g.st.closeRequested = 1;
    services.SetTimerEnabled(true);
  }
  // The command list comes after the main window's creation, which has
  // loaded the moves it lists.
  auto* keyForm = new TkeyFM(
      g, window.get(), [&keys](int vk, bool down) { keys.down[static_cast<size_t>(vk)] = down; },
      [main = window.get()](QPointF screen) {
        return main->ToGameClient(main->mapFromGlobal(screen));
      });
  services.keyForm = keyForm;
  keyForm->Create();
  FormShow(g);
  int rc = app.exec();
  services.keyForm = nullptr;
  services.SetTimerEnabled(false);
  services.SetIdleHooked(false);
  FormDestroy(g);
  window->game = nullptr;
  CloseSdlAudio();
  StopSynthesiser();
  return rc;
}

}  // namespace kelvane
