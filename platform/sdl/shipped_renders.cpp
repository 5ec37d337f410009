#include "platform/sdl/shipped_renders.h"

#include <mpg123.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>

#include "music/sound_balance.h"
#include "platform/core/regular_file.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/rendered_tunes.h"
#include "platform/sdl/synthesiser.h"

namespace kelvane {
namespace {

struct Entry {
  uint64_t frames = 0;
  double gainDb = 0;
  LoudnessFigure loudness;
  uint64_t bytes = 0;
  uint64_t checksum = 0;
  std::string file;
};

struct Shipped {
  std::mutex m;
  std::string folder;
  bool listRead = false;
  std::map<uint64_t, Entry> entries;
  // Files checked in this run, by identity (device, inode, size, time);
  // a file that failed is not opened again.
  std::set<std::string> checked, failed;
};

Shipped& S() {
  static Shipped& s = *new Shipped;  // players may outlive the program's statics
  return s;
}

// The list, read once a run. A line that does not read is left out: its
// tune is rendered by the player's synthesiser as if nothing were shipped.
void ReadList(Shipped& s) {
  if (s.listRead) return;
  s.listRead = true;
  std::ifstream in(s.folder + kShippedRendersList);
  std::string line;
  if (!std::getline(in, line) || line != kShippedRendersHeader) return;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key, checksum;
    Entry e;
    double lufs = 0, peak = 0;
    if (!(fields >> key >> e.frames >> e.gainDb >> lufs >> peak >> e.bytes >> checksum)) continue;
    std::getline(fields >> std::ws, e.file);
    if (e.file.empty() || e.file.find('/') != std::string::npos || key.size() != 16 || checksum.size() != 16)
      continue;
    e.loudness = {lufs, peak, std::isfinite(lufs) && std::isfinite(peak)};
    e.checksum = std::strtoull(checksum.c_str(), nullptr, 16);
    s.entries[std::strtoull(key.c_str(), nullptr, 16)] = e;
  }
}

std::string IdentityOf(const struct stat& st) {
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
         std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

// The file's bytes when it is a regular file of the listed size, read
// without ever waiting on a FIFO or device under its name.
bool ReadFile(const std::string& path, uint64_t size, std::string* bytes, std::string* identity) {
  struct stat st {};
  std::string why;
  const int fd = OpenRegular(path, st, why);
  if (fd < 0) return false;
  bool ok = static_cast<uint64_t>(st.st_size) == size;
  if (ok) {
    *identity = IdentityOf(st);
    bytes->resize(size);
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::read(fd, bytes->data() + done, size - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ok = done == size;
  }
  ::close(fd);
  return ok;
}

// mpg123 reads the file from memory: the audio never waits for the disk.
struct Memory {
  const std::string* bytes;
  size_t at = 0;
};

mpg123_ssize_t ReadMemory(void* handle, void* out, size_t size) {
  auto& m = *static_cast<Memory*>(handle);
  const size_t n = std::min(size, m.bytes->size() - m.at);
  std::memcpy(out, m.bytes->data() + m.at, n);
  m.at += n;
  return static_cast<mpg123_ssize_t>(n);
}

off_t SeekMemory(void* handle, off_t offset, int whence) {
  auto& m = *static_cast<Memory*>(handle);
  const off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<off_t>(m.at)
                                                                  : static_cast<off_t>(m.bytes->size());
  const off_t to = base + offset;
  if (to < 0 || to > static_cast<off_t>(m.bytes->size())) return -1;
  m.at = static_cast<size_t>(to);
  return to;
}

class Mp3Reader : public RenderedTune::Reader {
 public:
  Mp3Reader(std::string bytes, double gainDb)
      : bytes_(std::move(bytes)), memory_{&bytes_}, scale_(static_cast<float>(sound_balance::GainFactor(-gainDb))) {}
  ~Mp3Reader() override {
    if (mh_) {
      mpg123_close(mh_);
      mpg123_delete(mh_);
    }
  }

  // Opens the stream and counts its samples: the encoder's delay and
  // padding, named in its first frame, are left out, so the count is the
  // render's.
  bool Open(uint64_t frames) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    mh_ = mpg123_new(nullptr, nullptr);
    if (!mh_) return false;
    mpg123_param(mh_, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    // A seek decodes this many frames before the place first, so the bit
    // reservoir is full and a play from the middle sounds as one from the
    // start.
    mpg123_param(mh_, MPG123_PREFRAMES, 4, 0);
    mpg123_format_none(mh_);
    if (mpg123_format(mh_, kStreamRate, MPG123_STEREO, MPG123_ENC_FLOAT_32) != MPG123_OK ||
        mpg123_replace_reader_handle(mh_, ReadMemory, SeekMemory, nullptr) != MPG123_OK ||
        mpg123_open_handle(mh_, &memory_) != MPG123_OK || mpg123_scan(mh_) != MPG123_OK)
      return false;
    long rate = 0;
    int channels = 0, encoding = 0;
    return mpg123_getformat(mh_, &rate, &channels, &encoding) == MPG123_OK && rate == kStreamRate &&
           channels == 2 && encoding == MPG123_ENC_FLOAT_32 && mpg123_length(mh_) == static_cast<off_t>(frames);
  }

  bool Read(uint64_t at, float* out, size_t count) override {
    std::lock_guard<std::mutex> lock(m_);
    if (failed_) return false;
    if (at != next_) {
      if (mpg123_seek(mh_, static_cast<off_t>(at), SEEK_SET) != static_cast<off_t>(at)) return Fail();
      next_ = at;
    }
    size_t done = 0;
    while (done < count) {
      size_t got = 0;
      const int r = mpg123_read(mh_, out + done * 2, (count - done) * 2 * sizeof(float), &got);
      done += got / (2 * sizeof(float));
      if (r == MPG123_NEW_FORMAT || (r == MPG123_OK && got > 0)) continue;
      if (r != MPG123_OK || got == 0) break;
    }
    next_ += done;
    if (done < count) return Fail();
    for (size_t i = 0; i < count * 2; ++i) out[i] *= scale_;
    return true;
  }

 private:
  bool Fail() {
    failed_ = true;
    return false;
  }
  std::mutex m_;
  std::string bytes_;
  Memory memory_;
  float scale_;
  mpg123_handle* mh_ = nullptr;
  uint64_t next_ = 0;
  bool failed_ = false;
};

struct Opened {
  std::string bytes;
  Entry entry;  // a copy: the list may be read again meanwhile
};

// The listed file of key, read whole and checked (once a run for a file
// that stays the same).
std::optional<Opened> OpenChecked(uint64_t key, uint64_t frames) {
  Shipped& s = S();
  std::string path, identity;
  Opened opened;
  {
    std::lock_guard<std::mutex> lock(s.m);
    if (s.folder.empty()) return std::nullopt;
    ReadList(s);
    auto found = s.entries.find(key);
    if (found == s.entries.end() || found->second.frames != frames) return std::nullopt;
    opened.entry = found->second;
    path = s.folder + found->second.file;
  }
  if (!ReadFile(path, opened.entry.bytes, &opened.bytes, &identity)) return std::nullopt;
  {
    std::lock_guard<std::mutex> lock(s.m);
    if (s.failed.count(identity)) return std::nullopt;
    if (s.checked.count(identity)) return opened;
  }
  const bool sound = ShippedChecksum(opened.bytes) == opened.entry.checksum;
  std::lock_guard<std::mutex> lock(s.m);
  (sound ? s.checked : s.failed).insert(identity);
  if (!sound) {
    std::fprintf(stderr, "kelvane: the shipped render %s is damaged: the synthesiser plays its tune\n",
                 path.c_str());
    return std::nullopt;
  }
  return opened;
}

}  // namespace

void SetShippedRendersFolder(const std::string& folder) {
  Shipped& s = S();
  std::lock_guard<std::mutex> lock(s.m);
  s.folder = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  s.listRead = false;
  s.entries.clear();
}

uint64_t ShippedChecksum(const std::string& bytes) {
  return Fnv(kFnvStart, bytes.data(), bytes.size());
}

std::shared_ptr<const RenderedTune> FindShippedRender(uint64_t key, uint64_t frames) {
  std::optional<Opened> opened = OpenChecked(key, frames);
  if (!opened) return nullptr;
  const Entry& e = opened->entry;
  auto reader = std::make_unique<Mp3Reader>(std::move(opened->bytes), e.gainDb);
  if (!reader->Open(frames)) return nullptr;
  return RenderedTune::FromReader(std::move(reader), frames, e.loudness);
}

std::string ShippedRenderName(uint64_t key, uint64_t frames) {
  std::optional<Opened> opened = OpenChecked(key, frames);
  return opened ? opened->entry.file : std::string();
}

}  // namespace kelvane
