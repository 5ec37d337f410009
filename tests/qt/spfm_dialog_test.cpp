#include "platform/qt/spfm_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <cmath>
#include <set>

#include "graphics/jpeg_file.h"
#include "graphics/surfaces.h"
#include "platform/core/text_codec.h"
#include "platform/qt/language.h"
#include "tests/fake_platform.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

void EnsureApp() {
  static int argc = 1;
  static char name[] = "kelvane_qt_tests";
  static char* argv[] = {name, nullptr};
  if (!QApplication::instance()) new QApplication(argc, argv);
}

void WriteWallpaper(const std::string& path, int w, int h, uint32_t colour) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h, colour);
  test::WriteAll(path, EncodeJpeg(px.data(), w, h, 95));
}

void Type(QWidget* w, const QString& text) {
  for (QChar c : text) {
    QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &down);
  }
}

std::string Utf8(const QString& s) {
  return s.toStdString();
}

class SpfmDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApp(); }

  // A dialog over dir with the given settings file body and CD drives.
  std::unique_ptr<TSPFM> Open(const std::string& settings = "", std::vector<CdDrive> drives = {}) {
    if (!settings.empty()) test::WriteAll(dir + "Kelvane.ini", "[Kelvane]\n" + settings);
    return std::make_unique<TSPFM>(g, dir, 99u, std::move(drives));
  }

  std::string dir = test::MakeTempDir("spfm");
  test::TestGame t{""};
  Game& g = t.g();
};

TEST_F(SpfmDialogTest, ControlsHaveTheirNamesPlacesAndCaptions) {
  auto d = Open();
  EXPECT_EQ(d->objectName(), "SPFM");
  EXPECT_EQ(d->windowTitle(), "Kelvane");
  // The base layout, widened by one factor where the fonts need it.
  const double f = d->LayoutFactor();
  auto at = [f](int x) { return static_cast<int>(std::ceil(x * f)); };
  EXPECT_EQ(d->size(), QSize(at(590), 144));
  EXPECT_TRUE(d->windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_EQ(d->windowFlags() & Qt::WindowType_Mask, Qt::Tool);

  struct Control {
    const char* name;
    QRect place;
    const char* caption;  // nullptr: no caption to check
  };
  const Control controls[] = {
      {"Label1", {16, 7, 321, 17}, "ゲームプレイ中は 「Ｆ１」 キーで ＨＥＬＰ が見られます。"},
      {"RadioButton1",
       {16, 25, 321, 17},
       "キャラクター１色　起動　　８秒　（初回以後高速化→　８秒）"},
      {"RadioButton2",
       {16, 41, 321, 17},
       "キャラクター２色　起動　５０秒　（初回以後高速化→１０秒）"},
      {"RadioButton3",
       {16, 57, 321, 17},
       "キャラクター３色　起動１００秒　（初回以後高速化→１２秒）"},
      {"Label2", {17, 76, 63, 20}, "ＣＤドライブ"},
      {"ComboBox1", {77, 76, 63, 20}, nullptr},
      {"Label3", {149, 76, 55, 20}, "壁紙大/小"},
      {"ComboBox2", {205, 76, 65, 20}, nullptr},
      {"ComboBox3", {272, 76, 65, 20}, nullptr},
      {"Panel1", {342, 28, 91, 68}, nullptr},
      {"CheckBox1", {448, 31, 121, 17}, "フォームサイズ小"},
      {"CheckBox2", {448, 47, 121, 17}, "環境設定初期化"},
      {"CheckBox3", {448, 63, 121, 17}, "クリア情報初期化"},
      {"CheckBox4", {448, 79, 121, 17}, "カラーデータ再作成"},
      {"Edit1", {16, 101, 561, 20}, nullptr},
      {"Label4", {16, 122, 265, 20}, "エントリーネーム（英字×６） / 出身エリア（英字×７）"},
      {"Edit01", {293, 123, 56, 17}, nullptr},
      {"Edit02", {354, 123, 64, 17}, nullptr},
      {"Button1", {336, 4, 133, 21}, "OK"},
      {"Button2", {472, 4, 105, 21}, "Cancel"},
      {"Button3", {440, 122, 137, 19}, "起動設定初期化"},
  };
  for (const Control& c : controls) {
    QWidget* w = d->findChild<QWidget*>(c.name);
    ASSERT_NE(w, nullptr) << c.name;
    QRect place(at(c.place.x()), c.place.y(), at(c.place.right() + 1) - at(c.place.x()),
                c.place.height());
    if (w == d->Panel1)  // the preview keeps its size and its centre
      place.setRect(at(c.place.x() + c.place.width() / 2) - c.place.width() / 2, c.place.y(),
                    c.place.width(), c.place.height());
    EXPECT_EQ(w->geometry(), place) << c.name;
    if (!c.caption) continue;
    QString text;
    if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) text = button->text();
    EXPECT_EQ(Utf8(text), c.caption) << c.name;
  }
  QWidget* image = d->findChild<QWidget*>("Image1");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->parentWidget(), d->Panel1);
  EXPECT_EQ(d->Panel1->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_TRUE(d->Label1->font().bold());
  EXPECT_TRUE(d->Button1->isDefault());

  EXPECT_EQ(d->Edit1->maxLength(), 100);
  EXPECT_EQ(d->Edit01->maxLength(), 6);
  EXPECT_EQ(d->Edit02->maxLength(), 7);
  for (QLineEdit* e : {d->Edit01, d->Edit02})
    EXPECT_FALSE(e->testAttribute(Qt::WA_InputMethodEnabled)) << Utf8(e->objectName());

  EXPECT_EQ(d->ComboBox1->itemText(0), "non CD");
  EXPECT_EQ(d->ComboBox2->itemText(0), "Random");
  EXPECT_EQ(d->ComboBox3->itemText(0), "Random");
}

