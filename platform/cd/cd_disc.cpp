#include "platform/cd/cd_disc.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/paranoia.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "platform/cd/cd_drives.h"
#include "platform/cd/cue_sheet.h"
#include "platform/core/regular_file.h"
#include "platform/core/shown_name.h"

namespace kelvane {
namespace {

constexpr int kParanoiaRetries = 3;
// A cut track keeps playing only when at least this much of it is left.
constexpr int32_t kShortestTrack = kCdSectorsPerSecond;
// A late answer from a drive is trusted this long; after that the disc may
// have changed and the drive is asked again.
constexpr auto kDriveAnswerKept = std::chrono::seconds(2);

bool IsCueSheet(const std::string& path) {
  if (path.size() <= 4) return false;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".cue";
}

uint32_t SectorsToMs(int64_t sectors) {
  return static_cast<uint32_t>(sectors * 1000 / kCdSectorsPerSecond);
}

// Reads exactly n bytes at offset; false on a short file or an error.
bool ReadAt(int fd, char* out, size_t n, int64_t offset) {
  while (n > 0) {
    ssize_t got = pread(fd, out, n, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    n -= static_cast<size_t>(got);
    offset += got;
  }
  return true;
}

// Each fault of an image is told once per run: the music menu probes the
// disc every few seconds.
void Notice(const std::string& line) {
  static std::mutex m;
  static std::set<std::string> told;
  std::lock_guard<std::mutex> lock(m);
  if (told.insert(line).second) std::fprintf(stderr, "kelvane: %s\n", line.c_str());
}

std::string TrackList(const std::vector<int>& numbers) {
  std::string out = numbers.size() == 1 ? "track " : "tracks ";
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) out += i + 1 == numbers.size() ? " and " : ", ";
    out += std::to_string(numbers[i]);
  }
  return out;
}

}  // namespace

std::shared_ptr<CdDisc> CdDisc::Open(const std::string& drive, std::string& why) {
  std::string device = drive;
  if (drive.size() == 2 && drive[1] == ':') device = CdDeviceForLabel(drive);
  if (device.empty()) {
    why = "no such drive";
    return nullptr;
  }
  if (!IsCueSheet(device)) return OpenDrive(device, why);
  std::string damage;
  std::shared_ptr<CdDisc> disc = OpenImage(device, why, damage);
  if (!disc) Notice("CD image " + ShownName(device) + ": " + why);
  if (disc && !damage.empty()) Notice("CD image " + ShownName(device) + ": " + damage);
  return disc;
}

