// Soak: runs the headless game session after session on one copy of the data
// folder with seeded random keys, mouse events and file drops, and checks
// after each session: exit status 0, no sanitizer report, only known scene
// codes in the trace, exactly one close, a well-formed settings file, and a
// peak memory that does not grow from session to session.
//
// Several copies may run at once on the folder, as two players sharing it.
//
// kelvane_soak --game PATH --data DIR [--hours H] [--seed S] [--session-minutes M]
//              [--copies N]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/ini_file.h"
#include "tests/judge_rule.h"

namespace {

namespace fs = std::filesystem;

struct Options {
  std::string game, data;
  double hours = 1;
  uint32_t seed = 1;
  int sessionMinutes = 30;
  int copies = 1;  // sessions running at once, all on the one data folder
};

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Keys a player can reach, weighted like play: mostly directions and the
// buttons, now and then the play, window, backdrop and album keys, rarely
// cancel (which leads to the exit question and so to a restart).
const std::vector<int> kKeys = {37,   38,   39,  40,  37,   38,   39,   40,   37, 38,   39,
                                40,   98,   100, 102, 104,  0x59, 0x41, 0x5A, 13, 32,   0x59,
                                0x41, 0x5A, 13,  32,  0x59, 0x41, 0x5A, 13,   32, 0x4E, 0x42,
                                0x51, 0x58, 19,  35,  0x43, 0x44, 0x53, 0x4D, 9,  17,   33,
                                34,   0x56, 36,  112, 0x31, 0x32, 0x35, 0x39, 46, 16,   18};

// Long enough between events that scenes progress, short enough that every
// menu sees input.
std::string MakeScript(std::mt19937& rng, uint64_t lengthMs,
                       const std::vector<std::string>& tunes) {
  std::ostringstream s;
  std::uniform_int_distribution<int> gap(20, 900), kind(0, 99), hold(10, 400);
  std::uniform_int_distribution<int> x(0, 660), y(0, 500), pick(0, 1 << 30);
  uint64_t t = 500;
  while (t + 1000 < lengthMs) {
    const int k = kind(rng);
    if (k < 70) {
      int vk = kKeys[pick(rng) % kKeys.size()];
      const char* mods = (pick(rng) % 8 == 0) ? " shift" : (pick(rng) % 12 == 0 ? " alt" : "");
      s << t << " key down " << vk << mods << "\n";
      s << t + hold(rng) << " key up " << vk << mods << "\n";
    } else if (k < 85) {
      const char* button[] = {"left", "right", "middle"};
      const char* b = button[pick(rng) % 3];
      int px = x(rng), py = y(rng);
      s << t << " mouse down " << b << " " << px << " " << py << "\n";
      s << t + hold(rng) << " mouse up " << b << " " << x(rng) << " " << y(rng) << "\n";
    } else if (k < 93) {
      s << t << " mouse move " << x(rng) << " " << y(rng) << "\n";
    } else if (k < 98) {
      s << t << " wheel " << (pick(rng) % 2 ? "up" : "down") << " " << x(rng) << " " << y(rng)
        << "\n";
    } else {
      s << t << " drop";
      const int n = 1 + pick(rng) % 3;
      for (int i = 0; i < n; ++i) {
        if (!tunes.empty() && pick(rng) % 3) {
          s << " " << tunes[pick(rng) % tunes.size()];
        } else {
          s << " /nonexistent/soak" << pick(rng) % 100 << (pick(rng) % 2 ? ".mid" : ".txt");
        }
      }
      s << "\n";
    }
    t += gap(rng);
  }
  return s.str();
}

pid_t Spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
  pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) _exit(126);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// Every scene code the game has, as the trace prints it (unsigned byte).
const std::set<int> kScenes = {0, 1, 2, 3, 7, 8, 10, 11, 12, 13, 14, 253, 254, 255};

// The virtual time the session ran: the last event's "t".
uint64_t TraceEndMs(const std::string& trace) {
  size_t at = trace.rfind("{\"t\":");
  return at == std::string::npos ? 0 : std::strtoull(trace.c_str() + at + 5, nullptr, 10);
}

std::vector<std::string> CheckTrace(const std::string& trace, std::set<int>& seen) {
  std::vector<std::string> problems;
  int closes = 0;
  std::istringstream in(trace);
  std::string line;
  while (std::getline(in, line)) {
    if (line.find("\"ev\":\"close\"") != std::string::npos) ++closes;
    size_t at = line.find("\"scene\":");
    if (at == std::string::npos) continue;
    int code = std::atoi(line.c_str() + at + 8);
    seen.insert(code);
    if (!kScenes.count(code)) problems.push_back("unknown scene code " + std::to_string(code));
  }
  if (closes != 1) problems.push_back(std::to_string(closes) + " closes in the trace");
  for (auto& p : kelvane::test::JudgeRuleProblems(trace)) problems.push_back("judge rule: " + p);
  return problems;
}

std::vector<std::string> CheckSettings(const std::string& bytes) {
  std::vector<std::string> problems;
  kelvane::IniFile ini(bytes);
  static const char* const kIntegers[] = {"0:big", "c_max", "color", "SOMmk",
                                          "MUSmk", "MUScx", "NOMAL", "HARD_"};
  static const char* const kTexts[] = {"drive", "wallL", "wallS", "t-com", "ename", "comef"};
  for (const char* key : kIntegers)
    if (!kelvane::ParseInteger(ini.ReadString("Kelvane", key, "x")))
      problems.push_back(std::string("settings key ") + key + " missing or not a number");
  for (const char* key : kTexts)
    if (!ini.HasKey("Kelvane", key))
      problems.push_back(std::string("settings key ") + key + " missing");
  if (ini.ToBytes() != bytes) problems.push_back("settings file does not read back as written");
  return problems;
}

