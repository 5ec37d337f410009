// The one-screen how-to for a new player, the same for the window and the
// page: a title and a few headed paragraphs, in the player's language.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "coach/coach_text.h"

namespace kelvane {

struct HowTo {
  std::string title;
  std::vector<std::pair<std::string, std::string>> sections;  // heading, paragraph
  std::string close;  // the button that closes it
};

HowTo MakeHowTo(const Translate& tr);
// As HTML (headings and paragraphs, text escaped), for a rich-text label.
std::string HowToHtml(const HowTo& h);

}  // namespace kelvane
