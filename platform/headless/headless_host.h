// The headless host: fakes of every platform service, driven by a virtual
// (or, with --realtime, the real) clock, with scripted input. The same game
// code runs here as in the window.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/file_places.h"
#include "platform/platform.h"

namespace kelvane {

struct Game;
struct Options;

class VirtualClock : public Clock {
 public:
  uint32_t TickCount() override { return now; }
  uint32_t now = 0;
};

class HeadlessApp : public AppService {
 public:
  void SetTimerEnabled(bool on) override { timerEnabled = on; }
  void SetIdleHooked(bool on) override { idleHooked = on; }
  void ProcessMessages() override {
    if (pump) pump();
  }
  // Printed on stderr in the run's language; kept as the game gave it.
  void ShowMessage(const std::string& text) override;
  bool timerEnabled = false;
  bool idleHooked = false;
  std::vector<std::string> messages;
  std::function<void()> pump;  // delivers due input while loading
  std::string language = "en";
  // Where a write of the game's file name went (the player's folder of an
  // installed game); the name itself when unset.
  std::function<std::string(const std::string&)> writePlace;
};

class HeadlessWindow : public WindowService {
 public:
  struct Form {
    std::string caption;
    Size client;
    Point position;
    BorderStyle border = BorderStyle::ToolWindow;
    bool stayOnTop = false;
    bool visible = false;
    bool acceptsDrops = false;
  };
  void SetCaption(FormId form, const std::string& sjisText) override;
  void SetClientSize(FormId form, Size size) override { At(form).client = size; }
  Size ClientSize(FormId form) override { return At(form).client; }
  void SetPosition(FormId form, Point p) override { At(form).position = p; }
  Point Position(FormId form) override { return At(form).position; }
  Point ClientOrigin(FormId form) override;
  void SetBorderStyle(FormId form, BorderStyle style) override { At(form).border = style; }
  void SetStayOnTop(FormId form, bool on) override { At(form).stayOnTop = on; }
  void SetVisible(FormId form, bool visible) override { At(form).visible = visible; }
  void AcceptDroppedFiles(FormId form, bool on) override { At(form).acceptsDrops = on; }
  void Close(FormId form) override;
  void Present(const FrameView& frame) override;
  void SetCursor(int index) override { cursor = index; }
  void ShowCursor(bool visible) override { cursorVisible = visible; }
  Point PointerPos() override { return pointer; }
  // Records the new place and traces it, so a run shows where the game put
  // the pointer.
  void SetPointerPos(Point p) override;
  FormId WindowAt(Point p) override;
  Point ScreenToClient(FormId form, Point p) override;
  Size ScreenSize() override { return screen; }
  FormId ActiveWindow() override { return active; }

  Form& At(FormId form) { return forms[static_cast<size_t>(form)]; }
  // The frame's border widths of a tool window, as a desktop would draw it.
  static constexpr int kFrameLeft = 3;
  static constexpr int kFrameTop = 22;

  std::array<Form, 4> forms{};
  Game* game = nullptr;
  bool mainClosed = false;
  int cursor = 0;
  bool cursorVisible = true;
  Point pointer;
  Size screen{1920, 1080};
  FormId active = FormId::FM;
  // The last presented frame, and the frame dump settings.
  std::vector<uint32_t> lastFrame;
  int lastWidth = 0, lastHeight = 0;
  uint64_t presented = 0;
  std::string framesDir;
  int frameEvery = 1;
};

class HeadlessKeys : public KeyState {
 public:
  bool IsDown(int vk) override { return vk >= 0 && vk < 256 && down[static_cast<size_t>(vk)]; }
  std::array<bool, 256> down{};
};

// A CD image standing in for a drive in a headless run (--cd-image): the
// label the startup dialog would give it and its table of contents, read
// once at start (no tracks: the image cannot be used, like an empty drive).
struct HeadlessDisc {
  struct Track {
    uint32_t startMs = 0;
    uint32_t lengthMs = 0;
    bool audio = true;
  };
  std::string label;  // "D:", "E:", ...
  std::vector<Track> tracks;
};

// Remembers the open file and whether it plays; measures files through
// `measure` (milliseconds, or nothing when the file cannot be used).
class HeadlessMedia : public MediaDevice {
 public:
  int OpenFile(const std::string& path) override;
  int OpenCD(const std::string& drive) override;
  int SetTimeFormatMs() override { return Result(isOpen ? 0 : kNotOpen); }
  int Length(uint32_t& ms) override;
  int TrackCount(int& tracks) override;
  int TrackStart(int track, uint32_t& ms) override;
  int TrackLength(int track, uint32_t& ms) override;
  MediaMode Mode() override;
  int Play(std::optional<uint32_t> fromMs, std::optional<uint32_t> toMs) override;
  int Stop() override;
  int Close() override;
  int LastError() override { return lastError; }
  std::string ErrorText(int code) override;

  std::function<std::optional<uint32_t>(const std::string&)> measure;
  // The file a name stands for (the player's copy of an installed game).
  std::function<std::string(const std::string&)> locate;
  std::vector<HeadlessDisc> discs;
  const HeadlessDisc* disc = nullptr;  // the open CD
  bool isOpen = false;
  bool playing = false;
  std::string file;
  uint32_t length = 0;
  int lastError = 0;

 private:
  int Result(int code) { return lastError = code; }
};

class HeadlessSound : public SoundEffects {
 public:
  void Play(const std::string& path) override { last = path; }
  void Stop() override { last.clear(); }
  std::string last;
};

// Runs the game headless with the given options; returns the exit code.
int RunHeadless(const Options& options, const std::string& dataFolder);
// The same with the places decided at start (an installed game), and the
// CD images offered as drives.
int RunHeadless(const Options& options, const FilePlaces& places,
                const std::vector<HeadlessDisc>& discs = {});

}  // namespace kelvane