std::shared_ptr<CdDisc> CdDisc::OpenImage(const std::string& cuePath, std::string& why,
                                          std::string& damage) {
  damage.clear();
  struct stat st {};
  int fd = OpenRegular(cuePath, st, why);
  const int64_t bytes = st.st_size;
  if (fd < 0) {
    why = "the sheet cannot be read: " + why;
    return nullptr;
  }
  std::string text;
  if (bytes > static_cast<int64_t>(kMaxCueSheetBytes)) {
    close(fd);
    why = "the sheet is larger than a CUE sheet can be";
    return nullptr;
  }
  text.resize(static_cast<size_t>(bytes));
  bool read = ReadAt(fd, text.data(), text.size(), 0);
  close(fd);
  if (!read) {
    why = "the sheet cannot be read";
    return nullptr;
  }
  std::optional<CueSheet> sheet = ParseCueSheet(text, why);
  if (!sheet) return nullptr;

  std::shared_ptr<CdDisc> disc(new CdDisc);
  const std::filesystem::path folder = std::filesystem::path(cuePath).parent_path();
  std::vector<std::string> losses;
  size_t t = 0;  // the next track of the sheet
  for (size_t f = 0; f < sheet->files.size(); ++f) {
    const CueFile& file = sheet->files[f];
    const std::string path = (folder / file.name).string();  // an absolute name stays whole
    ImageFile image;
    image.sectorBytes = sheet->tracks[t].sectorBytes;
    image.bigEndian = file.bigEndian;
    image.base = disc->discEnd_;
    struct stat st {};
    image.fd = OpenRegular(path, st, why);
    const int64_t size = st.st_size;
    if (image.fd < 0) {
      why = ShownName(file.name) + ": " + why;
      return nullptr;
    }
    disc->files_.push_back(image);
    // A trailing part of a sector holds no sound.
    const int64_t sectors = size / image.sectorBytes;
    if (sectors > kCdMaxSectors - image.base) {
      why = file.name + ": the image is longer than any disc";
      return nullptr;
    }
    disc->files_.back().sectors = static_cast<int32_t>(sectors);
    disc->discEnd_ = image.base + static_cast<int32_t>(sectors);

    // Every track lies inside its file: a file that ends early keeps the
    // tracks it holds whole, the one it ends in cut short, and loses the rest.
    std::vector<int> cut, lost;
    int endsIn = 0;
    for (; t < sheet->tracks.size() && sheet->tracks[t].file == f; ++t) {
      const CueTrack& track = sheet->tracks[t];
      const bool last = t + 1 == sheet->tracks.size() || sheet->tracks[t + 1].file != f;
      const int64_t start = track.start;  // below kCdMaxSectors: at most 9999 minutes
      const int64_t end = last ? sectors : sheet->tracks[t + 1].start;
      if (start >= sectors) {
        lost.push_back(track.number);
        continue;
      }
      if (end > sectors) {
        endsIn = track.number;
        if (sectors - start < kShortestTrack) {
          lost.push_back(track.number);
          continue;
        }
        cut.push_back(track.number);
      }
      disc->sectors_.push_back({image.base + static_cast<int32_t>(start),
                                image.base + static_cast<int32_t>(std::min(end, sectors))});
      disc->tracks_.push_back({0, 0, track.audio});
    }
    if (cut.empty() && lost.empty()) continue;
    std::string line = file.name + (endsIn ? " ends inside track " + std::to_string(endsIn)
                                           : " ends before track " + std::to_string(lost.front()));
    if (!cut.empty()) line += "; " + TrackList(cut) + " cut short";
    if (!lost.empty()) line += "; " + TrackList(lost) + " left out";
    losses.push_back(line);
  }
  for (const std::string& loss : losses) damage += (damage.empty() ? "" : "; ") + loss;
  if (disc->tracks_.empty()) {
    why = damage.empty() ? "no tracks" : damage;
    damage.clear();
    return nullptr;
  }
  disc->firstSector_ = disc->sectors_.front().first;
  for (size_t i = 0; i < disc->tracks_.size(); ++i) {
    disc->tracks_[i].startMs = SectorsToMs(disc->sectors_[i].first - disc->firstSector_);
    disc->tracks_[i].lengthMs = SectorsToMs(disc->sectors_[i].end - disc->sectors_[i].first);
  }
  return disc;
}

namespace {

// A drive being asked for its disc, by a thread of its own: a drive that
// spins up (or hangs) never holds up the game.
struct DriveAnswer {
  std::mutex m;
  std::condition_variable ready;
  bool done = false;
  std::chrono::steady_clock::time_point at;
  std::shared_ptr<CdDisc> disc;
  std::string why;
};

std::mutex answersMutex;
std::map<std::string, std::shared_ptr<DriveAnswer>> answers;

}  // namespace

