#include "platform/qt/qt_host.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPaintEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "app/frame_pacing.h"
#include "app/game.h"
#include "app/input_events.h"
#include "app/lifecycle.h"
#include "app/options.h"
#include "app/trace.h"
#include "config/numbered_files.h"
#include "coach/coach_settings.h"
#include "coach/coach_state.h"
#include "config/settings.h"
#include "config/startup_choices.h"
#include "flow/record_slots.h"
#include "platform/cd/cd_drives.h"
#include "platform/core/shown_name.h"
#include "platform/core/std_files.h"
#include "platform/core/text_codec.h"
#include "platform/headless/headless_host.h"
#include "platform/qt/close_signals.h"
#include "platform/qt/command_list_window.h"
#include "platform/qt/game_cursors.h"
#include "platform/qt/language.h"
#include "platform/qt/scaled_view.h"
#include "platform/qt/coach_window.h"
#include "platform/qt/spfm_dialog.h"
#include "platform/qt/vk_map.h"
#include "platform/sdl/gamepad.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_media.h"
#include "platform/sdl/rendered_tunes.h"
#include "platform/sdl/shipped_renders.h"
#include "platform/sdl/synthesiser.h"

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

constexpr int kF11 = 122;
constexpr int kF2 = 113;
constexpr int kVolumeStep = 10;
// The game's start and its first frames come before rendering tunes aside.
constexpr int kRenderAsideAfterMs = 3000;

// A file of our own beside Kelvane.ini, whose settings are the rules'
// alone: "off" in it plays every tune as loud as its file.
bool LoudnessSettingOn(const FilePlaces& places) {
  const std::string folder = places.Portable() ? places.dataFolder : places.settings;
  std::FILE* f = std::fopen((folder + "loudness").c_str(), "rb");
  if (!f) return true;
  char text[16] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  return std::string(text, n).find("off") == std::string::npos;
}

// The main game window TFM: shows the presented frame enlarged by a whole
// factor (sharp pixels), or in full screen and maximised as large as fits
// with even pixels, centred on black, and forwards input in the game's
// logical coordinates.
class TfmWindow : public QWidget {
 public:
  explicit TfmWindow(int scale) : scale_(scale) {
    setWindowTitle("Kelvane");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    ApplyLogicalSize({640, 480});
  }

  Game* game = nullptr;
  QtKeyState* keys = nullptr;
  QWidget* commandList = nullptr;
  bool closing = false;
  std::function<void()> toggleCoach;  // F2

  // A presented frame: only the part that changed is enlarged and drawn,
  // and a frame like the one before costs nothing more.
  void ShowFrame(const FrameView& f) {
    const QRegion changed = frame_.Update(f, view_);
    if (changed.isEmpty()) return;
    QRegion area;
    for (const QRect& r : changed) area += view_.ToWidget(r);
    repaint(area);
  }

  const ScaledView& View() const { return view_; }
  bool IsFullScreen() const { return fullScreen_; }
  // The window keeps the size it was given (not full screen, not maximised).
  bool IsPlaced() const { return !fullScreen_ && !isMaximized(); }

  // The game's client size; the window itself is that times the factor.
  void ApplyLogicalSize(Size logical) {
    logical_ = logical;
    if (!fullScreen_) FitWindow();
    UpdateView();
  }
  Size LogicalSize() const { return logical_; }

  void ShowWindow() {
    if (fullScreen_)
      showFullScreen();
    else
      show();
  }

