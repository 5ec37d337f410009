#include "platform/sdl/rendered_tunes.h"

#include <fcntl.h>
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

// Oldest renders go first once the folder passes its limit; leftovers of
// stopped writers go as well.
void Trim(const std::string& folder) {
  struct Entry {
    fs::file_time_type used;
    uint64_t size;
    fs::path path;
  };
  std::vector<Entry> renders;
  uint64_t total = 0;
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
    renders.push_back({used, size, e.path()});
    total += size;
  }
  std::sort(renders.begin(), renders.end(),
            [](const Entry& a, const Entry& b) { return a.used < b.used; });
  for (const Entry& r : renders) {
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
      static_cast<uint64_t>(st.st_size) != kHeaderBytes + frames * kFrameBytes)
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

int RenderTunesOf(const std::string& dataFolder) {
  if (RenderedTunesFolder().empty()) {
    std::fprintf(stderr, "kelvane: rendered tunes are turned off\n");
    return 1;
  }
  StartSynthesiser();
  if (!WaitForSynthesiser(120000)) {
    std::fprintf(stderr, "kelvane: no soundfont: MIDI tunes cannot be rendered\n");
    return 1;
  }
  std::vector<fs::path> tunes;
  std::error_code ec;
  for (const fs::directory_entry& e : fs::directory_iterator(dataFolder, ec))
    if (IsMidiName(e.path())) tunes.push_back(e.path());
  std::sort(tunes.begin(), tunes.end());
  int failed = 0;
  MidiSource::RenderAhead(false);
  std::vector<float> block(4096 * 2);
  for (const fs::path& path : tunes) {
    const std::string name = path.filename().string();
    TuneFileResult read = ReadTuneFile(path.string());
    std::optional<MidiTune> tune =
        read.file ? ReadMidiTune(read.file->midi) : std::optional<MidiTune>();
    if (!tune) {
      std::printf("%s: not a MIDI file that can be played\n", name.c_str());
      ++failed;
      continue;
    }
    std::shared_ptr<const MidiScore> score = ScoreOf(*tune);
    const uint64_t key = RenderKey(*score, SynthSignature());
    if (FindRenderedTune(key, score->lengthFrames)) {
      std::printf("%s: rendered before\n", name.c_str());
      continue;
    }
    if (score->lengthFrames > kMaxRenderFrames || score->lengthFrames == 0) {
      std::printf("%s: too long to keep a render of\n", name.c_str());
      continue;
    }
    const auto start = std::chrono::steady_clock::now();
    const uint64_t presets = KeepPresetsLoaded(score->presets);
    while (!PresetsLoaded(presets)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    MidiSource play(score, 0, score->lengthFrames, presets, {key, nullptr});
    while (play.FramesLeft() > 0) play.Render(block.data(), 4096);
    WaitForRenderedTunesStored();
    const bool kept = FindRenderedTune(key, score->lengthFrames) != nullptr;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %s %.1f s of music in %.1f s\n", name.c_str(),
                kept ? "rendered" : "NOT kept:", static_cast<double>(score->lengthFrames) / 44100.0,
                seconds);
    failed += kept ? 0 : 1;
  }
  MidiSource::RenderAhead(true);
  return failed;
}

}  // namespace kelvane
