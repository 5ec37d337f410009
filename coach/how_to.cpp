#include "coach/how_to.h"

namespace kelvane {
namespace {

std::string HowToTr(const Translate& tr, const char* source) {
  if (!tr) return source;
  std::string shown = tr("HowTo", source);
  return shown.empty() ? std::string(source) : shown;
}

std::string Escaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else out += c;
  }
  return out;
}

}  // namespace

HowTo MakeHowTo(const Translate& tr) {
  HowTo h;
  h.title = HowToTr(tr, KELVANE_TEXT("HowTo", "How to play"));
  auto add = [&](const char* heading, const char* text) {
    h.sections.emplace_back(HowToTr(tr, heading), HowToTr(tr, text));
  };
  add(KELVANE_TEXT("HowTo", "The game"),
      KELVANE_TEXT("HowTo",
                   "A dancer stands on a small stage while a tune plays. You type short "
                   "commands that start her moves, and the moves score points. A match is two "
                   "turns: yours and the computer's (or a second player's)."));
  add(KELVANE_TEXT("HowTo", "Typing a command"),
      KELVANE_TEXT("HowTo",
                   "A command is up to four keys from the arrow keys and the buttons Y and N. "
                   "After the last key, or a short pause, the move starts. Left and Right mean "
                   "forward and back as the dancer faces."));
  add(KELVANE_TEXT("HowTo", "A turn"),
      KELVANE_TEXT("HowTo",
                   "When the stage shows your turn, type an opening command if you like and "
                   "press Return. The turn ends with its tune, or earlier with Return: the time "
                   "left is paid as a bonus."));
  add(KELVANE_TEXT("HowTo", "Saving and loading a run"),
      KELVANE_TEXT("HowTo",
                   "After a turn the game offers to save it for about two seconds: press Shift "
                   "or Alt, or click. Shift or Alt while a turn is about to start opens the "
                   "saved runs, to load one and watch it."));
  add(KELVANE_TEXT("HowTo", "Help while playing"),
      KELVANE_TEXT("HowTo",
                   "F1 shows the command list: every move, its keys and its points. F2 shows or "
                   "hides the coach beside the stage, which says what to press now and why each "
                   "move scored."));
  add(KELVANE_TEXT("HowTo", "Points"),
      KELVANE_TEXT("HowTo",
                   "A move's first time pays most. A move done again pays less, and one done "
                   "three or four times among your last moves costs points: vary your moves. "
                   "Some moves ask for a landing key: press it in time for a bonus. Miss it and "
                   "your next move is a fall, which costs points."));
  h.close = HowToTr(tr, KELVANE_TEXT("HowTo", "Let's dance"));
  return h;
}

std::string HowToHtml(const HowTo& h) {
  std::string out = "<h2>" + Escaped(h.title) + "</h2>";
  for (const auto& [heading, text] : h.sections)
    out += "<p><b>" + Escaped(heading) + "</b><br>" + Escaped(text) + "</p>";
  return out;
}

}  // namespace kelvane
