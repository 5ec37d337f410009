#include "platform/qt/spfm_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/game.h"
#include "config/numbered_files.h"
#include "config/settings.h"
#include "config/startup_choices.h"
#include "graphics/glyph_text.h"
#include "graphics/jpeg_file.h"
#include "platform/core/text_codec.h"

namespace kelvane {
namespace {

constexpr int kClientWidth = 590;
constexpr int kClientHeight = 144;
constexpr int kEntryLineBytes = 100;
constexpr int kEntryNameLength = 6;
constexpr int kEntryAreaLength = 7;
// Image1's place inside Panel1: the large wallpaper fills the panel, the
// small one sits inside a white border.
constexpr QRect kLargePreview(0, 0, 91, 68);
constexpr QRect kSmallPreview(3, 2, 85, 64);
// The gap QLineEdit keeps between its frame and its text, on either side.
constexpr int kLineEditMargin = 2;

QString Qs(const std::string& utf8) {
  return QString::fromStdString(utf8);
}
QString FromSjis(const std::string& sjis) {
  return Qs(SjisToUtf8(sjis));
}
std::string ToSjis(const QString& text) {
  return Utf8ToSjis(text.toStdString());
}

// The first of the families that is installed, so the font does not depend
// on fontconfig's idea of a substitute.
QFont FirstInstalled(const QStringList& families, int pixels, QFont::StyleHint hint) {
  QFont font;
  const QStringList installed = QFontDatabase::families();
  QStringList order;
  for (const QString& f : families)
    if (installed.contains(f, Qt::CaseInsensitive)) order << f;
  order << families;
  font.setFamilies(order);
  font.setStyleHint(hint);
  font.setPixelSize(pixels);
  return font;
}

template <typename W>
W* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
  W* w = new W(parent);
  w->setObjectName(name);
  w->setGeometry(left, top, width, height);
  return w;
}

// The captions in the window language; the game's own are the Japanese ones.
QString Tr(const char* caption) {
  return QCoreApplication::translate("TSPFM", caption);
}

QLabel* MakeLabel(QWidget* parent, const char* name, QRect r, const char* caption) {
  QLabel* label = Place<QLabel>(parent, name, r.x(), r.y(), r.width(), r.height());
  label->setText(Tr(caption));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

template <typename W>
W* MakeButton(QWidget* parent, const char* name, QRect r, const char* caption) {
  W* w = Place<W>(parent, name, r.x(), r.y(), r.width(), r.height());
  w->setText(Tr(caption));
  return w;
}

// Entry name and area: glyph letters only, shown upper case, no input method.
void SetUpGlyphEdit(QLineEdit* edit, int maxLength) {
  edit->setMaxLength(maxLength);
  edit->setFont(EntryEditFont());
  edit->setAttribute(Qt::WA_InputMethodEnabled, false);
  edit->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhUppercaseOnly | Qt::ImhNoPredictiveText);
}

// Each character outside ASCII counts as one unknown glyph, so the filtered
// text keeps the length the user sees.
std::string OneBytePerCharacter(const QString& text) {
  std::string out;
  for (QChar c : text) out += c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '_';
  return out;
}

// An image that owns its pixels: a pixmap made from it may share its data
// long after the decoder's buffer is gone.
QImage ToQImage(const JpegPicture& pic) {
  QImage image(pic.width, pic.height, QImage::Format_RGB32);
  for (int y = 0; y < pic.height; ++y)
    std::memcpy(image.scanLine(y), pic.pixels.data() + static_cast<size_t>(y) * pic.width,
                static_cast<size_t>(pic.width) * sizeof(uint32_t));
  return image;
}

std::string ItemText(const QComboBox* list) {
  return ToSjis(list->currentText());
}

void SelectItem(QComboBox* list, const std::string& sjis) {
  int index = list->findText(FromSjis(sjis));
  list->setCurrentIndex(index >= 0 ? index : 0);
}

}  // namespace

