// The coach's words, English source texts, shown through the host's
// translation (the desktop's translator, the page's table made from the same
// files). KELVANE_TEXT marks a text for the translation files; it is the text.
#pragma once

#include <functional>
#include <string>

#define KELVANE_TEXT(context, text) text

namespace kelvane {

// context and English source text to the text shown; empty: English.
using Translate = std::function<std::string(const char* context, const char* source)>;

// The shown text of a source text.
std::string Tr(const Translate& tr, const char* source);

// Replaces %1, %2, ... in text with the arguments, in order.
std::string Arg(std::string text, std::initializer_list<std::string> args);

// "+1000", "-600", "0".
std::string SignedPoints(int points);

}  // namespace kelvane
