// What the judge decided: one event for every change of a player's score,
// told to the trace and to whoever listens (the coach panel of either host,
// the tests). The score in the frames is the sum of these events' points.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

struct Game;
struct ActionRow;

enum class JudgeWhy : uint8_t {
  kFirstTime,      // a move's first time in this play
  kRepeat,         // a move done before; repeat tells how often of late
  kLandingHit,     // the landing key in time: its bonus
  kLandingMissed,  // a wrong or late landing key (the fall follows with the next move)
  kFall,           // the landing was never made
  kBonus,          // the turn ended early: time left is paid
  kReset,          // a match starts from nothing
  kHeadStart,      // the second player's head start
};

struct JudgeEvent {
  uint32_t t = 0;
  int player = 1;     // 1 or 2
  int points = 0;     // the real change: total after minus total before
  int asked = 0;      // the points the rule gave, before the limits and the lock
  int32_t total = 0;  // the score after
  JudgeWhy why = JudgeWhy::kFirstTime;
  int repeat = 0;     // for a repeat: times the move was among the last four
  int code = 0;       // the command typed, 0 when none
  std::string move;   // the move's name (UTF-8), empty when none
};

// The trace's word for a reason.
const char* JudgeWhyName(JudgeWhy why);

class JudgeListener {
 public:
  virtual ~JudgeListener() = default;
  virtual void OnJudge(Game& g, const JudgeEvent& e) = 0;
  // After every frame step, so a listener can follow the scenes.
  virtual void OnFrame(Game&) {}
};

// The listeners of one game; a host adds its coach, a test its recorder.
struct JudgeHub {
  std::vector<JudgeListener*> listeners;
  void Add(JudgeListener* l) { listeners.push_back(l); }
  void Remove(JudgeListener* l);
};

// Fills in the time, names the move from row and hands the event to the
// trace and every listener.
void PublishJudge(Game& g, JudgeEvent e, const ActionRow* row = nullptr);

// Sets a player's score outright (a reset, a head start) and says so.
void SetScore(Game& g, int player, int32_t total, JudgeWhy why);

}  // namespace kelvane