QFont DialogFont() {
  return FirstInstalled({"IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "VL PGothic"}, 12,
                        QFont::SansSerif);
}

QFont EntryEditFont() {
  QFont font =
      FirstInstalled({"Courier", "Courier New", "Liberation Mono", "DejaVu Sans Mono", "Noto Mono"},
                     13, QFont::TypeWriter);
  font.setFixedPitch(true);
  return font;
}

TSPFM::TSPFM(Game& g, const std::string& dataFolder, std::optional<uint32_t> seed,
             std::vector<CdDrive> cdDrives, QWidget* parent)
    : QDialog(parent), g_(g), cdDrives_(std::move(cdDrives)) {
  setObjectName("SPFM");
  setWindowTitle("Kelvane");
  // A tool window with only the close box.
  setWindowFlags(Qt::Dialog | Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  setFont(DialogFont());
  BuildControls();
  SetTabOrder();
  FormCreate(dataFolder, seed);
  FitTextsToFonts();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TSPFM::BuildControls() {
  Label1 = MakeLabel(this, "Label1", {16, 7, 321, 17},
                     "ゲームプレイ中は 「Ｆ１」 キーで ＨＥＬＰ が見られます。");
  QFont bold = font();
  bold.setBold(true);
  Label1->setFont(bold);
  RadioButton1 =
      MakeButton<QRadioButton>(this, "RadioButton1", {16, 25, 321, 17},
                               "キャラクター１色　起動　　８秒　（初回以後高速化→　８秒）");
  RadioButton2 =
      MakeButton<QRadioButton>(this, "RadioButton2", {16, 41, 321, 17},
                               "キャラクター２色　起動　５０秒　（初回以後高速化→１０秒）");
  RadioButton3 =
      MakeButton<QRadioButton>(this, "RadioButton3", {16, 57, 321, 17},
                               "キャラクター３色　起動１００秒　（初回以後高速化→１２秒）");
  Label2 = MakeLabel(this, "Label2", {17, 76, 63, 20}, "ＣＤドライブ");
  ComboBox1 = Place<QComboBox>(this, "ComboBox1", 77, 76, 63, 20);
  Label3 = MakeLabel(this, "Label3", {149, 76, 55, 20}, "壁紙大/小");
  ComboBox2 = Place<QComboBox>(this, "ComboBox2", 205, 76, 65, 20);
  ComboBox3 = Place<QComboBox>(this, "ComboBox3", 272, 76, 65, 20);

  CheckBox1 = MakeButton<QCheckBox>(this, "CheckBox1", {448, 31, 121, 17}, "フォームサイズ小");
  CheckBox2 = MakeButton<QCheckBox>(this, "CheckBox2", {448, 47, 121, 17}, "環境設定初期化");
  CheckBox3 = MakeButton<QCheckBox>(this, "CheckBox3", {448, 63, 121, 17}, "クリア情報初期化");
  CheckBox4 = MakeButton<QCheckBox>(this, "CheckBox4", {448, 79, 121, 17}, "カラーデータ再作成");

  Edit1 = Place<QLineEdit>(this, "Edit1", 16, 101, 561, 20);
  Edit1->setMaxLength(kEntryLineBytes);
  Label4 = MakeLabel(this, "Label4", {16, 122, 265, 20},
                     "エントリーネーム（英字×６） / 出身エリア（英字×７）");
  Edit01 = Place<QLineEdit>(this, "Edit01", 293, 123, 56, 17);
  SetUpGlyphEdit(Edit01, kEntryNameLength);
  Edit02 = Place<QLineEdit>(this, "Edit02", 354, 123, 64, 17);
  SetUpGlyphEdit(Edit02, kEntryAreaLength);

  Button1 = MakeButton<QPushButton>(this, "Button1", {336, 4, 133, 21}, "OK");
  Button1->setDefault(true);
  Button2 = MakeButton<QPushButton>(this, "Button2", {472, 4, 105, 21}, "Cancel");
  Button2->setAutoDefault(false);
  Button3 = MakeButton<QPushButton>(this, "Button3", {440, 122, 137, 19}, "起動設定初期化");
  Button3->setAutoDefault(false);

  // Last in the focus chain, as in the tab order of the form.
  Panel1 = Place<QFrame>(this, "Panel1", 342, 28, 91, 68);
  Panel1->setFrameShape(QFrame::NoFrame);
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(white);
  Image1 = Place<QLabel>(Panel1, "Image1", kLargePreview.x(), kLargePreview.y(),
                         kLargePreview.width(), kLargePreview.height());
  Image1->setScaledContents(true);

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  // Only a choice of the user loads a preview, not the filling of the list.
  connect(ComboBox2, &QComboBox::activated, this, [this] { ComboBox2Change(); });
  connect(ComboBox3, &QComboBox::activated, this, [this] { ComboBox3Change(); });
  connect(Edit01, &QLineEdit::textChanged, this, [this] { Edit01Change(Edit01); });
  connect(Edit02, &QLineEdit::textChanged, this, [this] { Edit01Change(Edit02); });
  connect(Edit1, &QLineEdit::textChanged, this, [this] { LimitEntryLine(); });
}

void TSPFM::SetTabOrder() {
  QWidget* order[] = {RadioButton1, RadioButton2, RadioButton3, CheckBox1, CheckBox2, CheckBox3,
                      CheckBox4,    ComboBox1,    ComboBox2,    ComboBox3, Edit1,     Edit01,
                      Edit02,       Button3,      Button1,      Button2,   Panel1};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TSPFM::FormCreate(const std::string& dataFolder, std::optional<uint32_t> seed) {
  DialogSettings stored = StartupFormCreate(g_, dataFolder, seed);
  std::vector<std::string> labels;
  for (const CdDrive& d : cdDrives_) labels.push_back(d.label);
  WallpaperCounts counts = CountWallpapers(g_);
  StartupChoices c = InitialChoices(stored, labels, counts.large, counts.small);

  CheckBox1->setChecked(c.smallWindow);
  QRadioButton* radio[] = {RadioButton1, RadioButton2, RadioButton3};
  radio[c.colourMax]->setChecked(true);
  radio[c.colourMax]->setFocus();

  ComboBox1->addItem(kNoCdItem);
  for (const CdDrive& d : cdDrives_) {
    ComboBox1->addItem(Qs(d.label));
    ComboBox1->setItemData(ComboBox1->count() - 1, Qs(d.device), Qt::ToolTipRole);
  }
  SelectItem(ComboBox1, c.drive);
  for (auto [list, count, wanted] :
       {std::tuple{ComboBox2, counts.large, c.wallLarge}, {ComboBox3, counts.small, c.wallSmall}}) {
    list->addItem(kRandomItem);
    for (int k = 1; k <= count; ++k) list->addItem(Qs(ZeroPad(2, k)));
    SelectItem(list, wanted);
  }
  Edit1->setText(FromSjis(c.entryLine));
  Edit01->setText(FromSjis(c.entryName));
  Edit02->setText(FromSjis(c.entryArea));
}

// The layout was drawn for the Windows fonts; the fonts here run wider. The
// whole layout widens by one factor, just enough that the widest-needing
// control fits its text, so the controls keep their order and spacing. The
// preview panel keeps its size (the wallpaper's proportions) and its centre.
void TSPFM::FitTextsToFonts() {
  double factor = 1.0;
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w == Panel1) continue;
    factor = std::max(factor, static_cast<double>(TextWidthNeeded(w)) / w->width());
  }
  if (factor <= 1.0) return;
  layoutFactor_ = factor;
  auto scaled = [factor](int x) { return static_cast<int>(std::ceil(x * factor)); };
  for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    QRect r = w->geometry();
    if (w == Panel1)
      r.moveLeft(scaled(r.x() + r.width() / 2) - r.width() / 2);
    else
      r = QRect(scaled(r.x()), r.y(), scaled(r.right() + 1) - scaled(r.x()), r.height());
    w->setGeometry(r);
  }
  setFixedSize(scaled(kClientWidth), kClientHeight);
}

int TSPFM::TextWidthNeeded(QWidget* w) const {
  if (auto* label = qobject_cast<QLabel*>(w))
    return label->fontMetrics().horizontalAdvance(label->text()) + 2 * label->margin() + 1;
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    if (edit == Edit1) return 0;  // a long line that scrolls, as on Windows
    // Room for the full entry: every glyph of the fixed-pitch font is as
    // wide as "W".
    const QFontMetrics fm(edit->font());
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit);
    const QMargins m = edit->textMargins();
    const int text = fm.horizontalAdvance(QString(edit->maxLength(), 'W')) + 2 * kLineEditMargin +
                     m.left() + m.right();
    return edit->style()
        ->sizeFromContents(QStyle::CT_LineEdit, &opt, QSize(text, fm.height()), edit)
        .width();
  }
  if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w))
    return w->sizeHint().width();
  return 0;
}