// Every caption, list item and entry fits the room its control gives it in
// the fonts installed here, measured the way the style draws them.
// Both languages: the layout widens until every text fits.
TEST_F(SpfmDialogTest, EveryTextFitsItsControlInTheInstalledFontsInBothLanguages) {
  for (const char* language : {"en", "ja"}) {
    SCOPED_TRACE(language);
    ASSERT_TRUE(InstallLanguage(language));
    auto d = Open("", {{"E:", "/dev/sr0"}, {"F:", "/dev/sr1"}});
    // The texts are the language's: the rules' own ones in Japanese.
    const bool english = std::string(language) == "en";
    EXPECT_EQ(Utf8(d->CheckBox1->text()), english ? "Small window" : "フォームサイズ小");
    EXPECT_EQ(Utf8(d->Label4->text()), english
                                           ? "Entry name (6 letters) / Home area (7 letters)"
                                           : "エントリーネーム（英字×６） / 出身エリア（英字×７）");
    EXPECT_EQ(Utf8(TranslateMessage("/x/Kelvane.ini に書き込めません",
                                    [](const std::string& p) { return p + "!"; })),
              english ? "Cannot write to /x/Kelvane.ini!" : "/x/Kelvane.ini! に書き込めません");
    QStyle* style = d->style();
    auto advance = [](QWidget* w, const QString& text) {
      return w->fontMetrics().horizontalAdvance(text);
    };
    for (QLabel* label : d->findChildren<QLabel*>()) {
      if (label == d->Image1) continue;
      EXPECT_LE(advance(label, label->text()), label->width()) << Utf8(label->objectName());
      EXPECT_LE(label->fontMetrics().height(), label->height()) << Utf8(label->objectName());
    }
    for (QAbstractButton* b : d->findChildren<QAbstractButton*>()) {
      QStyleOptionButton opt;
      opt.initFrom(b);
      opt.text = b->text();
      QStyle::SubElement contents = QStyle::SE_PushButtonContents;
      if (qobject_cast<QRadioButton*>(b)) contents = QStyle::SE_RadioButtonContents;
      if (qobject_cast<QCheckBox*>(b)) contents = QStyle::SE_CheckBoxContents;
      const QRect room = style->subElementRect(contents, &opt, b);
      EXPECT_LE(advance(b, b->text()), room.width()) << Utf8(b->objectName());
    }
    for (QComboBox* list : d->findChildren<QComboBox*>()) {
      QStyleOptionComboBox opt;
      opt.initFrom(list);
      const QRect field =
          style->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, list);
      for (int i = 0; i < list->count(); ++i)
        EXPECT_LE(advance(list, list->itemText(i)), field.width())
            << Utf8(list->objectName()) << " " << Utf8(list->itemText(i));
    }
    for (QLineEdit* edit : {d->Edit01, d->Edit02}) {
      QStyleOptionFrame opt;
      opt.initFrom(edit);
      opt.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit);
      const QRect room = style->subElementRect(QStyle::SE_LineEditContents, &opt, edit);
      // QLineEdit keeps 2 pixels free on either side of its text.
      EXPECT_LE(advance(edit, QString(edit->maxLength(), 'W')), room.width() - 4)
          << Utf8(edit->objectName());
    }
    // Nothing was pushed out of the dialog.
    for (QWidget* w : d->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      EXPECT_TRUE(d->rect().contains(w->geometry())) << Utf8(w->objectName());
  }
}