std::shared_ptr<CdDisc> CdDisc::OpenDrive(const std::string& device, std::string& why) {
  struct stat st {};
  if (stat(device.c_str(), &st) != 0 || !(S_ISBLK(st.st_mode) || S_ISCHR(st.st_mode))) {
    why = "no such drive";
    return nullptr;
  }
  std::shared_ptr<DriveAnswer> answer;
  {
    std::lock_guard<std::mutex> lock(answersMutex);
    std::shared_ptr<DriveAnswer>& slot = answers[device];
    if (slot) {
      std::lock_guard<std::mutex> l(slot->m);
      if (slot->done && std::chrono::steady_clock::now() - slot->at > kDriveAnswerKept)
        slot.reset();
    }
    if (!slot) {
      slot = std::make_shared<DriveAnswer>();
      std::thread([a = slot, device] {
        std::string why;
        std::shared_ptr<CdDisc> disc(new CdDisc);
        // Complaints about unreadable discs go to the caller, not the console.
        cdio_loglevel_default = CDIO_LOG_ERROR;
        disc->cdio_ = cdio_open(device.c_str(), DRIVER_DEVICE);
        if (!disc->cdio_) {
          why = "no disc in the drive";
          disc.reset();
        } else {
          track_t first = cdio_get_first_track_num(disc->cdio_);
          track_t count = cdio_get_num_tracks(disc->cdio_);
          lsn_t leadOut = cdio_get_track_lsn(disc->cdio_, CDIO_CDROM_LEADOUT_TRACK);
          bool ok = first != CDIO_INVALID_TRACK && count != CDIO_INVALID_TRACK && count > 0 &&
                    leadOut != CDIO_INVALID_LSN && leadOut <= kCdMaxSectors;
          for (track_t t = first; ok && t < first + count; ++t) {
            lsn_t start = cdio_get_track_lsn(disc->cdio_, t);
            lsn_t end = t + 1 < first + count ? cdio_get_track_lsn(disc->cdio_, t + 1) : leadOut;
            ok = start != CDIO_INVALID_LSN && end != CDIO_INVALID_LSN &&
                 disc->AddTrack(start, end, cdio_get_track_format(disc->cdio_, t) == TRACK_FORMAT_AUDIO);
          }
          if (!ok) {
            why = "the table of contents cannot be read";
            disc.reset();
          } else {
            // A real drive reads with error correction where it can.
            disc->drive_ = cdio_cddap_identify_cdio(disc->cdio_, CDDA_MESSAGE_FORGETIT, nullptr);
            if (disc->drive_ && cdio_cddap_open(disc->drive_) == 0) {
              disc->paranoia_ = cdio_paranoia_init(disc->drive_);
              if (disc->paranoia_) cdio_paranoia_modeset(disc->paranoia_, PARANOIA_MODE_OVERLAP);
            }
          }
        }
        std::lock_guard<std::mutex> lock(a->m);
        a->disc = std::move(disc);
        a->why = why;
        a->done = true;
        a->at = std::chrono::steady_clock::now();
        a->ready.notify_all();
      }).detach();
    }
    answer = slot;
  }
  std::unique_lock<std::mutex> lock(answer->m);
  if (!answer->ready.wait_for(lock, std::chrono::milliseconds(kCdDriveWaitMs),
                              [&] { return answer->done; })) {
    why = "the drive does not answer yet";
    return nullptr;
  }
  std::shared_ptr<CdDisc> disc = answer->disc;
  why = answer->why;
  lock.unlock();
  std::lock_guard<std::mutex> l(answersMutex);
  if (answers[device] == answer) answers.erase(device);
  return disc;
}

bool CdDisc::AddTrack(int32_t start, int32_t end, bool audio) {
  // A damaged table of contents gives no usable disc: tracks in order,
  // each with a length, all of them on the disc.
  int32_t floor = sectors_.empty() ? 0 : sectors_.back().end;
  if (start < floor || end <= start || end > kCdMaxSectors) return false;
  if (sectors_.empty()) firstSector_ = start;
  sectors_.push_back({start, end});
  tracks_.push_back({SectorsToMs(start - firstSector_), SectorsToMs(end - start), audio});
  return true;
}

CdDisc::~CdDisc() {
  if (paranoia_) cdio_paranoia_free(paranoia_);
  if (drive_) cdio_cddap_close_no_free_cdio(drive_);
  if (cdio_) cdio_destroy(cdio_);
  for (const ImageFile& f : files_)
    if (f.fd >= 0) close(f.fd);
}

