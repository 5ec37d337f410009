#include "platform/sdl/gamepad.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace kelvane {
namespace {

constexpr int kUp = 38, kDown = 40, kLeft = 37, kRight = 39;
constexpr uint32_t kSubsystems = SDL_INIT_GAMECONTROLLER;
// The stick presses an arrow past the first threshold and lets it go below
// the second, so a stick resting near the edge does not chatter.
constexpr int kStickPress = 16000;
constexpr int kStickRelease = 8000;

// A stick axis held one way or the other: -1, 0 or +1.
int StickDirection(int value, int current) {
  if (value <= -kStickPress) return -1;
  if (value >= kStickPress) return 1;
  if (current < 0 && value <= -kStickRelease) return -1;
  if (current > 0 && value >= kStickRelease) return 1;
  return 0;
}

}  // namespace

int GamepadButtonKey(int sdlButton) {
  switch (sdlButton) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
      return kUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
      return kDown;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
      return kLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
      return kRight;
    case SDL_CONTROLLER_BUTTON_A:
      return 'Y';
    case SDL_CONTROLLER_BUTTON_B:
      return 'N';
    case SDL_CONTROLLER_BUTTON_X:
      return 'C';
    case SDL_CONTROLLER_BUTTON_START:
      return 13;  // Return
    case SDL_CONTROLLER_BUTTON_BACK:
      return 35;  // End
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER:
      return 33;  // Page Up
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER:
      return 34;  // Page Down
    default:
      return 0;
  }
}

struct Gamepads::Pad {
  SDL_GameController* controller = nullptr;
  std::vector<int> held;  // keys this pad's buttons hold
  int stickX = 0, stickY = 0;
};

Gamepads::Gamepads(KeySink sink) : sink_(std::move(sink)) {
  // The host handles SIGINT and SIGTERM itself (a normal close).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(kSubsystems) != 0) {
    std::fprintf(stderr, "kelvane: no game controllers: %s\n", SDL_GetError());
    return;
  }
  started_ = true;
  // Pads present at start arrive as "added" events too.
}

Gamepads::~Gamepads() {
  if (!started_) return;
  while (!pads_.empty()) Close(pads_.begin()->first);
  SDL_QuitSubSystem(kSubsystems);
}

void Gamepads::Poll() {
  if (!started_) return;
  SDL_PumpEvents();
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_CONTROLLERAXISMOTION,
                        SDL_CONTROLLERDEVICEREMAPPED) > 0) {
    switch (e.type) {
      case SDL_CONTROLLERDEVICEADDED:
        Open(e.cdevice.which);
        break;
      case SDL_CONTROLLERDEVICEREMOVED:
        Close(e.cdevice.which);
        break;
      case SDL_CONTROLLERBUTTONDOWN:
      case SDL_CONTROLLERBUTTONUP:
        Button(e.cbutton.which, e.cbutton.button, e.type == SDL_CONTROLLERBUTTONDOWN);
        break;
      case SDL_CONTROLLERAXISMOTION:
        Axis(e.caxis.which, e.caxis.axis, e.caxis.value);
        break;
      default:
        break;
    }
  }
  // Nothing else reads SDL's queue (the joystick events that the controller
  // events were made from, audio device events): drop them so it never fills.
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

void Gamepads::Open(int deviceIndex) {
  SDL_GameController* c = SDL_GameControllerOpen(deviceIndex);
  if (!c) return;
  int id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c));
  if (pads_.count(id)) {
    SDL_GameControllerClose(c);  // already open: the reference is not needed twice
    return;
  }
  Pad* pad = new Pad;
  pad->controller = c;
  pads_[id] = pad;
}

void Gamepads::Close(int instanceId) {
  auto it = pads_.find(instanceId);
  if (it == pads_.end()) return;
  Pad* pad = it->second;
  // A pad pulled out while a button is held must not leave the key down.
  for (int vk : pad->held) Hold(vk, false);
  Axis(instanceId, SDL_CONTROLLER_AXIS_LEFTX, 0);
  Axis(instanceId, SDL_CONTROLLER_AXIS_LEFTY, 0);
  SDL_GameControllerClose(pad->controller);
  delete pad;
  pads_.erase(it);
}

void Gamepads::Button(int instanceId, int button, bool down) {
  auto it = pads_.find(instanceId);
  int vk = GamepadButtonKey(button);
  if (it == pads_.end() || vk == 0) return;
  std::vector<int>& held = it->second->held;
  auto at = std::find(held.begin(), held.end(), vk);
  if (down == (at != held.end())) return;  // no change
  if (down)
    held.push_back(vk);
  else
    held.erase(at);
  Hold(vk, down);
}

void Gamepads::Axis(int instanceId, int axis, int value) {
  auto it = pads_.find(instanceId);
  if (it == pads_.end()) return;
  int* current;
  int negative, positive;
  if (axis == SDL_CONTROLLER_AXIS_LEFTX) {
    current = &it->second->stickX;
    negative = kLeft;
    positive = kRight;
  } else if (axis == SDL_CONTROLLER_AXIS_LEFTY) {
    current = &it->second->stickY;
    negative = kUp;  // SDL's y axis points down
    positive = kDown;
  } else {
    return;
  }
  int next = StickDirection(value, *current);
  if (next == *current) return;
  if (*current != 0) Hold(*current < 0 ? negative : positive, false);
  *current = next;
  if (next != 0) Hold(next < 0 ? negative : positive, true);
}

void Gamepads::Hold(int vk, bool down) {
  int& n = holders_[static_cast<size_t>(vk)];
  if (down) {
    if (++n == 1) sink_(vk, true);
  } else if (n > 0) {
    if (--n == 0) sink_(vk, false);
  }
}

}  // namespace kelvane
