#include "platform/qt/vk_map.h"

#include <gtest/gtest.h>

#include <Qt>

namespace kelvane {
namespace {

TEST(VirtualKeys, MainKeysMapToTheirWindowsCodes) {
  struct Case {
    int key;
    int vk;
  } cases[] = {
      {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},     {Qt::Key_Return, 13},   {Qt::Key_Shift, 16},
      {Qt::Key_Control, 17},  {Qt::Key_Alt, 18},    {Qt::Key_Pause, 19},    {Qt::Key_Escape, 27},
      {Qt::Key_Space, 32},    {Qt::Key_PageUp, 33}, {Qt::Key_PageDown, 34}, {Qt::Key_End, 35},
      {Qt::Key_Home, 36},     {Qt::Key_Left, 37},   {Qt::Key_Up, 38},       {Qt::Key_Right, 39},
      {Qt::Key_Down, 40},     {Qt::Key_Delete, 46}, {Qt::Key_0, 48},        {Qt::Key_9, 57},
      {Qt::Key_A, 65},        {Qt::Key_N, 78},      {Qt::Key_Y, 89},        {Qt::Key_Z, 90},
      {Qt::Key_Menu, 93},     {Qt::Key_F1, 112},    {Qt::Key_F12, 123},     {Qt::Key_F24, 135},
  };
  for (const auto& c : cases) EXPECT_EQ(QtKeyToVk(c.key, false), c.vk) << std::hex << c.key;
}

TEST(VirtualKeys, KeypadWithNumLockOnAndOff) {
  for (int d = 0; d <= 9; ++d) EXPECT_EQ(QtKeyToVk(Qt::Key_0 + d, true), 96 + d);
  // NumLock off: the keypad sends the cursor keys and Clear.
  EXPECT_EQ(QtKeyToVk(Qt::Key_Left, true), 37);
  EXPECT_EQ(QtKeyToVk(Qt::Key_Up, true), 38);
  EXPECT_EQ(QtKeyToVk(Qt::Key_Right, true), 39);
  EXPECT_EQ(QtKeyToVk(Qt::Key_Down, true), 40);
  EXPECT_EQ(QtKeyToVk(Qt::Key_Clear, true), 12);
  EXPECT_EQ(QtKeyToVk(Qt::Key_Enter, true), 13);
  EXPECT_EQ(QtKeyToVk(Qt::Key_Asterisk, true), 106);
  EXPECT_EQ(QtKeyToVk(Qt::Key_Plus, true), 107);
}

TEST(VirtualKeys, UnknownKeysHaveNoCode) {
  EXPECT_EQ(QtKeyToVk(Qt::Key_Launch0, false), 0);
  EXPECT_EQ(QtKeyToVk(Qt::Key_unknown, false), 0);
}

}  // namespace
}  // namespace kelvane
