// The startup settings dialog SPFM: the first window of the program. It fixes
// the data folder and the random seed, shows the stored start-up choices and,
// on OK, hands them to the game and draws the chosen wallpaper.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/cd/cd_drives.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kelvane {

struct Game;

// The dialog's modal results.
inline constexpr int kModalOk = 1;
inline constexpr int kModalCancel = 2;

class TSPFM : public QDialog {
 public:
  // Runs FormCreate: seeds g's generator (seed, else the clock), sets
  // dataFolder and loads the stored choices into the controls. cdDrives are
  // listed after "non CD".
  TSPFM(Game& g, const std::string& dataFolder, std::optional<uint32_t> seed,
        std::vector<CdDrive> cdDrives, QWidget* parent = nullptr);

  // OK stores the choices and draws the wallpaper, then closes with 1;
  // Cancel, Esc and the close box close with 2 and store nothing.
  void Button1Click();
  void Button3Click();
  void ComboBox2Change();
  void ComboBox3Change();
  void Edit01Change(QLineEdit* edit);

  void reject() override;

  // How much wider than its base layout the dialog was laid out so that
  // every text fits the fonts in use (1 when they all fit as they are).
  double LayoutFactor() const { return layoutFactor_; }

  QLabel* Label1;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QRadioButton* RadioButton3;
  QLabel* Label2;
  QComboBox* ComboBox1;
  QLabel* Label3;
  QComboBox* ComboBox2;
  QComboBox* ComboBox3;
  QFrame* Panel1;
  QLabel* Image1;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox3;
  QCheckBox* CheckBox4;
  QLineEdit* Edit1;
  QLabel* Label4;
  QLineEdit* Edit01;
  QLineEdit* Edit02;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;

 private:
  void BuildControls();
  void SetTabOrder();
  void FormCreate(const std::string& dataFolder, std::optional<uint32_t> seed);
  void ShowPreview(QComboBox* list, const char* prefix, QRect place);
  void LimitEntryLine();
  void FitTextsToFonts();
  int TextWidthNeeded(QWidget* w) const;

  Game& g_;
  std::vector<CdDrive> cdDrives_;
  double layoutFactor_ = 1.0;
};

// The families that stand in for the dialog's Windows fonts on this system.
QFont DialogFont();     // "ＭＳ Ｐゴシック", 12 pixels
QFont EntryEditFont();  // "Courier", 13 pixels

}  // namespace kelvane