void TSPFM::Edit01Change(QLineEdit* edit) {
  QString text = edit->text();
  QString filtered = Qs(FilterGlyphText(static_cast<int>(text.size()), OneBytePerCharacter(text)));
  if (filtered == text) return;
  int cursor = edit->cursorPosition();
  edit->setText(filtered);
  edit->setCursorPosition(cursor);
}

// The entry line is stored as at most 100 Shift-JIS bytes; stop typing there
// instead of cutting a double-byte character in half when it is stored.
void TSPFM::LimitEntryLine() {
  QString text = Edit1->text();
  if (ToSjis(text).size() <= static_cast<size_t>(kEntryLineBytes)) return;
  while (!text.isEmpty() && ToSjis(text).size() > static_cast<size_t>(kEntryLineBytes))
    text.chop(1);
  int cursor = std::min(Edit1->cursorPosition(), static_cast<int>(text.size()));
  Edit1->setText(text);
  Edit1->setCursorPosition(cursor);
}

void TSPFM::ShowPreview(QComboBox* list, const char* prefix, QRect place) {
  Image1->clear();
  Image1->setGeometry(place);
  if (list->currentIndex() <= 0) return;  // "Random"
  std::string path = g_.st.dataFolder + prefix + ItemText(list) + ".jpg";
  JpegResult jpeg = ReadJpegFile(*g_.pf.files, path);
  if (!jpeg.ok) {
    g_.pf.app->ShowMessage(jpeg.error);
    return;
  }
  Image1->setPixmap(QPixmap::fromImage(ToQImage(jpeg.picture)));
}