bool HasSanitizerReport(const std::string& err) {
  return err.find("AddressSanitizer") != std::string::npos ||
         err.find("LeakSanitizer") != std::string::npos ||
         err.find("runtime error:") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i], v = argv[i + 1];
    if (k == "--game")
      o.game = v;
    else if (k == "--data")
      o.data = v;
    else if (k == "--hours")
      o.hours = std::atof(v.c_str());
    else if (k == "--seed")
      o.seed = static_cast<uint32_t>(std::strtoul(v.c_str(), nullptr, 10));
    else if (k == "--session-minutes")
      o.sessionMinutes = std::atoi(v.c_str());
    else if (k == "--copies")
      o.copies = std::max(1, std::atoi(v.c_str()));
  }
  if (o.game.empty() || o.data.empty() || o.hours <= 0 || o.sessionMinutes <= 0) {
    std::cerr << "usage: kelvane_soak --game PATH --data DIR [--hours H] [--seed S] "
                 "[--session-minutes M] [--copies N]\n";
    return 2;
  }
  const auto wallStart = std::chrono::steady_clock::now();
  fs::path work = fs::temp_directory_path() / ("kelvane_soak_" + std::to_string(getpid()));
  fs::remove_all(work);
  fs::create_directories(work);
  fs::path data = work / "data";
  fs::copy(o.data, data, fs::copy_options::recursive);
  std::vector<std::string> tunes;
  for (const auto& e : fs::directory_iterator(data))
    if (e.path().extension() == ".mid") tunes.push_back(e.path().string());

  std::mt19937 rng(o.seed);
  const uint64_t totalMs = static_cast<uint64_t>(o.hours * 3600.0 * 1000.0);
  const uint64_t sessionMs = static_cast<uint64_t>(o.sessionMinutes) * 60 * 1000;
  struct Running {
    int session;
    uint32_t seed;
    uint64_t length;
    fs::path dir;
  };
  std::map<pid_t, Running> running;
  // Virtual time run so far, counting running sessions at their full length.
  uint64_t plannedMs = 0, doneMs = 0;
  int session = 0, failures = 0;
  long firstPeak = 0;
  std::set<int> scenesSeen;
  while (true) {
    // Past a few failures the rest would only repeat them.
    const bool givingUp = failures >= 10;
    while (!givingUp && static_cast<int>(running.size()) < o.copies && plannedMs < totalMs) {
      const uint64_t length = std::min(sessionMs, totalMs - plannedMs);
      const uint32_t seed = rng();
      // Half the sessions end by the window's close, the rest at --run-ms.
      std::string script = MakeScript(rng, length, tunes);
      if (rng() % 2 == 0) script += std::to_string(length - 500) + " close\n";
      fs::path dir = work / ("s" + std::to_string(session));
      fs::create_directories(dir);
      std::ofstream(dir / "input.txt") << script;
      std::vector<std::string> args = {o.game,     "--headless",
                                       "--data",   data.string(),
                                       "--seed",   std::to_string(seed),
                                       "--run-ms", std::to_string(length),
                                       "--input",  (dir / "input.txt").string(),
                                       "--trace",  (dir / "trace.json").string()};
      running[Spawn(args, dir / "out.txt", dir / "err.txt")] = {session++, seed, length, dir};
      plannedMs += length;
    }
    if (running.empty()) break;
    int wstatus = 0;
    rusage usage{};
    const pid_t pid = wait4(-1, &wstatus, 0, &usage);
    if (pid <= 0 || !running.count(pid)) continue;
    const Running r = running[pid];
    running.erase(pid);
    const int status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    std::vector<std::string> problems;
    if (status != 0) problems.push_back("exit status " + std::to_string(status));
    const std::string err = ReadAll(r.dir / "err.txt");
    if (HasSanitizerReport(err)) problems.push_back("sanitizer report:\n" + err.substr(0, 4000));
    const std::string trace = ReadAll(r.dir / "trace.json");
    for (auto& p : CheckTrace(trace, scenesSeen)) problems.push_back(p);
    for (auto& p : CheckSettings(ReadAll(data / "Kelvane.ini"))) problems.push_back(p);
    if (firstPeak == 0) firstPeak = usage.ru_maxrss;
    // One session may touch more scenes than the first, but a leak shows as
    // steady growth well past that.
    if (usage.ru_maxrss > firstPeak * 3 / 2 + 64 * 1024)
      problems.push_back("peak memory " + std::to_string(usage.ru_maxrss / 1024) +
                         " MB, first session " + std::to_string(firstPeak / 1024) + " MB");
    if (!problems.empty()) {
      ++failures;
      std::cerr << "session " << r.session << " (seed " << r.seed << ", kept in " << r.dir
                << "):\n";
      for (auto& p : problems) std::cerr << "  " << p << "\n";
    } else {
      fs::remove_all(r.dir);
    }
    // A player who quits ends the session early; another session starts
    // the game again on the same folder.
    const uint64_t ran = std::clamp<uint64_t>(TraceEndMs(trace), 1000, r.length);
    plannedMs = plannedMs - r.length + ran;
    doneMs += ran;
  }
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  std::cout << "soak: " << session << " sessions, " << doneMs / 3600000.0 << " virtual hours, "
            << wall << " s wall, first peak " << firstPeak / 1024 << " MB, scenes seen:";
  for (int s : scenesSeen) std::cout << " " << s;
  std::cout << ", " << failures << " failing sessions\n";
  if (failures == 0) fs::remove_all(work);
  return failures == 0 ? 0 : 1;
}