  void ToggleFullScreen() {
    fullScreen_ = !fullScreen_;
    if (fullScreen_) {
      // Where the window was: window managers tend to put it back at the
      // screen's corner, with the title bar out of reach.
      normalPos_ = geometry().topLeft();
      maximised_ = isMaximized();
      setMinimumSize(0, 0);
      setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      // The command list steps behind the game: a tool window over a full
      // screen covers the play and was left unpainted there. It comes back
      // with the window; F1 still shows it on demand.
      listStepsBack_ = commandList && commandList->isVisible();
      if (listStepsBack_) commandList->hide();
      if (isVisible()) showFullScreen();
    } else {
      if (isVisible()) {
        // Back to the window it was, maximised or not.
        if (maximised_)
          showMaximized();
        else
          showNormal();
      }
      FitWindow();
      if (normalPos_ && !maximised_) setGeometry(QRect(*normalPos_, size()));
      if (std::exchange(listStepsBack_, false) && commandList) commandList->show();
    }
    UpdateView();
    update();
  }

  // Every way the window closes goes through here: the close box, the
  // game's own close on the timer, and the termination signals. The first
  // request is refused (the game closes on its next tick); once the close
  // is accepted the event loop ends even when the window was hidden first.
  bool AskClose() {
    if (!game || closing) return true;
    if (!FormCloseQuery(*game)) return false;
    FormClose(*game);
    closing = true;
    QCoreApplication::exit(0);
    return true;
  }

  // A key as the game receives it: kept in the key state, handed to
  // FormKeyDown / FormKeyUp. Keyboard and gamepad both come here.
  void ForwardKey(int vk, bool down, ShiftState shift, bool repeat = false) {
    if (keys) keys->down[static_cast<size_t>(vk)] = down;
    if (!game) return;
    if (!down && repeat) return;
    if (down)
      KeyDown(*game, FormId::FM, vk, shift);
    else
      KeyUp(*game, FormId::FM, vk, shift);
  }

  // Every mouse position the game gets passes here: a position within this
  // widget in the game's client coordinates, taken from Qt's exact local
  // position at the moment of the event. The play area is enlarged by a
  // whole factor and, in full screen, centred; this undoes both.
  Point ToGameClient(QPointF local) const { return view_.ToLogical(local); }

