// A CD image as a player might hand it over with --cd-image: a CUE sheet and
// the BIN files it names, opened and played back the way the CD source does
// (fifteen sectors at a time into a buffer of exactly that size).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "platform/cd/cd_disc.h"
#include "platform/cd/cue_sheet.h"
#include "tests/fuzz/targets/fuzz_targets.h"

namespace kelvane::fuzz {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSectorsPerRead = 15;  // as the CD source reads

// One folder for the run, removed at its end.
struct Folder {
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "kelvane-cue-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    path = pattern + "/";
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string path;
};

// kind 0: a file of the given size (sparse, so all silence), 1: a FIFO,
// 2: a folder, 3: nothing.
void Place(const std::string& path, int kind, size_t bytes) {
  std::error_code ec;
  fs::remove_all(path, ec);
  if (kind == 0) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(ftruncate(fd, static_cast<off_t>(bytes)) == 0);
    close(fd);
  } else if (kind == 1) {
    FUZZ_CHECK(mkfifo(path.c_str(), 0644) == 0);
  } else if (kind == 2) {
    FUZZ_CHECK(mkdir(path.c_str(), 0755) == 0);
  }
}

// Reads [first, end) through a buffer of exactly kSectorsPerRead sectors.
bool Play(CdDisc& disc, CdRange range, uint32_t mostReads) {
  std::vector<int16_t> buffer(kSectorsPerRead * kCdSectorSamples);
  for (int32_t at = range.first; at < range.end && mostReads-- > 0;) {
    uint32_t count = static_cast<uint32_t>(std::min<int32_t>(kSectorsPerRead, range.end - at));
    if (!disc.ReadAudio(at, std::span(buffer).first(count * kCdSectorSamples))) return false;
    // The files are sparse: what was read is their silence.
    FUZZ_CHECK(std::all_of(buffer.begin(), buffer.begin() + count * kCdSectorSamples,
                           [](int16_t v) { return v == 0; }));
    at += static_cast<int32_t>(count);
  }
  return true;
}

}  // namespace

// Byte 0: what a.bin (bits 0-1) and b.bin (bits 2-3) are; bytes 1-2 and
// 3-4: their whole sectors and an odd tail of 9-byte steps; the rest is the
// sheet "s.cue".
int CueImage(const uint8_t* data, size_t size) {
  if (size < 5 || size > kMaxCueSheetBytes + 5) return 0;
  static const Folder folder;
  const std::string& dir = folder.path;
  Place(dir + "a.bin", data[0] & 3, size_t{data[1]} * kCdSectorBytes + data[2] * 9u);
  Place(dir + "b.bin", (data[0] >> 2) & 3, size_t{data[3]} * kCdSectorBytes + data[4] * 9u);
  {
    std::ofstream sheet(dir + "s.cue", std::ios::binary | std::ios::trunc);
    sheet.write(reinterpret_cast<const char*>(data + 5), static_cast<std::streamsize>(size - 5));
  }
  std::string why, damage;
  std::shared_ptr<CdDisc> disc = CdDisc::OpenImage(dir + "s.cue", why, damage);
  if (!disc) {
    FUZZ_CHECK(!why.empty() && why.size() < 400);
    return 0;
  }
  FUZZ_CHECK(damage.size() < 400);
  // Every track has a length, follows the one before and ends on the disc.
  const int tracks = disc->TrackCount();
  FUZZ_CHECK(tracks >= 1 && tracks <= 99);
  uint32_t lastEnd = 0;
  for (int n = 1; n <= tracks; ++n) {
    const CdTrack t = *disc->Track(n);
    FUZZ_CHECK(t.lengthMs > 0);
    FUZZ_CHECK(t.startMs >= lastEnd);
    lastEnd = t.startMs + t.lengthMs;
    FUZZ_CHECK(lastEnd <= disc->LengthMs());
    std::optional<CdRange> range = disc->AudioRange(t.startMs, t.startMs + t.lengthMs);
    FUZZ_CHECK(range.has_value() == t.audio);
    if (!range) continue;
    FUZZ_CHECK(range->first < range->end);
    // The files stay as they were: every sector of an audio track reads.
    FUZZ_CHECK(Play(*disc, *range, UINT32_MAX));
  }
  // Ranges past either end are clamped to the disc, and reads outside it fail.
  if (std::optional<CdRange> all = disc->AudioRange(0, UINT32_MAX)) Play(*disc, *all, 4);
  std::vector<int16_t> buffer(kSectorsPerRead * kCdSectorSamples);
  FUZZ_CHECK(!disc->ReadAudio(-1, buffer));
  FUZZ_CHECK(!disc->ReadAudio(INT32_MAX - 3, buffer));
  FUZZ_CHECK(!disc->ReadAudio(0, std::span(buffer).first(kCdSectorSamples - 1)));
  return 0;
}

}  // namespace kelvane::fuzz
