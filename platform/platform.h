// The services the game asks of its host. The game core talks only to these
// interfaces; platform/qt and platform/sdl hold the real adapters,
// platform/headless the fakes with a virtual clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

// The three windows of the game.
enum class FormId { None, SPFM, FM, keyFM };

enum class BorderStyle { None, ToolWindow, SizeableToolWindow };

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int w = 0;
  int h = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// The shift state the game reads: only Shift and Alt.
struct ShiftState {
  bool shift = false;
  bool alt = false;
};

enum class MouseButton { Left, Right, Middle };

// A read-only view of 32-bit 0x00RRGGBB pixels, as handed to the window.
struct FrameView {
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // in pixels
  // Optional: a stamp for each block of stampBlock pixels of each row,
  // stampsPerRow a row, that changes whenever a pixel of the block may have
  // changed (stamps are never reused). A window that keeps the frame it
  // showed need not look again at blocks whose stamps it has seen.
  const uint64_t* stamps = nullptr;
  int stampBlock = 0;
  int stampsPerRow = 0;
};

// Millisecond tick count since some start; wraps after about 49.7 days.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t TickCount() = 0;
};

// The application's own services: the two frame drivers, the message pump,
// message boxes.
class AppService {
 public:
  virtual ~AppService() = default;
  // Timer1: a 10 ms periodic tick that calls Game::Timer1Timer.
  virtual void SetTimerEnabled(bool on) = 0;
  // The idle poll: calls Game::AppEvIdle whenever the event queue is empty.
  virtual void SetIdleHooked(bool on) = 0;
  // Runs every pending event and returns (the loading code's pump).
  virtual void ProcessMessages() = 0;
  // A modal message box with an OK button; text is UTF-8. The host words
  // it in the run's language (WordMessage) and also prints it on stderr.
  virtual void ShowMessage(const std::string& text) = 0;
};

// The game's own wording of a file it could not write: path + this.
inline constexpr const char* kCannotWrite = " に書き込めません";

// Window services for the three forms. Captions are Shift-JIS byte strings;
// the adapter converts them for display.
class WindowService {
 public:
  virtual ~WindowService() = default;
  virtual void SetCaption(FormId form, const std::string& sjisText) = 0;
  virtual void SetClientSize(FormId form, Size size) = 0;
  virtual Size ClientSize(FormId form) = 0;
  // Outer (frame) position of the window on the screen.
  virtual void SetPosition(FormId form, Point topLeft) = 0;
  virtual Point Position(FormId form) = 0;
  // Screen position of the client area's top-left corner.
  virtual Point ClientOrigin(FormId form) = 0;
  virtual void SetBorderStyle(FormId form, BorderStyle style) = 0;
  virtual void SetStayOnTop(FormId form, bool on) = 0;
  virtual void SetVisible(FormId form, bool visible) = 0;
  // Whether files dragged from a file manager may be dropped on the form.
  virtual void AcceptDroppedFiles(FormId form, bool on) = 0;
  // Asks the window to close; the request goes through FormCloseQuery.
  virtual void Close(FormId form) = 0;
  // Shows a composed frame in the main window's client area at (0,0), 1:1.
  virtual void Present(const FrameView& frame) = 0;
  // Cursor of the main window: 0 the arrow, 1..3 the game's own cursors.
  virtual void SetCursor(int index) = 0;
  virtual void ShowCursor(bool visible) = 0;
  // ---- The pointer ----
  // Where the pointer is on the screen, and moving it there (the menus move
  // it out of the way after a cursor move).
  virtual Point PointerPos() = 0;
  virtual void SetPointerPos(Point screenPos) = 0;
  virtual FormId WindowAt(Point screenPos) = 0;
  // A screen position in the form's client coordinates as the game draws
  // them, asked of the window system each time, so it stays exact after the
  // window was moved or resized.
  virtual Point ScreenToClient(FormId form, Point screenPos) = 0;
  virtual Size ScreenSize() = 0;
  virtual FormId ActiveWindow() = 0;
};

// Asynchronous key state by Windows virtual-key code, kept from real events.
class KeyState {
 public:
  virtual ~KeyState() = default;
  virtual bool IsDown(int vk) = 0;
};

// The media device behind BGM: one open device at a time, media-control
// style. Every call returns 0 on success or an error code that is also kept
// as the last error.
enum class MediaMode { NotReady, Stopped, Playing, Paused, Seeking, Open };

class MediaDevice {
 public:
  virtual ~MediaDevice() = default;
  static constexpr int kNotOpen = 263;  // the device is not open
  virtual int OpenFile(const std::string& path) = 0;
  virtual int OpenCD(const std::string& drive) = 0;
  virtual int SetTimeFormatMs() = 0;
  virtual int Length(uint32_t& ms) = 0;
  virtual int TrackCount(int& tracks) = 0;
  virtual int TrackStart(int track, uint32_t& ms) = 0;
  virtual int TrackLength(int track, uint32_t& ms) = 0;
  virtual MediaMode Mode() = 0;
  virtual int Play(std::optional<uint32_t> fromMs, std::optional<uint32_t> toMs) = 0;
  virtual int Stop() = 0;
  virtual int Close() = 0;
  virtual int LastError() = 0;
  virtual std::string ErrorText(int code) = 0;
};

// Sound effects: one at a time, a new one cuts off the playing one, a missing
// file plays nothing.
class SoundEffects {
 public:
  virtual ~SoundEffects() = default;
  virtual void Play(const std::string& path) = 0;
  virtual void Stop() = 0;
};

// Files of the data folder. Paths are native byte strings.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool Exists(const std::string& path) = 0;
  virtual bool Delete(const std::string& path) = 0;
  virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  // The size in bytes of a regular file; nothing for a missing file or
  // anything else (a folder, a pipe). Lets a reader refuse a file that is
  // too large before reading it.
  virtual std::optional<uint64_t> FileSize(const std::string& path) = 0;
  // Writes through a temporary file and a rename, so a failed write never
  // leaves a half-written file behind.
  virtual bool WriteFile(const std::string& path, const std::string& data) = 0;
};

// Everything the core needs from its host, in one place.
struct Platform {
  Clock* clock = nullptr;
  AppService* app = nullptr;
  WindowService* window = nullptr;
  KeyState* keys = nullptr;
  MediaDevice* media = nullptr;
  SoundEffects* sound = nullptr;
  FileSystem* files = nullptr;
};

}  // namespace kelvane
