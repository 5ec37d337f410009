#include "platform/qt/language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace kelvane {
namespace {

// The settings write refusal is the one message the game words itself.
constexpr char kCannotWriteSuffix[] = " に書き込めません";

std::unique_ptr<QTranslator>& Installed() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

}  // namespace

std::string ChooseLanguage(const std::string& wanted) {
  if (!wanted.empty()) return wanted;
  return QLocale::system().language() == QLocale::Japanese ? "ja" : "en";
}

bool InstallLanguage(const std::string& language) {
  auto& translator = Installed();
  if (translator) QCoreApplication::removeTranslator(translator.get());
  translator = std::make_unique<QTranslator>();
  if (!translator->load(QString(":/i18n/kelvane_%1.qm").arg(QString::fromStdString(language)))) {
    translator.reset();
    return false;
  }
  QCoreApplication::installTranslator(translator.get());
  return true;
}

QString TranslateMessage(const std::string& utf8,
                         const std::function<std::string(const std::string&)>& writePlace) {
  const std::string suffix = kCannotWriteSuffix;
  if (utf8.size() <= suffix.size() ||
      utf8.compare(utf8.size() - suffix.size(), suffix.size(), suffix) != 0)
    return QString::fromStdString(utf8);
  std::string path = utf8.substr(0, utf8.size() - suffix.size());
  if (writePlace) path = writePlace(path);
  return QCoreApplication::translate("Messages", "%1 に書き込めません")
      .arg(QString::fromStdString(path));
}

}  // namespace kelvane
