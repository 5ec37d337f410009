#include "platform/cd/cd_drives.h"

#include "platform/cd/cd_disc.h"
#include "platform/core/shown_name.h"

#include <cdio/cdio.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>

namespace kelvane {
namespace {

constexpr char kFirstLetter = 'D';
constexpr char kLastLetter = 'Z';

std::mutex imagesMutex;
std::vector<std::string> images;
// The drives as last listed: a label keeps naming what the dialog showed,
// and opening the CD does not walk the system's devices again.
std::optional<std::vector<CdDrive>> listed;

std::string Canonical(const std::string& path) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::canonical(path, ec);
  return ec ? path : real.string();
}

}  // namespace

std::vector<CdDrive> LabelCdDrives(const std::vector<std::string>& devices) {
  std::vector<CdDrive> drives;
  char letter = kFirstLetter;
  for (const std::string& device : devices) {
    if (device.empty()) continue;
    bool seen = std::any_of(drives.begin(), drives.end(),
                            [&](const CdDrive& d) { return d.device == device; });
    if (seen) continue;
    if (letter > kLastLetter) break;
    drives.push_back({std::string{letter, ':'}, device});
    ++letter;
  }
  return drives;
}

std::vector<CdDrive> ListCdDrives() {
  std::vector<std::string> devices;
  if (char** list = cdio_get_devices(DRIVER_DEVICE)) {
    for (char** p = list; *p; ++p) devices.push_back(Canonical(*p));
    cdio_free_device_list(list);
  }
  std::sort(devices.begin(), devices.end());
  std::lock_guard<std::mutex> lock(imagesMutex);
  devices.insert(devices.end(), images.begin(), images.end());
  listed = LabelCdDrives(devices);
  return *listed;
}

void AddCdImage(const std::string& cuePath) {
  std::error_code ec;
  std::string path = std::filesystem::absolute(cuePath, ec).string();
  std::lock_guard<std::mutex> lock(imagesMutex);
  images.push_back(ec ? cuePath : path);
  listed.reset();
}

std::vector<HeadlessDisc> ReadHeadlessDiscs(const std::vector<std::string>& cuePaths) {
  std::vector<std::string> paths;
  for (const std::string& cue : cuePaths) {
    std::error_code ec;
    const std::string path = std::filesystem::absolute(cue, ec).string();
    paths.push_back(ec ? cue : path);
  }
  std::vector<HeadlessDisc> discs;
  for (const CdDrive& drive : LabelCdDrives(paths)) {
    HeadlessDisc& disc = discs.emplace_back();
    disc.label = drive.label;
    std::string why, damage;
    std::shared_ptr<CdDisc> image = CdDisc::OpenImage(drive.device, why, damage);
    const std::string shown = ShownName(drive.device);
    if (!image) {
      std::fprintf(stderr, "kelvane: CD image %s: %s (%s stays empty)\n", shown.c_str(),
                   why.c_str(), drive.label.c_str());
      continue;
    }
    if (!damage.empty())
      std::fprintf(stderr, "kelvane: CD image %s: %s\n", shown.c_str(), damage.c_str());
    for (int n = 1; n <= image->TrackCount(); ++n)
      if (std::optional<CdTrack> t = image->Track(n))
        disc.tracks.push_back({t->startMs, t->lengthMs, t->audio});
  }
  return discs;
}

std::string CdDeviceForLabel(const std::string& label) {
  std::vector<CdDrive> drives;
  {
    std::lock_guard<std::mutex> lock(imagesMutex);
    if (listed) drives = *listed;
  }
  if (drives.empty()) drives = ListCdDrives();
  for (const CdDrive& d : drives)
    if (d.label == label) return d.device;
  return {};
}

}  // namespace kelvane
