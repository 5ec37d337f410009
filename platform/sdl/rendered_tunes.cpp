#include "platform/sdl/rendered_tunes.h"

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "music/audio_length.h"
#include "music/midi_events.h"
#include "platform/sdl/midi_source.h"
#include "platform/sdl/synthesiser.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

// File: magic, key, frames (little-endian 64-bit), then the frames.
constexpr char kMagic[8] = {'K', 'V', 'T', 'U', 'N', 'E', '1', '\0'};
constexpr size_t kHeaderBytes = 24;
constexpr size_t kFrameBytes = 4;
constexpr const char* kSuffix = ".pcm";
// A half-written file this old belongs to a program that was stopped.
constexpr auto kStaleTemporary = std::chrono::minutes(10);

struct Store {
  std::mutex m;
  std::condition_variable idle;
  std::string folder;
  int writing = 0;
  // Renders that could not be written are not tried again in this run (a
  // full disk would otherwise be reported at every loop of a tune).
  std::set<uint64_t> failed;
};

Store& S() {
  static Store& s = *new Store;  // writers may outlive the program's statics
  return s;
}

uint64_t Fnv(uint64_t h, const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
  return h;
}

std::string NameOf(uint64_t key) {
  char name[32];
  std::snprintf(name, sizeof name, "%016llx%s", static_cast<unsigned long long>(key), kSuffix);
  return name;
}

enum class RenderName { Other, Render, Temporary };

// A render is named by 16 hex digits and the suffix; its temporary adds
// ".tmp" and the writer's process id.
RenderName KindOf(const std::string& name) {
  constexpr size_t kDigits = 16;
  const size_t base = kDigits + std::strlen(kSuffix);
  if (name.size() < base || name.compare(kDigits, std::strlen(kSuffix), kSuffix) != 0)
    return RenderName::Other;
  for (size_t i = 0; i < kDigits; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return RenderName::Other;
  if (name.size() == base) return RenderName::Render;
  const std::string rest = name.substr(base);
  if (rest.size() > 4 && rest.starts_with(".tmp") &&
      rest.find_first_not_of("0123456789", 4) == std::string::npos)
    return RenderName::Temporary;
  return RenderName::Other;
}

void PutU64(unsigned char* at, uint64_t v) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}

uint64_t GetU64(const unsigned char* at) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | at[i];
  return v;
}

bool WriteWhole(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

struct RenderFile {
  fs::file_time_type used;
  uint64_t size;
  fs::path path;
};

// The renders in the folder; leftovers of stopped writers go on the way.
std::vector<RenderFile> RendersIn(const std::string& folder) {
  std::vector<RenderFile> renders;
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    std::error_code e2;
    if (!e.is_regular_file(e2)) continue;
    const std::string name = e.path().filename().string();
    const auto used = e.last_write_time(e2);
    if (e2) continue;
    // Only files named as ours are ever removed: the folder may be one the
    // player named, with files of their own.
    const RenderName kind = KindOf(name);
    if (kind == RenderName::Temporary) {
      if (now - used > kStaleTemporary) fs::remove(e.path(), e2);
      continue;
    }
    if (kind != RenderName::Render) continue;
    const uint64_t size = e.file_size(e2);
    if (!e2) renders.push_back({used, size, e.path()});
  }
  return renders;
}

uint64_t TotalSize(const std::vector<RenderFile>& renders) {
  uint64_t total = 0;
  for (const RenderFile& r : renders) total += r.size;
  return total;
}

uint64_t RenderFileSize(uint64_t frames) {
  return kHeaderBytes + frames * kFrameBytes;
}

// Oldest renders go first once the folder passes its limit.
void Trim(const std::string& folder) {
  std::vector<RenderFile> renders = RendersIn(folder);
  uint64_t total = TotalSize(renders);
  std::sort(renders.begin(), renders.end(),
            [](const RenderFile& a, const RenderFile& b) { return a.used < b.used; });
  for (const RenderFile& r : renders) {
    if (total <= kRenderedTunesLimitBytes) break;
    std::error_code e2;
    if (fs::remove(r.path, e2)) total -= r.size;
  }
}

