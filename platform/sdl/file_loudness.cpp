#include "platform/sdl/file_loudness.h"

#include <SDL_mixer.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "platform/sdl/music_stream.h"
#include "platform/sdl/rendered_tunes.h"

namespace kelvane {
namespace {

constexpr const char* kFileName = "loudness.txt";
// A longer file is not decoded whole to be measured: it plays as made.
constexpr long long kMaxMeasuredBytes = 256ll << 20;
constexpr size_t kMaxFigures = 2000;

struct Figures {
  std::mutex m;
  std::condition_variable idle;
  std::string folder;  // the folder the figures below were read from
  std::map<std::string, LoudnessFigure> known;  // by identity
  std::set<std::string> measuring;
  int running = 0;
};

Figures& F() {
  static Figures& f = *new Figures;  // measurers may outlive the program's statics
  return f;
}

// Path, size and modification time: a file changed in place is measured
// again.
std::optional<std::string> IdentityOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::ostringstream id;
  id << st.st_size << ' ' << st.st_mtim.tv_sec << '.' << st.st_mtim.tv_nsec << ' ' << path;
  return id.str();
}

// One line a file: integrated loudness, true peak, then the identity.
void Load(Figures& f, const std::string& folder) {
  if (f.folder == folder) return;
  f.folder = folder;
  f.known.clear();
  if (folder.empty()) return;  // renders off: figures live for the run only
  std::ifstream in(folder + kFileName);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    double lufs = 0, peak = 0;
    std::string identity;
    if (!(fields >> lufs >> peak) || !std::getline(fields >> std::ws, identity) || identity.empty())
      continue;  // a line we cannot read is measured again
    f.known[identity] = {lufs, peak, true};
  }
}

// Written whole under a temporary name and renamed, so a reader never sees
// half of it.
void Save(const Figures& f) {
  const std::string path = f.folder + kFileName;
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  std::error_code ec;
  std::filesystem::create_directories(f.folder, ec);
  std::FILE* out = std::fopen(temp.c_str(), "wb");
  if (!out) return;
  for (const auto& [identity, figure] : f.known)
    std::fprintf(out, "%.2f %.2f %s\n", figure.integrated_lufs, figure.true_peak_dbtp, identity.c_str());
  bool ok = std::fflush(out) == 0 && ::fsync(fileno(out)) == 0;
  ok = std::fclose(out) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) ::unlink(temp.c_str());
}

LoudnessFigure Measure(const std::string& path) {
  Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
  if (!chunk) return {};
  // The mixer's own format: 16-bit stereo at the stream's rate.
  LoudnessMeter meter(kStreamRate);
  meter.Add(reinterpret_cast<const int16_t*>(chunk->abuf), chunk->alen / 4);
  Mix_FreeChunk(chunk);
  return meter.Result();
}

}  // namespace

std::optional<LoudnessFigure> KnownLoudness(const std::string& identity) {
  const std::string folder = RenderedTunesFolder();
  Figures& f = F();
  std::lock_guard<std::mutex> lock(f.m);
  Load(f, folder);
  auto it = f.known.find(identity);
  if (it == f.known.end()) return std::nullopt;
  return it->second;
}

std::optional<LoudnessFigure> KnownFileLoudness(const std::string& path) {
  std::optional<std::string> identity = IdentityOf(path);
  return identity ? KnownLoudness(*identity) : std::nullopt;
}

void MeasureFileLoudnessAside(const std::string& path) {
  std::optional<std::string> identity = IdentityOf(path);
  struct stat st {};
  if (!identity || ::stat(path.c_str(), &st) != 0 || st.st_size > kMaxMeasuredBytes) return;
  MeasureLoudnessAside(*identity, [path] { return Measure(path); });
}

void MeasureLoudnessAside(const std::string& identity, std::function<LoudnessFigure()> measure) {
  const std::string folder = RenderedTunesFolder();
  if (identity.find('\n') != std::string::npos) return;
  Figures& f = F();
  {
    std::lock_guard<std::mutex> lock(f.m);
    Load(f, folder);
    if (f.known.count(identity) || !f.measuring.insert(identity).second) return;
    ++f.running;
  }
  std::thread([measure = std::move(measure), folder, id = identity] {
    const LoudnessFigure figure = measure();
    Figures& f = F();
    std::lock_guard<std::mutex> lock(f.m);
    f.measuring.erase(id);
    if (figure.valid && f.folder == folder) {
      // Figures of files long gone are dropped once there are many.
      if (f.known.size() >= kMaxFigures) f.known.clear();
      f.known[id] = figure;
      if (!folder.empty()) Save(f);
    }
    --f.running;
    f.idle.notify_all();
  }).detach();
}

bool WaitForFileLoudnessMeasured(std::chrono::milliseconds wait) {
  Figures& f = F();
  std::unique_lock<std::mutex> lock(f.m);
  return f.idle.wait_for(lock, wait, [&] { return f.running == 0; });
}

}  // namespace kelvane
