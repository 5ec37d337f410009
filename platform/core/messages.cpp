#include "platform/core/messages.h"

#include "platform/platform.h"

namespace kelvane {

namespace {

// "ja", "ja_JP.UTF-8", "ja_JP@...": a Japanese locale name.
bool Japanese(const std::string& name) {
  return name.compare(0, 2, "ja") == 0 &&
         (name.size() == 2 || name[2] == '_' || name[2] == '.' || name[2] == '@');
}

}  // namespace

std::string RunLanguage(const std::string& wanted,
                        const std::function<const char*(const char*)>& env) {
  if (!wanted.empty()) return wanted;
  auto get = [&](const char* name) -> std::string {
    const char* value = env ? env(name) : nullptr;
    return value ? value : "";
  };
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (locale = get(name); !locale.empty()) break;
  if (locale.empty() || locale == "C" || locale == "POSIX") return "en";
  // Past the plain C locale, the first language of LANGUAGE has the say, as
  // in the desktop's own programs.
  const std::string first = get("LANGUAGE").substr(0, get("LANGUAGE").find(':'));
  return Japanese(first.empty() ? locale : first) ? "ja" : "en";
}

std::string WordMessage(const std::string& text, const std::string& language,
                        const std::function<std::string(const std::string&)>& writePlace) {
  const std::string suffix = kCannotWrite;
  if (text.size() <= suffix.size() ||
      text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
    return text;
  std::string path = text.substr(0, text.size() - suffix.size());
  if (writePlace) path = writePlace(path);
  return language == "ja" ? path + suffix : "Cannot write to " + path;
}

}  // namespace kelvane
