// The fixed key groups every scene reads (Windows virtual-key codes), and
// the small menu helpers the keys drive.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/platform.h"

namespace kelvane::keys {

// Single keys named by the handlers.
constexpr int kBackspace = 8;
constexpr int kTab = 9;
constexpr int kReturn = 13;
constexpr int kShift = 16;
constexpr int kCtrl = 17;
constexpr int kAlt = 18;
constexpr int kPause = 19;
constexpr int kEscape = 27;
constexpr int kSpace = 32;
constexpr int kPageUp = 33;
constexpr int kPageDown = 34;
constexpr int kEnd = 35;
constexpr int kHome = 36;
constexpr int kDelete = 46;
constexpr int kDigit1 = 49;
constexpr int kDigit9 = 57;
constexpr int kC = 67;
constexpr int kD = 68;
constexpr int kM = 77;
constexpr int kN = 78;
constexpr int kS = 83;
constexpr int kV = 86;
constexpr int kY = 89;
constexpr int kApps = 93;
constexpr int kNumpad1 = 97;
constexpr int kNumpad9 = 105;
constexpr int kF1 = 112;

constexpr std::array<int, 7> kOk = {13, 32, 65, 89, 90, 97, 103};
constexpr std::array<int, 7> kNg = {19, 66, 78, 81, 88, 99, 105};
constexpr std::array<int, 2> kLeft = {37, 100};
constexpr std::array<int, 2> kUp = {38, 104};
constexpr std::array<int, 2> kRight = {39, 102};
constexpr std::array<int, 3> kDown = {40, 98, 101};
constexpr std::array<int, 3> kMenu = {16, 18, 93};
// Passive keys without the ranges 48..57 (digits) and 112..135 (F1..F24).
constexpr std::array<int, 13> kPassiveSingles = {8, 9, 16, 17, 18, 27, 33, 34, 36, 46, 68, 83, 86};
// What the wide set adds to the passive keys.
constexpr std::array<int, 10> kWideExtras = {37, 38, 39, 40, 67, 98, 100, 101, 102, 104};
// The keys that switch the demonstration mode during its stage start:
// Pause, the arrows, A B N Q X Y Z (numpad 1..9 are a range).
constexpr std::array<int, 12> kDemoSwitchSingles = {19, 37, 38, 39, 40, 65, 66, 78, 81, 88, 89, 90};

template <size_t N>
constexpr bool In(const std::array<int, N>& group, int vk) {
  return std::find(group.begin(), group.end(), vk) != group.end();
}

constexpr bool IsOk(int vk) {
  return In(kOk, vk);
}
constexpr bool IsNg(int vk) {
  return In(kNg, vk);
}
constexpr bool IsLeft(int vk) {
  return In(kLeft, vk);
}
constexpr bool IsUp(int vk) {
  return In(kUp, vk);
}
constexpr bool IsRight(int vk) {
  return In(kRight, vk);
}
constexpr bool IsDown(int vk) {
  return In(kDown, vk);
}
constexpr bool IsArrow(int vk) {
  return IsLeft(vk) || IsUp(vk) || IsRight(vk) || IsDown(vk);
}
constexpr bool IsMenu(int vk) {
  return In(kMenu, vk);
}
constexpr bool IsReturnOrSpace(int vk) {
  return vk == kReturn || vk == kSpace;
}
constexpr bool IsDigitKey(int vk) {
  return vk >= 48 && vk <= 57;
}
constexpr bool IsFunctionKey(int vk) {
  return vk >= 112 && vk <= 135;
}
constexpr bool IsPassive(int vk) {
  return In(kPassiveSingles, vk) || IsDigitKey(vk) || IsFunctionKey(vk);
}
constexpr bool IsPassiveWide(int vk) {
  return IsPassive(vk) || In(kWideExtras, vk);
}
constexpr bool IsDemoSwitch(int vk) {
  return In(kDemoSwitchSingles, vk) || (vk >= kNumpad1 && vk <= kNumpad9);
}

constexpr bool ShiftOrAlt(ShiftState s) {
  return s.shift || s.alt;
}

}  // namespace kelvane::keys

namespace kelvane::menu {

// The mode menu's cursor runs 1..3 and wraps at both ends.
constexpr int CursorLeft(int cursor) {
  return cursor <= 1 ? 3 : cursor - 1;
}
constexpr int CursorRight(int cursor) {
  return cursor >= 3 ? 1 : cursor + 1;
}

// The figure's pose 0..5; 5 is the resting pose, which every change leaves
// for 0.
constexpr uint8_t PoseUp(uint8_t pose) {
  return pose == 5 ? 0 : static_cast<uint8_t>(std::min(pose + 1, 4));
}
constexpr uint8_t PoseDown(uint8_t pose) {
  return pose == 5 ? 0 : static_cast<uint8_t>(std::max(pose - 1, 0));
}
constexpr uint8_t PoseToggle(uint8_t pose) {
  return pose == 5 ? 0 : 5;
}

// The next colour scheme, wrapping over 0..highest; back with Shift or Alt.
// A value that was out of range comes back in at the wrap point, so a
// stale setting never selects a scheme that was not loaded.
constexpr int StepColour(int colour, int highest, bool back) {
  int next = colour + (back ? -1 : 1);
  if (next >= 0 && next <= highest) return next;
  return back ? highest : 0;
}

}  // namespace kelvane::menu