bool Write(const std::string& folder, uint64_t key, const std::vector<int16_t>& pcm) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  const std::string path = folder + NameOf(key);
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  unsigned char header[kHeaderBytes];
  std::memcpy(header, kMagic, sizeof kMagic);
  PutU64(header + 8, key);
  PutU64(header + 16, pcm.size() / 2);
  bool ok = false;
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) {
    ok = WriteWhole(fd, header, sizeof header) &&
         WriteWhole(fd, pcm.data(), pcm.size() * sizeof(int16_t));
    ok = ::close(fd) == 0 && ok;
  }
  // Only a whole file ever takes the render's name.
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    const int why = errno;
    ::unlink(temp.c_str());
    std::fprintf(stderr, "kelvane: the rendered tune %s cannot be written: %s\n", path.c_str(),
                 std::strerror(why));
  }
  Trim(folder);
  return ok;
}

bool IsMidiName(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".mid" || ext == ".midi";
}

}  // namespace

void SetRenderedTunesFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(S().m);
  S().folder = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  S().failed.clear();
}

std::string RenderedTunesFolder() {
  std::lock_guard<std::mutex> lock(S().m);
  return S().folder;
}

uint64_t RenderKey(const MidiScore& score, const std::string& synthSignature) {
  uint64_t h = 0xcbf29ce484222325ull;
  h = Fnv(h, kMagic, sizeof kMagic);
  h = Fnv(h, synthSignature.data(), synthSignature.size());
  h = Fnv(h, &score.lengthFrames, sizeof score.lengthFrames);
  for (const MidiScore::Event& e : score.events) {
    const unsigned char bytes[3] = {e.status, e.data1, e.data2};
    h = Fnv(h, &e.frame, sizeof e.frame);
    h = Fnv(h, bytes, sizeof bytes);
  }
  return h;
}

RenderedTune::~RenderedTune() {
  if (fd_ >= 0) ::close(fd_);
}