std::optional<CdTrack> CdDisc::Track(int n) const {
  if (n < 1 || n > TrackCount()) return std::nullopt;
  return tracks_[static_cast<size_t>(n - 1)];
}

uint32_t CdDisc::LengthMs() const {
  return sectors_.empty() ? 0 : SectorsToMs(sectors_.back().end - firstSector_);
}

int32_t CdDisc::SectorOfMs(uint32_t ms) const {
  // Rounded to the nearest sector, so a track's start and length in ms
  // lead back to its own first and end sectors.
  return firstSector_ + static_cast<int32_t>((uint64_t{ms} * kCdSectorsPerSecond + 500) / 1000);
}

std::optional<CdRange> CdDisc::AudioRange(uint32_t fromMs, uint32_t toMs) const {
  if (sectors_.empty()) return std::nullopt;
  CdRange range{SectorOfMs(fromMs), SectorOfMs(toMs)};
  range.first = std::clamp(range.first, sectors_.front().first, sectors_.back().end);
  range.end = std::clamp(range.end, range.first, sectors_.back().end);
  for (size_t i = 0; i < sectors_.size(); ++i) {
    bool overlaps = range.first < sectors_[i].end && range.end > sectors_[i].first;
    if (overlaps && !tracks_[i].audio) return std::nullopt;
  }
  return range;
}

bool CdDisc::ReadImage(int32_t first, uint32_t count, int16_t* out) {
  if (first < 0 || int64_t{first} + count > discEnd_) return false;
  int32_t at = first;
  int32_t end = first + static_cast<int32_t>(count);
  auto file = files_.begin();
  while (at < end) {
    while (at >= file->base + file->sectors) ++file;  // every sector lies in some file
    if (file->sectorBytes != kCdSectorBytes) return false;  // data, not sound
    const int32_t n = std::min(end, file->base + file->sectors) - at;
    const size_t bytes = size_t(n) * kCdSectorBytes;
    if (!ReadAt(file->fd, reinterpret_cast<char*>(out), bytes, int64_t{at - file->base} * kCdSectorBytes))
      return false;
    const bool swap = file->bigEndian != (std::endian::native == std::endian::big);
    if (swap)
      for (size_t i = 0; i < size_t(n) * kCdSectorSamples; ++i)
        out[i] = static_cast<int16_t>(static_cast<uint16_t>(out[i]) >> 8 |
                                      static_cast<uint16_t>(out[i]) << 8);
    out += size_t(n) * kCdSectorSamples;
    at += n;
  }
  return true;
}

bool CdDisc::ReadAudio(int32_t first, std::span<int16_t> out) {
  const auto count = static_cast<uint32_t>(std::min<size_t>(out.size() / kCdSectorSamples, kCdMaxSectors));
  if (count == 0 || sectors_.empty()) return false;
  std::lock_guard<std::mutex> lock(m_);
  if (!files_.empty()) return ReadImage(first, count, out.data());
  if (first < 0 || int64_t{first} + count > sectors_.back().end) return false;
  if (!paranoia_) {
    return cdio_read_audio_sectors(cdio_, out.data(), first, count) == DRIVER_OP_SUCCESS;
  }
  // A disc taken out (or swapped) ends the play rather than reading on.
  if (cdio_get_media_changed(cdio_) == 1) return false;
  if (paranoiaAt_ != first) {
    cdio_paranoia_seek(paranoia_, first, SEEK_SET);
    paranoiaAt_ = first;
  }
  for (uint32_t i = 0; i < count; ++i) {
    int16_t* sector = cdio_paranoia_read_limited(paranoia_, nullptr, kParanoiaRetries);
    if (!sector) return false;
    std::memcpy(out.data() + i * kCdSectorSamples, sector, kCdSectorBytes);
    ++paranoiaAt_;
  }
  return true;
}

}  // namespace kelvane
