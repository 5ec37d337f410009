#include "platform/cd/cd_disc.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cstring>

#include "platform/cd/cd_drives.h"

namespace kelvane {
namespace {

constexpr int kParanoiaRetries = 3;

bool IsCueSheet(const std::string& path) {
  return path.size() > 4 && (path.ends_with(".cue") || path.ends_with(".CUE"));
}

uint32_t SectorsToMs(int64_t sectors) {
  return static_cast<uint32_t>(sectors * 1000 / kCdSectorsPerSecond);
}

}  // namespace

std::shared_ptr<CdDisc> CdDisc::Open(const std::string& drive, std::string& why) {
  std::string device = drive;
  if (drive.size() == 2 && drive[1] == ':') device = CdDeviceForLabel(drive);
  if (device.empty()) {
    why = "no such drive";
    return nullptr;
  }
  // Complaints about unreadable images go to the caller, not the console.
  cdio_loglevel_default = CDIO_LOG_ERROR;
  bool image = IsCueSheet(device);
  std::shared_ptr<CdDisc> disc(new CdDisc);
  disc->cdio_ = cdio_open(device.c_str(), image ? DRIVER_BINCUE : DRIVER_DEVICE);
  if (!disc->cdio_) {
    why = image ? "the CD image cannot be read" : "no disc in the drive";
    return nullptr;
  }
  track_t first = cdio_get_first_track_num(disc->cdio_);
  track_t count = cdio_get_num_tracks(disc->cdio_);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
    why = "no tracks on the disc";
    return nullptr;
  }
  lsn_t leadOut = cdio_get_track_lsn(disc->cdio_, CDIO_CDROM_LEADOUT_TRACK);
  for (track_t t = first; t < first + count; ++t) {
    lsn_t start = cdio_get_track_lsn(disc->cdio_, t);
    lsn_t end = t + 1 < first + count ? cdio_get_track_lsn(disc->cdio_, t + 1) : leadOut;
    if (start == CDIO_INVALID_LSN || end == CDIO_INVALID_LSN || end <= start) {
      // A damaged table of contents (or a sheet naming a missing or short
      // file) gives no usable tracks.
      why = "the table of contents cannot be read";
      return nullptr;
    }
    if (disc->sectors_.empty()) disc->firstSector_ = start;
    CdTrack track;
    track.startMs = SectorsToMs(start - disc->firstSector_);
    track.lengthMs = SectorsToMs(end - start);
    track.audio = cdio_get_track_format(disc->cdio_, t) == TRACK_FORMAT_AUDIO;
    disc->tracks_.push_back(track);
    disc->sectors_.push_back({start, end});
  }
  if (!image) {
    // A real drive reads with error correction where it can.
    disc->drive_ = cdio_cddap_identify_cdio(disc->cdio_, CDDA_MESSAGE_FORGETIT, nullptr);
    if (disc->drive_ && cdio_cddap_open(disc->drive_) == 0) {
      disc->paranoia_ = cdio_paranoia_init(disc->drive_);
      if (disc->paranoia_) cdio_paranoia_modeset(disc->paranoia_, PARANOIA_MODE_OVERLAP);
    }
  }
  return disc;
}

CdDisc::~CdDisc() {
  if (paranoia_) cdio_paranoia_free(paranoia_);
  if (drive_) cdio_cddap_close_no_free_cdio(drive_);
  if (cdio_) cdio_destroy(cdio_);
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
  CdRange range{SectorOfMs(fromMs), SectorOfMs(toMs)};
  if (sectors_.empty()) return std::nullopt;
  range.first = std::clamp(range.first, sectors_.front().first, sectors_.back().end);
  range.end = std::clamp(range.end, range.first, sectors_.back().end);
  for (size_t i = 0; i < sectors_.size(); ++i) {
    bool overlaps = range.first < sectors_[i].end && range.end > sectors_[i].first;
    if (overlaps && !tracks_[i].audio) return std::nullopt;
  }
  return range;
}

bool CdDisc::ReadAudio(int32_t first, uint32_t count, int16_t* out) {
  std::lock_guard<std::mutex> lock(m_);
  if (!paranoia_) {
    return cdio_read_audio_sectors(cdio_, out, first, count) == DRIVER_OP_SUCCESS;
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
    std::memcpy(out + i * kCdFramesPerSector * 2, sector, kCdSectorBytes);
    ++paranoiaAt_;
  }
  return true;
}

}  // namespace kelvane
