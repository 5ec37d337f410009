// The trace of a run (--trace), one JSON object per line: the window and the
// headless harness write the same kinds of events through here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kelvane {

struct Game;
struct JudgeEvent;

class TraceLog {
 public:
  // Writes to an open file; the caller keeps ownership.
  explicit TraceLog(std::FILE* out) : out_(out) {}

  void Frame(Game& g);
  void SoundEffect(uint32_t tick, int n);
  // op is open, play, stop or close; extra is a JSON fragment such as
  // "\"file\":\"...\",\"length\":12000" or empty.
  void Music(uint32_t tick, const std::string& op, const std::string& extra);
  void Caption(uint32_t tick, const std::string& sjisText);
  // A key handed to the game; keys typed into the command list say so.
  void Key(uint32_t tick, bool down, int vk, bool commandList);
  void Pointer(uint32_t tick, int x, int y);
  void Close(uint32_t tick);
  // A change of a player's score and its reason.
  void Judge(const JudgeEvent& e);
  void Line(const std::string& json);

 private:
  std::FILE* out_;
};

// A JSON string literal (with quotes) of a UTF-8 text.
std::string JsonString(const std::string& utf8);

}  // namespace kelvane
