#include "platform/core/file_places.h"

#include <pwd.h>
#include <unistd.h>

#include <filesystem>

namespace kelvane {
namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::string Normal(const std::string& dir) {
  return WithSlash(std::filesystem::path(dir).lexically_normal().string());
}

std::string Home(const PlaceInputs& in) {
  const char* home = in.env ? in.env("HOME") : nullptr;
  if (home && home[0] == '/') return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

// An XDG variable counts only with an absolute path; else the default
// under the home folder.
std::string XdgFolder(const PlaceInputs& in, const char* var, const char* fallback) {
  const char* v = in.env ? in.env(var) : nullptr;
  std::string base = v && v[0] == '/' ? std::string(v) : Home(in) + "/" + fallback;
  return Normal(base + "/kelvane");
}

}  // namespace

bool HoldsGameData(const std::string& folder) {
  std::error_code ec;
  return std::filesystem::is_regular_file(WithSlash(folder) + "Z_ac.txt", ec);
}

namespace {

std::string RenderedTunesPlace(const PlaceInputs& in) {
  const char* v = in.env ? in.env("KELVANE_RENDERED_TUNES") : nullptr;
  if (v && std::string(v) == "off") return {};
  if (v && v[0] == '/') return Normal(v);
  return XdgFolder(in, "XDG_CACHE_HOME", ".cache") + "tunes/";
}

FilePlaces DecideDataPlaces(const PlaceInputs& in) {
  FilePlaces p;
  if (!in.dataOption.empty()) {
    std::error_code ec;
    p.dataFolder = WithSlash(std::filesystem::absolute(in.dataOption, ec).string());
    return p;
  }
  std::string data;
  if (HoldsGameData(in.programFolder)) {
    if (access(in.programFolder.c_str(), W_OK) == 0) {
      p.dataFolder = in.programFolder;
      return p;
    }
    data = in.programFolder;
  } else if (!in.installedData.empty() && HoldsGameData(in.programFolder + in.installedData)) {
    data = Normal(in.programFolder + in.installedData);
  } else {
    p.dataFolder = in.programFolder;
    return p;
  }
  p.dataFolder = data;
  p.settings = XdgFolder(in, "XDG_CONFIG_HOME", ".config");
  p.playerData = XdgFolder(in, "XDG_DATA_HOME", ".local/share");
  p.cache = XdgFolder(in, "XDG_CACHE_HOME", ".cache");
  return p;
}

}  // namespace

FilePlaces DecideFilePlaces(const PlaceInputs& in) {
  FilePlaces p = DecideDataPlaces(in);
  p.renderedTunes = RenderedTunesPlace(in);
  return p;
}

std::string DescribePlaces(const FilePlaces& p) {
  const std::string tunes =
      "rendered tunes: " + (p.renderedTunes.empty() ? std::string("off") : p.renderedTunes) + "\n";
  if (p.Portable())
    return "portable folder: " + p.dataFolder + " (data, settings, records, albums, caches)\n" +
           tunes;
  return "installed data: " + p.dataFolder + "\n" + "settings (Kelvane.ini): " + p.settings + "\n" +
         "records, albums, your own data: " + p.playerData + "\n" +
         "colour-scheme caches: " + p.cache + "\n" + tunes;
}

}  // namespace kelvane
