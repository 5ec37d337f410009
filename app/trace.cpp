#include "app/trace.h"

#include "app/game.h"
#include "coach/judge.h"
#include "platform/core/text_codec.h"

namespace kelvane {

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

void TraceLog::Line(const std::string& json) {
  std::fputs(json.c_str(), out_);
  std::fputc('\n', out_);
}

void TraceLog::Frame(Game& g) {
  // Scene-specific fields are appended by the scenes that own them.
  std::string line = "{\"t\":" + std::to_string(g.Now()) + ",\"ev\":\"frame\",\"scene\":" +
                     std::to_string(static_cast<uint8_t>(g.st.sceneCode)) +
                     ",\"sub\":" + std::to_string(g.st.subStep()) +
                     ",\"row\":" + std::to_string(g.motion.currentRow) +
                     ",\"x\":" + std::to_string(g.motion.posX) +
                     ",\"y\":" + std::to_string(g.motion.posY) +
                     ",\"face\":" + std::to_string(g.motion.facesRight) +
                     ",\"code\":" + std::to_string(g.cmd.commandCode) +
                     ",\"weight\":" + std::to_string(g.cmd.commandWeight) +
                     ",\"mode\":" + std::to_string(g.st.playMode) +
                     ",\"score1\":" + std::to_string(g.cmd.scoreSlots[1]) +
                     ",\"score2\":" + std::to_string(g.cmd.scoreSlots[2]);
  Line(line + "}");
}

void TraceLog::SoundEffect(uint32_t tick, int n) {
  Line("{\"t\":" + std::to_string(tick) + ",\"ev\":\"sfx\",\"n\":" + std::to_string(n) + "}");
}

void TraceLog::Music(uint32_t tick, const std::string& op, const std::string& extra) {
  Line("{\"t\":" + std::to_string(tick) + ",\"ev\":\"music\",\"op\":" + JsonString(op) +
       (extra.empty() ? "" : "," + extra) + "}");
}

void TraceLog::Caption(uint32_t tick, const std::string& sjisText) {
  Line("{\"t\":" + std::to_string(tick) + ",\"ev\":\"caption\",\"text\":" +
       JsonString(SjisToUtf8(sjisText)) + "}");
}

void TraceLog::Key(uint32_t tick, bool down, int vk, bool commandList) {
  Line("{\"t\":" + std::to_string(tick) + ",\"ev\":\"key\",\"op\":\"" + (down ? "down" : "up") +
       "\",\"vk\":" + std::to_string(vk) + (commandList ? ",\"form\":\"keyFM\"}" : "}"));
}

void TraceLog::Pointer(uint32_t tick, int x, int y) {
  Line("{\"t\":" + std::to_string(tick) + ",\"ev\":\"pointer\",\"x\":" + std::to_string(x) +
       ",\"y\":" + std::to_string(y) + "}");
}

void TraceLog::Close(uint32_t tick) {
  Line("{\"t\":" + std::to_string(tick) + ",\"ev\":\"close\"}");
}

void TraceLog::Judge(const JudgeEvent& e) {
  std::string line = "{\"t\":" + std::to_string(e.t) + ",\"ev\":\"judge\",\"player\":" +
                     std::to_string(e.player) + ",\"points\":" + std::to_string(e.points) +
                     ",\"total\":" + std::to_string(e.total) + ",\"why\":\"" +
                     JudgeWhyName(e.why) + "\"";
  if (e.asked != e.points) line += ",\"asked\":" + std::to_string(e.asked);
  if (e.why == JudgeWhy::kRepeat) line += ",\"repeat\":" + std::to_string(e.repeat);
  if (e.code != 0) line += ",\"code\":" + std::to_string(e.code);
  if (!e.move.empty()) line += ",\"move\":" + JsonString(e.move);
  Line(line + "}");
}

}  // namespace kelvane