 protected:
  // Only what is asked for is drawn: the enlarged frame where it lies,
  // black elsewhere (the border is asked for only when the window appears
  // or its geometry changes; new frames ask for what changed). The frame is
  // enlarged straight into the window's pixels when the painter draws on a
  // plain 32-bit image at one device pixel per widget pixel (the usual
  // case), else through an image of the part.
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    const QRect target(view_.offset, frame_.Enlarged());
    const QRegion exposed = e->region();
    const QRegion picture = frame_.Empty() ? QRegion() : exposed & target;
    for (const QRect& r : exposed - picture) p.fillRect(r, Qt::black);
    if (picture.isEmpty()) return;
    QPaintDevice* device = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    auto* image = device && device->devType() == QInternal::Image ? static_cast<QImage*>(device)
                                                                   : nullptr;
    const QTransform& t = p.deviceTransform();
    const bool direct = image && t.type() <= QTransform::TxTranslate &&
                        (image->format() == QImage::Format_RGB32 ||
                         image->format() == QImage::Format_ARGB32_Premultiplied ||
                         image->format() == QImage::Format_ARGB32);
    for (const QRect& r : picture) {
      const QRect area = r.translated(-view_.offset);
      if (direct) {
        const QPoint at(qRound(t.dx()), qRound(t.dy()));
        const QRect onImage = r.translated(at) & image->rect();
        if (onImage.isEmpty()) continue;
        // constBits: the pixels the painter draws on, never a detached copy.
        auto* bits = const_cast<uint32_t*>(reinterpret_cast<const uint32_t*>(image->constBits()));
        frame_.Paint(bits, static_cast<size_t>(image->bytesPerLine()) / 4,
                     -(view_.offset + at), onImage.translated(-(view_.offset + at)),
                     image->format() != QImage::Format_RGB32);
      } else {
        QImage part(r.size(), QImage::Format_RGB32);
        frame_.Paint(reinterpret_cast<uint32_t*>(part.bits()),
                     static_cast<size_t>(part.bytesPerLine()) / 4, area.topLeft(), area, true);
        p.drawImage(r.topLeft(), part);
      }
    }
  }

  void resizeEvent(QResizeEvent*) override { UpdateView(); }

  void closeEvent(QCloseEvent* e) override { e->setAccepted(AskClose()); }

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

  // Whatever size the window has: a whole factor when it fits (the window
  // as the game sized it), else as large as fits with even pixels.
  void UpdateView() {
    view_ = ScaledView::Fill(logical_, size());
    frame_.Rescale(view_);
  }

  // The window at the game's size and factor, which it never gets smaller
  // than; it may be maximised or made larger, and the picture fills it.
  void FitWindow() {
    const QSize windowed = WindowedSize();
    setMinimumSize(windowed);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (!isMaximized() && !isFullScreen()) resize(windowed);
  }

  // "-" and "=" turn the music down and up, with Shift the sound effects.
  // The host keeps them: the game never sees these keys.
  bool VolumeKey(QKeyEvent* e) {
    if (e->modifiers().testFlag(Qt::KeypadModifier)) return false;
    int step;
    switch (e->key()) {
      case Qt::Key_Minus:
      case Qt::Key_Underscore:
        step = -kVolumeStep;
        break;
      case Qt::Key_Equal:
      case Qt::Key_Plus:
        step = kVolumeStep;
        break;
      default:
        return false;
    }
    if (e->type() == QEvent::KeyPress && game) {
      const bool effects = e->modifiers().testFlag(Qt::ShiftModifier);
      uint8_t& volume = effects ? game->st.effectsVolume : game->st.musicVolume;
      volume = static_cast<uint8_t>(std::clamp(volume + step, 0, 100));
      if (effects)
        SetEffectsVolume(volume / 100.0f);
      else
        SetMusicVolume(volume / 100.0f);
    }
    return true;
  }

  void Key(QKeyEvent* e, bool down) {
    if (VolumeKey(e)) return;
    int vk = QtKeyToVk(e->key(), e->modifiers().testFlag(Qt::KeypadModifier));
    if (vk == 0) return;
    // F11 switches full screen and still reaches the game, where it is one
    // of the keys that do nothing.
    if (vk == kF11 && down && !e->isAutoRepeat()) ToggleFullScreen();
    // F2 shows or hides the coach; the game, too, lets it pass unheeded.
    if (vk == kF2 && down && !e->isAutoRepeat() && toggleCoach) toggleCoach();
    ForwardKey(vk, down, ShiftOf(e->modifiers()), e->isAutoRepeat());
  }

  // The window at the largest factor up to --scale that fits, with its
  // frame, in the screen's available area (the rest would be off-screen).
  QSize WindowedSize() {
    int k = std::max(scale_, 1);
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
      const QSize area = s->availableGeometry().size();
      const QSize frame = isVisible() ? frameGeometry().size() - size() : QSize(0, 0);
      while (k > 1 && (logical_.w * k + frame.width() > area.width() ||
                       logical_.h * k + frame.height() > area.height()))
        --k;
      if (k != scale_ && fitNoted_ != QSize(logical_.w, logical_.h)) {
        fitNoted_ = QSize(logical_.w, logical_.h);
        std::fprintf(stderr,
                     "kelvane: a %d x %d window at scale %d does not fit the screen's %d x %d "
                     "area; using scale %d\n",
                     logical_.w, logical_.h, scale_, area.width(), area.height(), k);
      }
    }
    return {logical_.w * k, logical_.h * k};
  }

  int scale_;
  std::optional<QPoint> normalPos_;
  bool maximised_ = false;  // before full screen
  bool listStepsBack_ = false;  // the command list was hidden for full screen
  QSize fitNoted_;
  bool fullScreen_ = false;
  Size logical_;
  ScaledView view_;
  EnlargedFrame frame_;
};

