// The CD drives of the system, as the startup dialog lists them.
//
// The game keeps a drive as a short name ("drive" in the settings file is
// cut to 6 characters) and treats a two-character name as "a CD drive is
// chosen". Device paths such as /dev/sr0 fit neither rule, so each drive is
// shown under a drive-letter label "D:", "E:", ... and the label is mapped
// back to its device when the CD is opened.
#pragma once

#include <string>
#include <vector>

#include "platform/headless/headless_host.h"

namespace kelvane {

struct CdDrive {
  std::string label;   // "D:" .. "Z:"
  std::string device;  // e.g. /dev/sr0
};

// Labels the given device paths in order: the first "D:", the next "E:", up
// to "Z:"; duplicates (by text) are dropped and devices past "Z:" are left
// out.
std::vector<CdDrive> LabelCdDrives(const std::vector<std::string>& devices);

// The CD drives libcdio finds, sorted by device path, then the CD images
// added with AddCdImage in their order, with their labels. Symbolic links to
// the same device (/dev/cdrom -> /dev/sr0) count once.
std::vector<CdDrive> ListCdDrives();

// Offers a CUE sheet (with its BIN file) as one more drive after the real
// ones. Whether the image is readable shows when it is opened.
void AddCdImage(const std::string& cuePath);

// The CD images of a headless run as the drives the startup dialog would
// list them (a headless run has no real drives: "D:" on), each read once
// now; one that cannot be used is said on stderr at once and stays an
// empty drive.
std::vector<HeadlessDisc> ReadHeadlessDiscs(const std::vector<std::string>& cuePaths);

// The device behind a label as ListCdDrives() last listed it (the drives
// are listed first when they never were); empty when there is none.
std::string CdDeviceForLabel(const std::string& label);

}  // namespace kelvane
