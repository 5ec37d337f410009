#include "platform/qt/language.h"

#include <QCoreApplication>
#include <QTranslator>
#include <cstdlib>
#include <memory>

#include "platform/core/messages.h"

namespace kelvane {
namespace {

std::unique_ptr<QTranslator>& Installed() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

// The language of the windows, for the messages the game words itself.
std::string& Current() {
  static std::string language = "en";
  return language;
}

}  // namespace

std::string ChooseLanguage(const std::string& wanted) {
  return RunLanguage(wanted, [](const char* name) { return static_cast<const char*>(std::getenv(name)); });
}

bool InstallLanguage(const std::string& language) {
  Current() = language;
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
  return QString::fromStdString(WordMessage(utf8, Current(), writePlace));
}

}  // namespace kelvane