class QtServices : public AppService, public WindowService {
 public:
  explicit QtServices(TfmWindow* main) : main_(main) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (game) Timer1Timer(*game);
      ScheduleIdle();
      ScheduleTick();
    });
    // Whatever the loop just ran (a key, a drop, the idle poll) may have
    // moved a deadline: the next tick is worked out again before it sleeps.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     [this] { ScheduleTick(); });
    idle_.setTimerType(Qt::PreciseTimer);
    idle_.setSingleShot(true);
    QObject::connect(&idle_, &QTimer::timeout, [this] { RunIdle(); });
  }

  Game* game = nullptr;
  TkeyFM* keyForm = nullptr;
  const StdFileSystem* files = nullptr;  // names the real place of a failed write
  bool terminating = false;              // a termination signal came: no more boxes

  // ---- AppService ----
  void SetTimerEnabled(bool on) override {
    timerOn_ = on;
    if (on) {
      if (game) tickGrid_ = game->Now();
      ScheduleTick();
    } else {
      timer_.stop();
    }
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
    const QString worded = TranslateMessage(text, [this](const std::string& path) {
      return files ? files->Locate(path, true) : path;
    });
    std::fprintf(stderr, "kelvane: %s\n", worded.toUtf8().constData());
    // Nobody is left to answer a box once the game was told to end.
    if (terminating) return;
    // A box may open in the middle of a frame step (a failed save): no step
    // and no input of the game runs until it is answered, unless the game
    // was closed meanwhile.
    const uint8_t held = game ? game->st.halted : 0;
    if (game) game->st.halted = 1;
    QMessageBox::warning(main_->isVisible() ? main_ : nullptr, "Kelvane", worded);
    if (game && !main_->closing) game->st.halted = held;
  }

  // ---- WindowService ----
  QWidget* Widget(FormId form) {
    if (form == FormId::FM) return main_;
    if (form == FormId::keyFM) return keyForm;
    return nullptr;
  }

  void SetCaption(FormId form, const std::string& sjisText) override {
    // The command list's caption is a text of the window, in its language.
    if (form == FormId::keyFM && keyForm)
      keyForm->SetCaption(sjisText);
    else if (QWidget* w = Widget(form))
      w->setWindowTitle(QString::fromStdString(SjisToUtf8(sjisText)));
    if (game && game->trace && form == FormId::FM) game->trace->Caption(game->Now(), sjisText);
  }
  // The game sees its logical client area (640 x 480 or 320 x 240) at the
  // real window's client origin; positions inside it are in game pixels.
  void SetClientSize(FormId form, Size size) override {
    if (form == FormId::FM)
      main_->ApplyLogicalSize(size);
    else if (QWidget* w = Widget(form))
      w->resize(size.w, size.h);
  }
  Size ClientSize(FormId form) override {
    if (form == FormId::FM) return main_->LogicalSize();
    QWidget* w = Widget(form);
    return w ? Size{w->width(), w->height()} : Size{};
  }
  // The game centres its logical window on a screen of ScreenSize(); the
  // enlarged window keeps that centre.
  void SetPosition(FormId form, Point p) override {
    if (form != FormId::FM) {
      if (QWidget* w = Widget(form)) w->move(p.x, p.y);
      return;
    }
    if (!main_->IsPlaced()) return;
    // The game placed its logical window on a screen of ScreenSize(), the
    // real one divided by the factor: the enlarged window goes to the same
    // place on the real screen, kept within its free area, the title bar
    // always reachable.
    const int k = main_->View().factor;
    int x = p.x * k, y = p.y * k;
    if (QScreen* s = main_->screen() ? main_->screen() : QGuiApplication::primaryScreen()) {
      const QRect area = s->availableGeometry();
      const QSize frame = main_->isVisible() ? main_->frameGeometry().size() : main_->size();
      x = std::max(std::min(x, area.right() + 1 - frame.width()), area.left());
      y = std::max(std::min(y, area.bottom() + 1 - frame.height()), area.top());
    }
    main_->move(x, y);
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
    if (visible) Show(w);
  }
  void SetStayOnTop(FormId form, bool on) override {
    QWidget* w = Widget(form);
    if (!w) return;
    bool visible = w->isVisible();
    w->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) Show(w);
  }
  void SetVisible(FormId form, bool visible) override {
    QWidget* w = Widget(form);
    if (!w) return;
    if (visible)
      Show(w);
    else
      w->hide();
  }
  void AcceptDroppedFiles(FormId form, bool on) override {
    if (QWidget* w = Widget(form)) w->setAcceptDrops(on);
  }
  // The game closes its window itself (after the exit question, after a
  // failed start): also when it is hidden, which a plain close() would not
  // turn into the end of the event loop.
  void Close(FormId form) override {
    if (form != FormId::FM) {
      if (QWidget* w = Widget(form)) w->close();
      return;
    }
    if (main_->AskClose()) main_->hide();
  }
  void Present(const FrameView& f) override { main_->ShowFrame(f); }
  void SetCursor(int index) override {
    cursor_ = index;
    ApplyCursor();
  }
  void ShowCursor(bool visible) override {
    cursorVisible_ = visible;
    ApplyCursor();
  }
  Point PointerPos() override { return ToGameScreen(QCursor::pos()); }
  void SetPointerPos(Point p) override {
    QCursor::setPos(ToRealScreen(p));
    if (game && game->trace) game->trace->Pointer(game->Now(), p.x, p.y);
  }
  FormId WindowAt(Point p) override {
    QWidget* w = QApplication::widgetAt(ToRealScreen(p));
    if (!w) return FormId::None;
    if (w->window() == main_) return FormId::FM;
    if (keyForm && w->window() == keyForm) return FormId::keyFM;
    return FormId::None;
  }
  Point ScreenToClient(FormId form, Point p) override {
    if (form == FormId::FM) {
      const QPoint origin = main_->mapToGlobal(QPoint(0, 0));
      return {p.x - origin.x(), p.y - origin.y()};
    }
    QWidget* w = Widget(form);
    if (!w) return p;
    const QPointF local = w->mapFromGlobal(QPointF(ToRealScreen(p)));
    return {static_cast<int>(std::floor(local.x())), static_cast<int>(std::floor(local.y()))};
  }
  // The screen in game pixels: how much of the logical window fits.
  Size ScreenSize() override {
    QScreen* s = main_->screen() ? main_->screen() : QGuiApplication::primaryScreen();
    if (!s) return {640, 480};
    const ScaledView& v = main_->View();
    return {static_cast<int>(int64_t{s->geometry().width()} * v.logical.w / v.size.width()),
            static_cast<int>(int64_t{s->geometry().height()} * v.logical.h / v.size.height())};
  }
  FormId ActiveWindow() override {
    QWidget* active = QApplication::activeWindow();
    if (active == main_) return FormId::FM;
    if (keyForm && active == keyForm) return FormId::keyFM;
    return FormId::None;
  }

 private:
  // The main window comes back in full screen when it was there.
  void Show(QWidget* w) {
    if (w == main_)
      main_->ShowWindow();
    else
      w->show();
  }

  // Screen positions the game works with: the client origin is the real
  // one, and offsets from it are in game pixels. So the game's own
  // screen-to-client arithmetic lands exactly on the pixel under the pointer.
  Point ToGameScreen(QPoint real) const {
    const QPoint origin = main_->mapToGlobal(QPoint(0, 0));
    const Point p = main_->View().ToLogical(QPointF(real - origin));
    return {origin.x() + p.x, origin.y() + p.y};
  }
  QPoint ToRealScreen(Point game) const {
    const QPoint origin = main_->mapToGlobal(QPoint(0, 0));
    return origin + main_->View().ToWidget({game.x - origin.x(), game.y - origin.y()});
  }

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
  // Timer1 ticks every 10 ms, but a tick with nothing due does nothing, so
  // the window sleeps until the first tick of that 10 ms grid at or after
  // the next deadline instead of waking a hundred times a second.
  void ScheduleTick() {
    if (!timerOn_ || !game) return;
    const uint32_t now = game->Now();
    const std::optional<uint32_t> due = NextTimerDeadline(*game, now);
    if (!due) {
      timer_.stop();  // halted: nothing until a handler changes that
      return;
    }
    const uint32_t at = static_cast<int32_t>(*due - now) > 0 ? *due : now;
    const uint32_t tick = at + (kTimerTick - (at - tickGrid_) % kTimerTick) % kTimerTick;
    // Re-armed whenever that tick moves, later too: once the idle poll has
    // stepped the frame, a tick armed for it would wake to do nothing.
    if (timer_.isActive() && tick == armedTick_) return;
    armedTick_ = tick;
    timer_.start(static_cast<int>(tick - now));
  }
  void RunIdle() {
    if (!idleHooked_ || !game) return;
    bool done = true;
    AppEvIdle(*game, done);
    if (!done) ScheduleIdle();
  }

  TfmWindow* main_;
  static constexpr uint32_t kTimerTick = 10;
  QTimer timer_;
  bool timerOn_ = false;
  uint32_t tickGrid_ = 0;  // a tick of the 10 ms grid
  uint32_t armedTick_ = 0;  // the tick the timer is set for, while active
  QTimer idle_;
  bool idleHooked_ = false;
  int cursor_ = 0;
  bool cursorVisible_ = true;
  // The cursor table: 0 the arrow, 1..3 the game's cursors "CR1".."CR3".
  std::array<QCursor, kGameCursorCount + 1> cursors_{GameCursor(0), GameCursor(1), GameCursor(2),
                                                     GameCursor(3)};
};

