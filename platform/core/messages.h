// The language of a run and the game's messages in it. The windows and the
// headless host decide it the same way, so a message reads alike wherever
// it is shown or printed.
#pragma once

#include <functional>
#include <string>

namespace kelvane {

// "ja" or "en": the one asked for (--lang), else Japanese in a Japanese
// locale and English in any other (none set, as under env -i, is English).
// The locale is the messages' one: LC_ALL, else LC_MESSAGES, else LANG; in
// any but the C locale the first entry of LANGUAGE overrides it.
std::string RunLanguage(const std::string& wanted,
                        const std::function<const char*(const char*)>& env);

// A message of the game (UTF-8) in the language. A file the game could not
// write is named by where the write went (writePlace of the game's name for
// it); other messages are the same in both languages.
std::string WordMessage(const std::string& text, const std::string& language,
                        const std::function<std::string(const std::string&)>& writePlace = {});

}  // namespace kelvane