bool RenderedTune::Read(uint64_t at, float* out, size_t count) const {
  if (at > frames_ || count > frames_ - at) return false;
  // The 16-bit samples are read into the upper half of out and widened
  // front to back: each float lands on samples already converted.
  char* raw = reinterpret_cast<char*>(out) + count * kFrameBytes;
  const size_t bytes = count * kFrameBytes;
  size_t done = 0;
  while (done < bytes) {
    ssize_t n = ::pread(fd_, raw + done, bytes - done,
                        static_cast<off_t>(kHeaderBytes + at * kFrameBytes + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  for (size_t i = 0; i < count * 2; ++i) {
    int16_t v;
    std::memcpy(&v, raw + i * 2, sizeof v);
    out[i] = static_cast<float>(v) / kRenderScale;
  }
  return true;
}

std::shared_ptr<const RenderedTune> FindRenderedTune(uint64_t key, uint64_t frames) {
  const std::string folder = RenderedTunesFolder();
  if (folder.empty()) return nullptr;
  const std::string path = folder + NameOf(key);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  auto tune = std::shared_ptr<RenderedTune>(new RenderedTune);
  tune->fd_ = fd;
  tune->frames_ = frames;
  unsigned char header[kHeaderBytes];
  struct stat st {};
  if (::pread(fd, header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
      std::memcmp(header, kMagic, sizeof kMagic) != 0 || GetU64(header + 8) != key ||
      GetU64(header + 16) != frames || ::fstat(fd, &st) != 0 ||
      static_cast<uint64_t>(st.st_size) != RenderFileSize(frames))
    return nullptr;  // not ours, or cut short: the synthesiser plays, and a new render replaces it
  // Read ahead of the play, and marked as used for the folder's trimming.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
  ::futimens(fd, nullptr);
  return tune;
}

void StoreRenderedTune(uint64_t key, std::vector<int16_t> pcm) {
  Store& s = S();
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(s.m);
    if (s.folder.empty() || s.failed.count(key)) return;
    folder = s.folder;
    ++s.writing;
  }
  std::thread([folder, key, pcm = std::move(pcm)] {
    const bool ok = Write(folder, key, pcm);
    Store& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    if (!ok) s.failed.insert(key);
    --s.writing;
    s.idle.notify_all();
  }).detach();
}

void WaitForRenderedTunesStored() {
  Store& s = S();
  std::unique_lock<std::mutex> lock(s.m);
  s.idle.wait(lock, [&] { return s.writing == 0; });
}

namespace {

// Rendering aside takes half of one core at most, at the lowest priority:
// the first start prepares its tunes without the fan noticing.
constexpr double kAsideDuty = 0.5;
constexpr size_t kRenderBlock = 4096;

enum class TuneRender {
  Rendered,
  RenderedBefore,
  Unplayable,
  TooLong,
  NotKept,
  NoSoundFont,
  NoRoom,
  Stopped
};

struct Aside {
  std::mutex m;
  std::condition_variable changed;
  bool running = false;
  bool stop = false;
};

Aside& A() {
  static Aside& a = *new Aside;  // the renderer may outlive the program's statics
  return a;
}

std::vector<fs::path> MidiFilesOf(const std::vector<std::string>& folders) {
  std::vector<fs::path> tunes;
  for (const std::string& folder : folders) {
    std::vector<fs::path> here;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
      if (IsMidiName(e.path())) here.push_back(e.path());
    std::sort(here.begin(), here.end());
    tunes.insert(tunes.end(), here.begin(), here.end());
  }
  return tunes;
}

// After work that took `busy`, sleeps long enough to keep the aside
// renderer to its share (duty) of a core; false once it is asked to stop.
bool PaceAside(std::chrono::steady_clock::duration busy, double duty) {
  Aside& a = A();
  std::unique_lock<std::mutex> lock(a.m);
  if (duty < 1.0) a.changed.wait_for(lock, busy * (1.0 / duty - 1.0), [&] { return a.stop; });
  return !a.stop;
}

// Renders the tune at path on a synthesiser of its own unless it has a
// render already: in the foreground at full speed, or aside (asideDuty),
// paced and stopped when asked to.
TuneRender RenderTune(const fs::path& path, const std::string& soundFont,
                      const std::string& signature, std::optional<double> asideDuty,
                      double* seconds) {
  TuneFileResult read = ReadTuneFile(path.string());
  std::optional<MidiTune> tune = read.file ? ReadMidiTune(read.file->midi) : std::optional<MidiTune>();
  if (!tune) return TuneRender::Unplayable;
  std::shared_ptr<const MidiScore> score = ScoreOf(*tune);
  const uint64_t key = RenderKey(*score, signature);
  if (FindRenderedTune(key, score->lengthFrames)) return TuneRender::RenderedBefore;
  if (score->lengthFrames > kMaxRenderFrames || score->lengthFrames == 0) return TuneRender::TooLong;
  // Aside, a render never pushes one out: with more tunes than the folder
  // holds, each start would otherwise render again what the last one threw
  // away.
  if (asideDuty && TotalSize(RendersIn(RenderedTunesFolder())) +
                           RenderFileSize(score->lengthFrames) > kRenderedTunesLimitBytes)
    return TuneRender::NoRoom;
  const auto start = std::chrono::steady_clock::now();
  // A synthesiser fresh for each tune: its effects carry no trace of the
  // tune before, so a render is the same whatever was rendered first.
  PrivateSynth synth(soundFont);
  if (!synth.Get()) return TuneRender::NoSoundFont;
  synth.Load(score->presets);
  MidiSource play(score, 0, score->lengthFrames, 0, {key, nullptr, synth.Get()});
  std::vector<float> block(kRenderBlock * 2);
  while (play.FramesLeft() > 0) {
    const auto from = std::chrono::steady_clock::now();
    play.Render(block.data(), kRenderBlock);
    if (asideDuty && !PaceAside(std::chrono::steady_clock::now() - from, *asideDuty))
      return TuneRender::Stopped;
  }
  WaitForRenderedTunesStored();
  *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return FindRenderedTune(key, score->lengthFrames) ? TuneRender::Rendered : TuneRender::NotKept;
}

}  // namespace

int RenderTunesOf(const std::string& dataFolder) {
  if (RenderedTunesFolder().empty()) {
    std::fprintf(stderr, "kelvane: rendered tunes are turned off\n");
    return 1;
  }
  const std::string soundFont = SoundFontPath();
  const std::string signature = SynthSignature();
  int failed = 0;
  for (const fs::path& path : MidiFilesOf({dataFolder})) {
    const std::string name = path.filename().string();
    double seconds = 0;
    switch (RenderTune(path, soundFont, signature, std::nullopt, &seconds)) {
      case TuneRender::Rendered:
        std::printf("%s: rendered in %.1f s\n", name.c_str(), seconds);
        break;
      case TuneRender::RenderedBefore:
        std::printf("%s: rendered before\n", name.c_str());
        break;
      case TuneRender::TooLong:
        std::printf("%s: too long to keep a render of\n", name.c_str());
        break;
      case TuneRender::Unplayable:
        std::printf("%s: not a MIDI file that can be played\n", name.c_str());
        ++failed;
        break;
      case TuneRender::NotKept:
      case TuneRender::NoRoom:
      case TuneRender::Stopped:
        std::printf("%s: NOT kept\n", name.c_str());
        ++failed;
        break;
      case TuneRender::NoSoundFont:
        std::fprintf(stderr, "kelvane: no soundfont: MIDI tunes cannot be rendered\n");
        return failed + 1;
    }
  }
  return failed;
}

void StartRenderingTunesAside(const std::vector<std::string>& folders, bool gently) {
  Aside& a = A();
  {
    std::lock_guard<std::mutex> lock(a.m);
    if (a.running || RenderedTunesFolder().empty()) return;
    a.running = true;
    a.stop = false;
  }
  // Worked out here: the renderer may outlive the synthesiser's statics.
  const double duty = gently ? kAsideDuty : 1.0;
  std::thread([soundFont = SoundFontPath(), signature = SynthSignature(), folders, gently, duty] {
    pthread_setname_np(pthread_self(), "kelvane-tunes");
    if (gently) {
      sched_param idle{};
      pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
    }
    Aside& a = A();
    if (!signature.empty()) {
      for (const fs::path& path : MidiFilesOf(folders)) {
        double seconds = 0;
        const TuneRender done = RenderTune(path, soundFont, signature, duty, &seconds);
        // A folder that cannot take a render is not tried tune after tune.
        if (done == TuneRender::Stopped || done == TuneRender::NotKept ||
            done == TuneRender::NoSoundFont || done == TuneRender::NoRoom)
          break;
      }
    }
    std::lock_guard<std::mutex> lock(a.m);
    a.running = false;
    a.changed.notify_all();
  }).detach();
}

bool StopRenderingTunesAside(std::chrono::milliseconds wait) {
  Aside& a = A();
  std::unique_lock<std::mutex> lock(a.m);
  a.stop = true;
  a.changed.notify_all();
  return a.changed.wait_for(lock, wait, [&] { return !a.running; });
}

bool WaitForTunesRenderedAside(std::chrono::milliseconds wait) {
  Aside& a = A();
  std::unique_lock<std::mutex> lock(a.m);
  return a.changed.wait_for(lock, wait, [&] { return !a.running; });
}

}  // namespace kelvane
