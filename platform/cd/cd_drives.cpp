#include "platform/cd/cd_drives.h"

#include <cdio/cdio.h>

#include <algorithm>
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
