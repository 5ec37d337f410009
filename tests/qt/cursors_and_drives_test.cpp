#include <gtest/gtest.h>

#include <QApplication>
#include <set>

#include "platform/cd/cd_drives.h"
#include "platform/qt/game_cursors.h"

namespace kelvane {
namespace {

void EnsureApp() {
  static int argc = 1;
  static char name[] = "kelvane_qt_tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

TEST(GameCursors, ThreeDistinctPicturesWithTheHotSpotOnThePicture) {
  EnsureApp();
  for (int i = 1; i <= kGameCursorCount; ++i) {
    QImage image = GameCursorImage(i);
    ASSERT_FALSE(image.isNull()) << i;
    EXPECT_TRUE(image.hasAlphaChannel()) << i;
    QPoint hot = GameCursorHotSpot(i);
    ASSERT_TRUE(image.rect().contains(hot)) << i;
    EXPECT_EQ(qAlpha(image.pixel(hot)), 255) << "the hot spot of CR" << i << " is on the picture";
    EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, image.height() - 1)), 0) << i;
    QCursor cursor = GameCursor(i);
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor) << i;
    EXPECT_EQ(cursor.hotSpot(), hot) << i;
  }
  EXPECT_NE(GameCursorImage(1), GameCursorImage(2));
  EXPECT_NE(GameCursorImage(2), GameCursorImage(3));
  EXPECT_NE(GameCursorImage(1), GameCursorImage(3));
  EXPECT_TRUE(GameCursorImage(0).isNull());
  EXPECT_TRUE(GameCursorImage(4).isNull());
  EXPECT_EQ(GameCursor(0).shape(), Qt::ArrowCursor);
}

TEST(CdDrives, DevicesGetTwoCharacterDriveLabelsInOrder) {
  auto drives = LabelCdDrives({"/dev/sr0", "/dev/sr1", "/dev/sr0", ""});
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].label, "D:");
  EXPECT_EQ(drives[0].device, "/dev/sr0");
  EXPECT_EQ(drives[1].label, "E:");
  EXPECT_EQ(drives[1].device, "/dev/sr1");

  std::vector<std::string> many;
  for (int i = 0; i < 30; ++i) many.push_back("/dev/sr" + std::to_string(i));
  auto all = LabelCdDrives(many);
  ASSERT_EQ(all.size(), 23u) << "D: to Z:";
  EXPECT_EQ(all.back().label, "Z:");
  for (const CdDrive& d : all) EXPECT_EQ(d.label.size(), 2u);
}

TEST(CdDrives, TheSystemListIsLabelledAndMapsBack) {
  // Whatever drives this machine has (often none), each label leads back to
  // its device and no label is taken twice.
  std::set<std::string> labels;
  for (const CdDrive& d : ListCdDrives()) {
    EXPECT_TRUE(labels.insert(d.label).second) << d.label;
    EXPECT_EQ(CdDeviceForLabel(d.label), d.device);
  }
  EXPECT_EQ(CdDeviceForLabel("non CD"), "");
}

}  // namespace
}  // namespace kelvane
