// An audio CD in a drive, or a CUE/BIN image standing in for one: its table
// of contents and its audio sectors.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

typedef struct _CdIo CdIo_t;
typedef struct cdrom_drive_s cdrom_drive_t;
typedef struct cdrom_paranoia_s cdrom_paranoia_t;

namespace kelvane {

inline constexpr uint32_t kCdSectorsPerSecond = 75;
inline constexpr uint32_t kCdFramesPerSector = 588;  // stereo 16-bit frames at 44.1 kHz
inline constexpr uint32_t kCdSectorBytes = kCdFramesPerSector * 4;
inline constexpr uint32_t kCdSectorSamples = kCdFramesPerSector * 2;
// Longer than any disc by far, and short enough that every time on the disc
// fits a 32-bit count of milliseconds.
inline constexpr int32_t kCdMaxSectors = 24 * 3600 * kCdSectorsPerSecond;
// A drive that spins up answers late: the opener waits this long at most,
// and a late answer is taken up by the next open of the same drive.
inline constexpr int kCdDriveWaitMs = 200;

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
  // is no readable disc with at least one track. A faulty image, and one
  // that loses tracks to a short file, is reported once on stderr.
  static std::shared_ptr<CdDisc> Open(const std::string& drive, std::string& why);
  // A CUE sheet and the files it names, quietly: what makes the image
  // unusable goes to why, what it loses (tracks cut short or left out of a
  // short file) to damage.
  static std::shared_ptr<CdDisc> OpenImage(const std::string& cuePath, std::string& why,
                                           std::string& damage);
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

  // Fills out with the sectors from `first` on, as 16-bit stereo frames in
  // the machine's byte order: as many whole sectors as out holds. False
  // when they are not all on the disc, or the disc cannot be read any more
  // (taken out, image gone or cut).
  bool ReadAudio(int32_t first, std::span<int16_t> out);

 private:
  // One file of an image, placed on the disc after the files before it.
  struct ImageFile {
    int fd = -1;
    int32_t base = 0;     // its first sector on the disc
    int32_t sectors = 0;  // whole sectors in the file
    uint32_t sectorBytes = 0;
    bool bigEndian = false;
  };
  static std::shared_ptr<CdDisc> OpenDrive(const std::string& device, std::string& why);
  CdDisc() = default;
  int32_t SectorOfMs(uint32_t ms) const;
  bool AddTrack(int32_t start, int32_t end, bool audio);
  bool ReadImage(int32_t first, uint32_t count, int16_t* out);

  std::mutex m_;  // reads come from worker threads
  CdIo_t* cdio_ = nullptr;
  cdrom_drive_t* drive_ = nullptr;  // real drives only: read with error correction
  cdrom_paranoia_t* paranoia_ = nullptr;
  int32_t paranoiaAt_ = -1;  // the sector paranoia reads next
  std::vector<ImageFile> files_;  // an image: its files one after the other
  int32_t discEnd_ = 0;           // an image: the sectors of all its files
  int32_t firstSector_ = 0;       // where track 1 starts; times count from here
  std::vector<CdTrack> tracks_;
  std::vector<CdRange> sectors_;  // per track
};

}  // namespace kelvane