void TSPFM::ComboBox2Change() {
  ShowPreview(ComboBox2, kLargeWallPrefix, kLargePreview);
}

void TSPFM::ComboBox3Change() {
  ShowPreview(ComboBox3, kSmallWallPrefix, kSmallPreview);
}

void TSPFM::Button3Click() {
  RadioButton2->setChecked(true);
  for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4}) box->setChecked(false);
  ComboBox1->setCurrentIndex(ComboBox1->count() - 1);
  ComboBox2->setCurrentIndex(0);
  ComboBox3->setCurrentIndex(0);
  Image1->clear();
  Edit1->setText(FromSjis(DefaultEntryLine()));
  Edit01->setText(Qs(kDefaultEntryName));
  Edit02->setText(Qs(kDefaultEntryArea));
}

void TSPFM::Button1Click() {
  StartupChoices c;
  c.colourMax = RadioButton1->isChecked() ? 0 : RadioButton3->isChecked() ? 2 : 1;
  c.smallWindow = CheckBox1->isChecked();
  c.resetSettings = CheckBox2->isChecked();
  c.resetClearInfo = CheckBox3->isChecked();
  c.rebuildColourData = CheckBox4->isChecked();
  c.drive = ItemText(ComboBox1);
  c.wallLarge = ItemText(ComboBox2);
  c.wallSmall = ItemText(ComboBox3);
  c.entryLine = ToSjis(Edit1->text());
  c.entryName = ToSjis(Edit01->text());
  c.entryArea = ToSjis(Edit02->text());
  setResult(kModalOk);
  StartupOk(g_, c, {ComboBox2->count() - 1, ComboBox3->count() - 1});
  done(kModalOk);
}

void TSPFM::reject() {
  done(kModalCancel);
}

}  // namespace kelvane