// Calls fn once, just after the widget has first been painted (never if it
// is not).
class FirstPaintHook : public QObject {
 public:
  FirstPaintHook(QWidget* w, std::function<void()> fn) : fn_(std::move(fn)) {
    w->installEventFilter(this);
  }
 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint && fn_) {
      o->removeEventFilter(this);
      QTimer::singleShot(0, this, [this] {
        if (fn_) std::exchange(fn_, nullptr)();
      });
    }
    return false;
  }

 private:
  std::function<void()> fn_;
};

// The trace file of a windowed run, written line by line so that it can be
// followed while the game runs.
class TraceFile {
 public:
  TraceFile(const std::string& path, Game& g) : game_(g) {
    if (path.empty()) return;
    file_ = std::fopen(path.c_str(), "w");
    if (!file_) {
      std::fprintf(stderr, "%s: cannot write the trace\n", ShownName(path).c_str());
      return;
    }
    std::setvbuf(file_, nullptr, _IOLBF, 0);
    log_ = std::make_unique<TraceLog>(file_);
    g.trace = log_.get();
  }
  ~TraceFile() { Close(); }
  void Close() {
    game_.trace = nullptr;
    log_.reset();
    if (file_) std::fclose(file_);
    file_ = nullptr;
  }
  bool Failed(const std::string& path) const { return !path.empty() && !file_; }

