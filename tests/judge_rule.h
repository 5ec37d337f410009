// Every change of a score in a trace is explained by its judge lines: the
// points of the judge lines between two frames add up to the change of that
// player's score, and each line's total is the score it leaves.
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace kelvane::test {

// The number after "key": in a flat JSON line; nothing when absent.
inline bool JsonNumber(const std::string& line, const std::string& key, long& out) {
  const std::string mark = "\"" + key + "\":";
  const size_t at = line.find(mark);
  if (at == std::string::npos) return false;
  char* end = nullptr;
  out = std::strtol(line.c_str() + at + mark.size(), &end, 10);
  return end != line.c_str() + at + mark.size();
}

// The problems found, at most a few, each naming its line; empty when the
// rule holds. judged counts the judge lines seen.
inline std::vector<std::string> JudgeRuleProblems(const std::string& trace, long* judged = nullptr) {
  std::vector<std::string> problems;
  long expect[3] = {0, 0, 0};
  long lineNo = 0, judges = 0;
  std::istringstream in(trace);
  for (std::string line; std::getline(in, line) && problems.size() < 5;) {
    ++lineNo;
    const std::string where = "line " + std::to_string(lineNo) + ": ";
    if (line.find("\"ev\":\"judge\"") != std::string::npos) {
      ++judges;
      long player = 0, points = 0, total = 0;
      if (!JsonNumber(line, "player", player) || (player != 1 && player != 2) ||
          !JsonNumber(line, "points", points) || !JsonNumber(line, "total", total) ||
          line.find("\"why\":\"") == std::string::npos) {
        problems.push_back(where + "a judge line without player, points, total or why: " + line);
        continue;
      }
      expect[player] += points;
      if (total != expect[player])
        problems.push_back(where + "total " + std::to_string(total) + " but the points make " +
                           std::to_string(expect[player]));
      expect[player] = total;
    } else if (line.find("\"ev\":\"frame\"") != std::string::npos) {
      for (long p = 1; p <= 2; ++p) {
        long score = 0;
        if (!JsonNumber(line, "score" + std::to_string(p), score)) continue;
        if (score != expect[p])
          problems.push_back(where + "score" + std::to_string(p) + " is " + std::to_string(score) +
                             " but the judge lines explain " + std::to_string(expect[p]));
        expect[p] = score;
      }
    }
  }
  if (judged) *judged = judges;
  return problems;
}

}  // namespace kelvane::test