TEST_F(SpfmDialogTest, FontsAreMappedToInstalledFamilies) {
  auto d = Open();
  QFontInfo dialog(d->font());
  EXPECT_EQ(dialog.pixelSize(), 12);
  EXPECT_TRUE(dialog.family().contains("Gothic", Qt::CaseInsensitive)) << Utf8(dialog.family());
  QFontInfo entry(d->Edit01->font());
  EXPECT_EQ(entry.pixelSize(), 13);
  EXPECT_TRUE(entry.fixedPitch()) << Utf8(entry.family());
}

TEST_F(SpfmDialogTest, TabOrderFollowsTheForm) {
  auto d = Open();
  const std::vector<QWidget*> want = {
      d->RadioButton1, d->RadioButton2, d->RadioButton3, d->CheckBox1, d->CheckBox2, d->CheckBox3,
      d->CheckBox4,    d->ComboBox1,    d->ComboBox2,    d->ComboBox3, d->Edit1,     d->Edit01,
      d->Edit02,       d->Button3,      d->Button1,      d->Button2,   d->Panel1};
  std::set<QWidget*> listed(want.begin(), want.end());
  std::vector<QWidget*> got;
  QWidget* w = d->RadioButton1;
  do {
    if (listed.count(w)) got.push_back(w);
    w = w->nextInFocusChain();
  } while (w != d->RadioButton1 && got.size() < want.size());
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_EQ(got[i], want[i]) << "position " << i << ": " << Utf8(got[i]->objectName());
}

TEST_F(SpfmDialogTest, TypedEntryNameIsUpperCasedFilteredAndPaddedOnOk) {
  auto d = Open();
  d->Edit01->clear();
  Type(d->Edit01, "ab c");
  EXPECT_EQ(d->Edit01->text(), "AB_C");
  d->Edit02->clear();
  Type(d->Edit02, "k\u00e9-1");  // a letter outside ASCII is one unknown glyph
  EXPECT_EQ(d->Edit02->text(), "K_-1");
  d->Button1->click();
  EXPECT_EQ(d->result(), kModalOk);
  EXPECT_EQ(g.st.entryName, "AB_C__");
  EXPECT_EQ(g.st.entryArea, "K_-1___");
}

TEST_F(SpfmDialogTest, DemoIdentityGetsItsOwnHomeArea) {
  for (auto [area, stored] : {std::pair{"*$COM$*", "!$COM$!"}, {"*$COM$!", "*$COM$!"}}) {
    auto d = Open();
    d->Edit01->setText("$DEMO$");
    d->Edit02->setText(area);
    d->Button1->click();
    EXPECT_EQ(g.st.entryName, "$DEMO$");
    EXPECT_EQ(g.st.entryArea, stored) << area;
  }
}

TEST_F(SpfmDialogTest, StoredChoicesAreShownAndStoredBack) {
  auto d =
      Open("c_max=9\n0:big=1\nename=zed\ncomef=OSAKA\nt-com=" + Utf8ToSjis("こんにちは") + "\n");
  EXPECT_TRUE(d->RadioButton2->isChecked());
  EXPECT_TRUE(d->CheckBox1->isChecked());
  EXPECT_EQ(d->Edit01->text(), "ZED");
  EXPECT_EQ(d->Edit02->text(), "OSAKA");
  EXPECT_EQ(Utf8(d->Edit1->text()), "こんにちは");
  EXPECT_EQ(g.random.seed(), 99u);
  EXPECT_EQ(g.st.dataFolder, dir);
  d->Button1->click();
  EXPECT_EQ(g.st.colourMax, 1);
  EXPECT_EQ(g.st.windowSizeFlag, 1);
  EXPECT_EQ(g.st.entryLine, Utf8ToSjis("こんにちは"));
  EXPECT_EQ(g.st.entryName, "ZED___");

  for (auto [stored, radio] : {std::pair{"0", 0}, {"2", 2}}) {
    auto e = Open(std::string("c_max=") + stored + "\n");
    QRadioButton* buttons[] = {e->RadioButton1, e->RadioButton2, e->RadioButton3};
    EXPECT_TRUE(buttons[radio]->isChecked()) << stored;
    e->Button1->click();
    EXPECT_EQ(g.st.colourMax, radio);
  }
}

