// An audio CD in a drive, or a CUE/BIN image standing in for one: its table
// of contents and its audio sectors.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

typedef struct _CdIo CdIo_t;
typedef struct cdrom_drive_s cdrom_drive_t;
typedef struct cdrom_paranoia_s cdrom_paranoia_t;

namespace kelvane {

inline constexpr uint32_t kCdSectorsPerSecond = 75;
inline constexpr uint32_t kCdFramesPerSector = 588;  // stereo 16-bit frames at 44.1 kHz
inline constexpr uint32_t kCdSectorBytes = kCdFramesPerSector * 4;

struct CdTrack {
  uint32_t startMs = 0;  // from the start of the disc's first track
  uint32_t lengthMs = 0;
  bool audio = true;
};

// Sectors to read for a play: [first, end) as absolute sector numbers.
struct CdRange {
  int32_t first = 0;
  int32_t end = 0;
};

class CdDisc {
 public:
  // Opens the drive behind a drive label ("D:") or a device path, or a CUE
  // sheet (a path ending in ".cue"). Null, with why filled in, when there
  // is no readable disc with at least one track.
  static std::shared_ptr<CdDisc> Open(const std::string& drive, std::string& why);
  ~CdDisc();
  CdDisc(const CdDisc&) = delete;
  CdDisc& operator=(const CdDisc&) = delete;

  int TrackCount() const { return static_cast<int>(tracks_.size()); }
  // Track n, 1-based.
  std::optional<CdTrack> Track(int n) const;
  uint32_t LengthMs() const;

  // The sectors of a play from..to (ms, as TrackStart gives them); nothing
  // when the range touches a data track.
  std::optional<CdRange> AudioRange(uint32_t fromMs, uint32_t toMs) const;

  // Reads count sectors from `first` as 16-bit little-endian stereo frames.
  // False when the disc cannot be read any more (taken out, image gone).
  bool ReadAudio(int32_t first, uint32_t count, int16_t* out);

 private:
  CdDisc() = default;
  int32_t SectorOfMs(uint32_t ms) const;

  std::mutex m_;  // reads come from a worker thread
  CdIo_t* cdio_ = nullptr;
  cdrom_drive_t* drive_ = nullptr;  // real drives only: read with error correction
  cdrom_paranoia_t* paranoia_ = nullptr;
  int32_t paranoiaAt_ = -1;  // the sector paranoia reads next
  int32_t firstSector_ = 0;  // where track 1 starts; times count from here
  std::vector<CdTrack> tracks_;
  std::vector<CdRange> sectors_;  // per track
};

}  // namespace kelvane