 private:
  Game& game_;
  std::FILE* file_ = nullptr;
  std::unique_ptr<TraceLog> log_;
};

}  // namespace

namespace {

// The music and the sound effects open files by name themselves: they get
// the file the name stands for, the player's own first.
class PlacedMedia : public SdlMedia {
 public:
  explicit PlacedMedia(const StdFileSystem& files) : files_(files) {}
  int OpenFile(const std::string& path) override { return SdlMedia::OpenFile(files_.Locate(path, false)); }

 private:
  const StdFileSystem& files_;
};

class PlacedSoundEffects : public SdlSoundEffects {
 public:
  explicit PlacedSoundEffects(const StdFileSystem& files) : files_(files) {}
  void Play(const std::string& path) override { SdlSoundEffects::Play(files_.Locate(path, false)); }

 private:
  const StdFileSystem& files_;
};

}  // namespace

int RunQtProgram(const Options& options, const std::string& dataFolder, int argc, char** argv) {
  return RunQtProgram(options, FilePlaces{dataFolder, {}, {}, {}, {}}, argc, argv);
}

int RunQtProgram(const Options& options, const FilePlaces& places, int argc, char** argv) {
  const std::string& dataFolder = places.dataFolder;
  SetRenderedTunesFolder(places.renderedTunes);
  // Turning renders off turns off the shipped ones too: the synthesiser plays.
  SetShippedRendersFolder(places.renderedTunes.empty() ? "" : dataFolder + kShippedRendersFolder);
  SetLoudnessNormalised(options.normalise && LoudnessSettingOn(places));
  if (options.renderTunes) {
    // The player's folder first: its tunes shadow the installed ones.
    std::vector<std::string> folders = {dataFolder};
    if (!places.Portable()) folders.insert(folders.begin(), places.playerData);
    const int failed = RenderTunesOf(folders);
    StopSynthesiser();
    return failed ? 1 : 0;
  }
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Floor);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kelvane");
  // Wayland and the desktop find the menu entry (and its icon) by this name.
  QGuiApplication::setDesktopFileName("org.kelvane.kelvane");
  InstallLanguage(ChooseLanguage(options.lang));

  auto window = std::make_unique<TfmWindow>(options.scale);
  QtServices services(window.get());
  SteadyClock clock;
  QtKeyState keys;
  StdFileSystem files(places);
  PlacedMedia media(files);
  PlacedSoundEffects sound(files);
  Platform pf{&clock, &services, &services, &keys, &media, &sound, &files};
  auto game = std::make_unique<Game>(pf);
  Game& g = *game;
  window->game = &g;
  window->keys = &keys;
  services.game = &g;
  services.files = &files;
  g.args = options.files;
  TraceFile trace(options.traceFile, g);
  if (trace.Failed(options.traceFile)) return 2;

  // SIGTERM, SIGINT and SIGHUP: during the startup dialog they cancel it;
  // later they close the game window the way its close box does (so the
  // settings are written), and end any message box that would hold it up,
  // now or later (a failed write is then only printed).
  TSPFM* dialogShown = nullptr;
  CloseSignals closeSignals([&] {
    services.terminating = true;
    // A box goes first: one over the startup dialog would hold it open.
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->reject();
    if (dialogShown) {
      dialogShown->reject();
      return;
    }
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->reject();
    window->close();
  });

  for (const std::string& cue : options.cdImages) AddCdImage(cue);
  // The startup dialog comes first. Cancel (Esc, the close box) ends the
  // program before the main window is shown and before anything is written;
  // OK has stored the choices and drawn the wallpaper into mainSurface.
  {
    TSPFM dialog(g, dataFolder, options.seed, ListCdDrives());
    // The soundfont loads while the dialog is up and the game starts: from
    // the dialog's first paint on, so that on a busy machine its reading
    // does not hold up the dialog (a tune is asked for seconds later).
    FirstPaintHook startSynth(&dialog, [] { StartSynthesiser(); });
    dialogShown = &dialog;
    const int answer = dialog.exec();
    dialogShown = nullptr;
    // OK may still come from the dialog's own handling after a signal.
    if (answer != kModalOk || services.terminating) return 0;
  }
  ReadVolumeSettings(g);
  SetMusicVolume(g.st.musicVolume / 100.0f);
  SetEffectsVolume(g.st.effectsVolume / 100.0f);
  OpenSdlAudio();

  // Game controllers give key presses like the keyboard's. Looking for them
  // waits until the game shows its first frames: pads plugged in are found
  // then, like any pad plugged in later.
  std::optional<Gamepads> pads;
  // A pad in hand is read every 10 ms; without one, looking for a pad
  // plugged in twice a second is enough and lets the window sleep.
  constexpr int kPadReadMs = 10, kPadLookMs = 500;
  QTimer padPoll;
  padPoll.setInterval(kPadLookMs);
  QObject::connect(&padPoll, &QTimer::timeout, [&] {
    pads->Poll();
    const int interval = pads->ConnectedCount() > 0 ? kPadReadMs : kPadLookMs;
    if (padPoll.interval() != interval) padPoll.setInterval(interval);
  });
  QTimer padStart;
  padStart.setSingleShot(true);
  QObject::connect(&padStart, &QTimer::timeout, [&] {
    pads.emplace([&](int vk, bool down) { window->ForwardKey(vk, down, {}); });
    if (!pads->Available()) return;
    pads->Poll();  // pads present now are read from the start
    padPoll.start(pads->ConnectedCount() > 0 ? kPadReadMs : kPadLookMs);
  });
  padStart.start(300);
  // Tunes not heard yet are rendered once the game has shown itself, so
  // its start does not share the machine with them.
  QTimer renderAside;
  renderAside.setSingleShot(true);
  QObject::connect(&renderAside, &QTimer::timeout, [&places] {
    std::vector<std::string> folders = {places.dataFolder};
    if (!places.Portable()) folders.insert(folders.begin(), places.playerData);
    StartRenderingTunesAside(folders);
  });
  renderAside.start(kRenderAsideAfterMs);

  window->ShowWindow();
  const bool started = FormCreate(g);
  if (!started) {
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
  window->commandList = keyForm;
  keyForm->Create();
  FormShow(g);

  // The coach beside the window: shown as it was last time (and on a first
  // start), with the how-to on top the first time.
  CoachState coach(true);
  g.judges.Add(&coach);
  CoachSettings coachSettings = LoadCoachSettings(files, g.st.dataFolder);
  auto* coachWindow = new CoachWindow(g, coach, window.get());
  auto saveCoach = [&] { SaveCoachSettings(files, g.st.dataFolder, coachSettings); };
  auto showCoach = [&](bool shown) {
    coachSettings.panelShown = shown;
    if (shown) {
      coachWindow->PlaceBeside(window.get());
      coachWindow->show();
    } else {
      coachWindow->hide();
    }
    saveCoach();
  };
  coachWindow->closed = [&] { showCoach(false); };
  window->toggleCoach = [&] { showCoach(!coachWindow->isVisible()); };
  if (started && coachSettings.panelShown) showCoach(true);
  if (started && !coachSettings.howToSeen) {
    auto* howTo = new HowToDialog(window.get());
    howTo->setAttribute(Qt::WA_DeleteOnClose);
    howTo->show();
    coachSettings.howToSeen = true;
    saveCoach();
  }
  // A record from the command line replays as the first demonstration
  // turn, as it does headless; one that cannot be replayed is a bad option.
  bool replayRefused = false;
  if (started && !options.replayFile.empty()) {
    std::string error;
    if (!PrepareCommandLineReplay(g, options.replayFile, error)) {
      std::fprintf(stderr, "kelvane: %s\n", error.c_str());
      replayRefused = true;
    }
  }
  // A close accepted inside the loading's message pump has already ended
  // the game; the loop would otherwise wait for an exit that has passed.
  int rc = window->closing || replayRefused ? 0 : app.exec();
  padStart.stop();
  padPoll.stop();
  renderAside.stop();
  StopRenderingTunesAside();
  services.keyForm = nullptr;
  window->commandList = nullptr;
  window->toggleCoach = nullptr;
  coachWindow->closed = nullptr;
  g.judges.Remove(&coach);
  services.SetTimerEnabled(false);
  services.SetIdleHooked(false);
  FormDestroy(g);
  window->game = nullptr;
  window->hide();
  trace.Close();
  const int status = replayRefused ? 2 : started ? rc : 1;
  CloseSdlAudio();
  StopSynthesiser();
  return status;
}

}  // namespace kelvane
