// The language of the windows: the startup dialog, the message boxes and
// the command list's captions. The game's own texts are the Japanese ones;
// other languages come from the translations built into the program.
// Texts the game stores in files or draws itself never change.
#pragma once

#include <QString>
#include <functional>
#include <string>

namespace kelvane {

// "ja" or "en": the wanted one (--lang), else the locale's, decided as the
// headless host decides it (RunLanguage).
std::string ChooseLanguage(const std::string& wanted);

// Installs the translation for the language into the running application,
// replacing the one installed before. Returns false when it is missing.
bool InstallLanguage(const std::string& language);

// A message box text from the game in the window language (WordMessage). A
// file the game could not write is named by where the write went.
QString TranslateMessage(const std::string& utf8,
                         const std::function<std::string(const std::string&)>& writePlace = {});

}  // namespace kelvane
