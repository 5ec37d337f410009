// Game controllers through SDL's game-controller API, turned into the key
// presses and releases a keyboard player would make, so that everything
// downstream (traces, idle time-outs, run records) sees plain keys.
//
//   D-pad, left stick   arrow keys      A      Y        B     N
//   Start               Return          Back   End      X     C
//   left shoulder       Page Up         right shoulder  Page Down
#pragma once

#include <array>
#include <functional>
#include <map>

namespace kelvane {

class Gamepads {
 public:
  // vk is a Windows virtual-key code; down is false for the release.
  using KeySink = std::function<void(int vk, bool down)>;

  explicit Gamepads(KeySink sink);
  ~Gamepads();
  Gamepads(const Gamepads&) = delete;
  Gamepads& operator=(const Gamepads&) = delete;

  // False when SDL's controller subsystem could not start; Poll then does
  // nothing.
  bool Available() const { return started_; }
  // Handles every pending controller event: plugging in and out, buttons
  // and the left stick. Call it often (the host's frame timer does).
  void Poll();
  int ConnectedCount() const { return static_cast<int>(pads_.size()); }

 private:
  struct Pad;
  void Open(int deviceIndex);
  void Close(int instanceId);
  void Button(int instanceId, int button, bool down);
  void Axis(int instanceId, int axis, int value);
  // A key is down while any pad holds it by any of its sources.
  void Hold(int vk, bool down);

  KeySink sink_;
  bool started_ = false;
  std::map<int, Pad*> pads_;  // by joystick instance id
  std::array<int, 256> holders_{};
};

// The key a controller button gives, or 0.
int GamepadButtonKey(int sdlButton);

}  // namespace kelvane
