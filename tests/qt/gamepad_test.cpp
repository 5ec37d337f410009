// Game controllers as keys, driven through SDL's virtual joystick (no
// hardware): every button of the table, the left stick, and plugging the pad
// in and out while a button is held.
#include "platform/sdl/gamepad.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace kelvane {
namespace {

using Keys = std::vector<std::pair<int, bool>>;

class GamepadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pads.Available()) << SDL_GetError(); }
  void TearDown() override { Unplug(); }

  // A virtual pad with every standard button and axis.
  void PlugIn() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
    desc.name = "virtual pad";
    index = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(index, 0) << SDL_GetError();
    joystick = SDL_JoystickOpen(index);
    ASSERT_NE(joystick, nullptr) << SDL_GetError();
    pads.Poll();
  }

  void Unplug() {
    if (!joystick) return;
    SDL_JoystickClose(joystick);
    joystick = nullptr;
    SDL_JoystickDetachVirtual(index);
    pads.Poll();
  }

  void Button(SDL_GameControllerButton b, bool down) {
    SDL_JoystickSetVirtualButton(joystick, b, down ? 1 : 0);
    pads.Poll();
  }
  void Axis(SDL_GameControllerAxis a, int value) {
    SDL_JoystickSetVirtualAxis(joystick, a, static_cast<Sint16>(value));
    pads.Poll();
  }

  Keys keys;
  Gamepads pads{[this](int vk, bool down) { keys.emplace_back(vk, down); }};
  int index = -1;
  SDL_Joystick* joystick = nullptr;
};

TEST_F(GamepadTest, EveryButtonGivesItsKeyPressAndRelease) {
  PlugIn();
  ASSERT_EQ(pads.ConnectedCount(), 1);
  const std::pair<SDL_GameControllerButton, int> table[] = {
      {SDL_CONTROLLER_BUTTON_DPAD_UP, 38},      {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 40},
      {SDL_CONTROLLER_BUTTON_DPAD_LEFT, 37},    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 39},
      {SDL_CONTROLLER_BUTTON_A, 'Y'},           {SDL_CONTROLLER_BUTTON_B, 'N'},
      {SDL_CONTROLLER_BUTTON_X, 'C'},           {SDL_CONTROLLER_BUTTON_START, 13},
      {SDL_CONTROLLER_BUTTON_BACK, 35},         {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 33},
      {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 34}};
  for (auto [button, vk] : table) {
    keys.clear();
    Button(button, true);
    Button(button, false);
    EXPECT_EQ(keys, (Keys{{vk, true}, {vk, false}})) << "button " << button;
  }
  // Buttons without a key give nothing.
  keys.clear();
  Button(SDL_CONTROLLER_BUTTON_Y, true);
  Button(SDL_CONTROLLER_BUTTON_GUIDE, true);
  EXPECT_TRUE(keys.empty());
}

TEST_F(GamepadTest, TheLeftStickPressesArrowsWithoutChatterAndSharesThemWithTheDpad) {
  PlugIn();
  Axis(SDL_CONTROLLER_AXIS_LEFTX, -30000);
  Axis(SDL_CONTROLLER_AXIS_LEFTX, -12000);  // between the thresholds: still held
  EXPECT_EQ(keys, (Keys{{37, true}}));
  Axis(SDL_CONTROLLER_AXIS_LEFTX, 30000);  // straight across: left up, right down
  Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
  EXPECT_EQ(keys, (Keys{{37, true}, {37, false}, {39, true}, {39, false}}));
  keys.clear();
  Axis(SDL_CONTROLLER_AXIS_LEFTY, 32767);  // SDL's y grows downwards
  Axis(SDL_CONTROLLER_AXIS_LEFTY, -32768);
  EXPECT_EQ(keys, (Keys{{40, true}, {40, false}, {38, true}}));
  // The D-pad and the stick holding Up together: one press, one release
  // when both have let go.
  keys.clear();
  Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
  Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
  EXPECT_TRUE(keys.empty());
  Button(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
  EXPECT_EQ(keys, (Keys{{38, false}}));
  // Other axes are not keys.
  keys.clear();
  Axis(SDL_CONTROLLER_AXIS_RIGHTX, 32767);
  Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767);
  EXPECT_TRUE(keys.empty());
}

TEST_F(GamepadTest, UnpluggingReleasesHeldKeysAndAPadPluggedInLaterWorks) {
  PlugIn();
  Button(SDL_CONTROLLER_BUTTON_A, true);
  Axis(SDL_CONTROLLER_AXIS_LEFTX, 30000);
  EXPECT_EQ(keys, (Keys{{'Y', true}, {39, true}}));
  keys.clear();
  Unplug();
  EXPECT_EQ(pads.ConnectedCount(), 0);
  std::sort(keys.begin(), keys.end());  // in whichever order SDL recentres
  EXPECT_EQ(keys, (Keys{{39, false}, {'Y', false}}));
  keys.clear();
  PlugIn();
  EXPECT_EQ(pads.ConnectedCount(), 1);
  Button(SDL_CONTROLLER_BUTTON_B, true);
  EXPECT_EQ(keys, (Keys{{'N', true}}));
}

}  // namespace
}  // namespace kelvane