TEST_F(SpfmDialogTest, EntryLineStopsAtOneHundredShiftJisBytes) {
  auto d = Open();
  d->Edit1->setText(QString(80, QChar(0x3042)));  // 80 x "a" in hiragana: 160 bytes
  EXPECT_EQ(d->Edit1->text().size(), 50);
  d->Edit1->setText(QString(100, 'x'));
  EXPECT_EQ(d->Edit1->text().size(), 100);
  d->Button1->click();
  EXPECT_EQ(g.st.entryLine, std::string(100, 'x'));
}

TEST_F(SpfmDialogTest, CdDrivesFollowNonCdAndAMissingStoredDriveSelectsTheLast) {
  std::vector<CdDrive> two = {{"D:", "/dev/sr0"}, {"E:", "/dev/sr1"}};
  auto d = Open("drive=F:\n", two);
  ASSERT_EQ(d->ComboBox1->count(), 3);
  EXPECT_EQ(d->ComboBox1->itemText(1), "D:");
  EXPECT_EQ(d->ComboBox1->itemData(1, Qt::ToolTipRole).toString(), "/dev/sr0");
  EXPECT_EQ(d->ComboBox1->currentText(), "E:");

  auto present = Open("drive=D:\n", two);
  EXPECT_EQ(present->ComboBox1->currentText(), "D:");
  present->Button1->click();
  EXPECT_EQ(g.st.cdDriveName, "D:");

  auto none = Open("drive=D:\n", {});
  EXPECT_EQ(none->ComboBox1->currentText(), "non CD");
  none->Button1->click();
  EXPECT_EQ(g.st.cdDriveName, "non CD");
}

TEST_F(SpfmDialogTest, OnlyCountedWallpapersAreOfferedAndRandomDrawsFromThem) {
  WriteWallpaper(dir + "X_b01.jpg", 40, 30, 0xFF0000);
  WriteWallpaper(dir + "X_b02.jpg", 40, 30, 0x00FF00);
  WriteWallpaper(dir + "X_b04.jpg", 40, 30, 0x0000FF);
  std::set<uint32_t> drawn;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    test::TestGame run("");
    TSPFM d(run.g(), dir, seed, {});
    ASSERT_EQ(d.ComboBox2->count(), 3);
    EXPECT_EQ(d.ComboBox2->itemText(2), "02");
    d.Button1->click();
    uint32_t px = run.g().gfx.mainSurface.PixelColour(20, 15);
    // Quantise: which of the three colours it is.
    drawn.insert(((px >> 16 & 0xFF) > 128 ? 4u : 0u) | ((px >> 8 & 0xFF) > 128 ? 2u : 0u) |
                 ((px & 0xFF) > 128 ? 1u : 0u));
    EXPECT_TRUE(run.fakes.app.messages.empty());
  }
  EXPECT_EQ(drawn, (std::set<uint32_t>{4u, 2u}));  // red and green, never blue
}

TEST_F(SpfmDialogTest, Button3ResetsEveryChoiceButStoresNothing) {
  WriteWallpaper(dir + "X_s01.jpg", 40, 30, 0x808080);
  auto d = Open("c_max=2\n0:big=1\nwallS=01\n", {{"D:", "/dev/sr0"}});
  d->ComboBox1->setCurrentIndex(0);
  for (QCheckBox* box : {d->CheckBox1, d->CheckBox2, d->CheckBox3, d->CheckBox4})
    box->setChecked(true);
  d->ComboBox3Change();
  ASSERT_FALSE(d->Image1->pixmap().isNull());
  d->Edit01->setText("XYZ");
  d->Edit02->setText("TOKYO");
  d->Edit1->setText("hello");
  d->Button3->click();
  EXPECT_TRUE(d->RadioButton2->isChecked());
  for (QCheckBox* box : {d->CheckBox1, d->CheckBox2, d->CheckBox3, d->CheckBox4})
    EXPECT_FALSE(box->isChecked()) << Utf8(box->objectName());
  EXPECT_EQ(d->ComboBox1->currentText(), "D:");
  EXPECT_EQ(d->ComboBox2->currentText(), "Random");
  EXPECT_EQ(d->ComboBox3->currentText(), "Random");
  EXPECT_TRUE(d->Image1->pixmap().isNull());
  EXPECT_EQ(Utf8(d->Edit1->text()), "<エントリーのセリフ>　音と光を超えて、くるね！");
  EXPECT_EQ(d->Edit01->text(), "PELDIX");
  EXPECT_EQ(d->Edit02->text(), "SAPPORO");
  EXPECT_EQ(g.st.colourMax, 1) << "nothing is stored before OK";
  EXPECT_EQ(g.st.entryName, "PELDIX");
}

TEST_F(SpfmDialogTest, PreviewsShowTheChosenWallpaperAtTheirPlaces) {
  WriteWallpaper(dir + "X_b01.jpg", 64, 48, 0x102030);
  test::WriteAll(dir + "X_s01.jpg", "broken");
  auto d = Open();
  EXPECT_TRUE(d->Image1->pixmap().isNull()) << "filling the lists loads no preview";
  d->ComboBox2->setCurrentIndex(1);
  d->ComboBox2Change();
  EXPECT_EQ(d->Image1->geometry(), QRect(0, 0, 91, 68));
  EXPECT_EQ(d->Image1->pixmap().size(), QSize(64, 48));
  QImage shown = d->Image1->pixmap().toImage();
  for (auto [x, y] : {std::pair{5, 5}, {32, 24}, {60, 44}}) {
    QRgb px = shown.pixel(x, y);
    EXPECT_NEAR(qRed(px), 0x10, 10) << x << "," << y;
    EXPECT_NEAR(qGreen(px), 0x20, 10) << x << "," << y;
    EXPECT_NEAR(qBlue(px), 0x30, 10) << x << "," << y;
  }
  EXPECT_TRUE(d->Image1->hasScaledContents());

  d->ComboBox3->setCurrentIndex(1);
  d->ComboBox3Change();
  EXPECT_EQ(d->Image1->geometry(), QRect(3, 2, 85, 64));
  EXPECT_TRUE(d->Image1->pixmap().isNull());
  ASSERT_EQ(t.fakes.app.messages.size(), 1u);
  EXPECT_NE(t.fakes.app.messages[0].find(dir + "X_s01.jpg"), std::string::npos);

  d->ComboBox2->setCurrentIndex(0);
  d->ComboBox2Change();
  EXPECT_TRUE(d->Image1->pixmap().isNull());
  EXPECT_EQ(d->Image1->geometry(), QRect(0, 0, 91, 68));
}

TEST_F(SpfmDialogTest, CancelEscAndTheCloseBoxStoreNothing) {
  enum class How { Cancel, Esc, CloseBox };
  for (How how : {How::Cancel, How::Esc, How::CloseBox}) {
    test::TestGame run("");
    TSPFM d(run.g(), dir, 5u, {});
    d.show();
    d.Edit01->setText("NEWBIE");
    d.RadioButton3->setChecked(true);
    if (how == How::Cancel) d.Button2->click();
    if (how == How::Esc) {
      QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(&d, &esc);
    }
    if (how == How::CloseBox) d.close();
    EXPECT_EQ(d.result(), kModalCancel) << static_cast<int>(how);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(run.g().st.entryName, "PELDIX");
    EXPECT_EQ(run.g().st.colourMax, 1);
    EXPECT_TRUE(run.g().gfx.mainSurface.Empty()) << "no wallpaper drawn";
  }
  EXPECT_TRUE(test::ReadAll(dir + "Kelvane.ini").empty());
}

TEST_F(SpfmDialogTest, OkDrawsTheWallpaperForTheChosenWindowSize) {
  WriteWallpaper(dir + "X_b01.jpg", 40, 30, 0xFF0000);
  WriteWallpaper(dir + "X_s01.jpg", 40, 30, 0x0000FF);
  auto d = Open("wallL=01\nwallS=01\n");
  d->CheckBox1->setChecked(true);
  d->Button1->click();
  uint32_t px = g.gfx.mainSurface.PixelColour(10, 10);
  EXPECT_GT(px & 0xFF, 200u) << std::hex << px;
  EXPECT_LT(px >> 16 & 0xFF, 60u) << std::hex << px;
  EXPECT_EQ(g.gfx.mainSurface.PixelColour(40, 30), 0u);
  EXPECT_EQ(g.st.wallSmall, "01");
}

}  // namespace
}  // namespace kelvane
