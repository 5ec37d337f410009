// Where an installed game reads and writes: decided once from the program's
// folder, --data and the environment; then every name of the data folder is
// served from the player's folders first and written only there.
#include "platform/core/file_places.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "platform/core/std_files.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

PlaceInputs Inputs(const std::string& program, std::map<std::string, std::string> env,
                   const std::string& dataOption = "") {
  auto vars = std::make_shared<std::map<std::string, std::string>>(std::move(env));
  return {program, dataOption, "../share/kelvane/", [vars](const char* name) -> const char* {
            auto it = vars->find(name);
            return it == vars->end() ? nullptr : it->second.c_str();
          }};
}

TEST(FilePlaces, PortableOrInstalledIsDecidedFromTheFoldersAndTheEnvironment) {
  const std::string root = test::MakeTempDir("places");
  const std::string portable = root + "portable/", program = root + "usr/games/",
                    installed = root + "usr/share/kelvane/", home = root + "home";
  for (const std::string& d : {portable, program, installed}) fs::create_directories(d);
  test::WriteAll(portable + "Z_ac.txt", "x");
  test::WriteAll(installed + "Z_ac.txt", "x");

  // A program folder with the data: everything there, as ever.
  FilePlaces p = DecideFilePlaces(Inputs(portable, {{"HOME", home}}));
  EXPECT_TRUE(p.Portable());
  EXPECT_EQ(p.dataFolder, portable);
  // --data wins over an installed copy.
  p = DecideFilePlaces(Inputs(program, {{"HOME", home}}, portable));
  EXPECT_TRUE(p.Portable());
  EXPECT_EQ(p.dataFolder, portable);
  // Installed: the data beside the program's folder, the XDG folders under
  // HOME by default; a relative XDG value does not count.
  p = DecideFilePlaces(Inputs(program, {{"HOME", home}, {"XDG_CACHE_HOME", "rel/cache"}}));
  EXPECT_FALSE(p.Portable());
  EXPECT_EQ(p.dataFolder, installed);
  EXPECT_EQ(p.settings, home + "/.config/kelvane/");
  EXPECT_EQ(p.playerData, home + "/.local/share/kelvane/");
  EXPECT_EQ(p.cache, home + "/.cache/kelvane/");
  p = DecideFilePlaces(Inputs(program, {{"HOME", home},
                                        {"XDG_CONFIG_HOME", root + "c"},
                                        {"XDG_DATA_HOME", root + "d"},
                                        {"XDG_CACHE_HOME", root + "k"}}));
  EXPECT_EQ(p.settings, root + "c/kelvane/");
  EXPECT_EQ(p.playerData, root + "d/kelvane/");
  EXPECT_EQ(p.cache, root + "k/kelvane/");
  EXPECT_NE(DescribePlaces(p).find(p.cache), std::string::npos);
  // Rendered tunes belong to the machine: its cache folder, portable or not,
  // unless the environment names another or turns them off.
  EXPECT_EQ(p.renderedTunes, root + "k/kelvane/tunes/");
  EXPECT_EQ(DecideFilePlaces(Inputs(portable, {{"HOME", home}})).renderedTunes,
            home + "/.cache/kelvane/tunes/");
  p = DecideFilePlaces(Inputs(portable, {{"HOME", home}, {"KELVANE_RENDERED_TUNES", "off"}}));
  EXPECT_EQ(p.renderedTunes, "");
  EXPECT_NE(DescribePlaces(p).find("rendered tunes: off"), std::string::npos);
  EXPECT_EQ(DecideFilePlaces(Inputs(program, {{"HOME", home}, {"KELVANE_RENDERED_TUNES", root + "t"}}))
                .renderedTunes,
            root + "t/");
  // No data anywhere: the program's folder, so the missing files are reported.
  fs::remove(installed + "Z_ac.txt");
  p = DecideFilePlaces(Inputs(program, {{"HOME", home}}));
  EXPECT_TRUE(p.Portable());
  EXPECT_EQ(p.dataFolder, program);
}

TEST(FilePlaces, TheInstalledDataIsNeverWrittenAndThePlayersCopyComesFirst) {
  const std::string root = test::MakeTempDir("installed_files");
  FilePlaces p{root + "share/", root + "config/kelvane/", root + "data/kelvane/",
               root + "cache/kelvane/", ""};
  fs::create_directories(p.dataFolder);
  for (const char* name : {"Z01.mid", "Y_.bmp", "Ac1.txt", "TY_.bmp"})
    test::WriteAll(p.dataFolder + name, std::string("installed ") + name);
  chmod(p.dataFolder.c_str(), 0555);
  StdFileSystem files(p);
  const std::string& d = p.dataFolder;

  // Every written kind lands in its own folder, made on the first write.
  EXPECT_TRUE(files.WriteFile(d + "Kelvane.ini", "[Kelvane]\n"));
  EXPECT_TRUE(files.WriteFile(d + "Ac3.txt", "record"));
  EXPECT_TRUE(files.WriteFile(d + "Zz1.bmp", "album"));
  EXPECT_TRUE(files.WriteFile(d + "TY_.bmp", "scheme 1"));
  EXPECT_TRUE(files.WriteFile(d + "Usb000.bmp", "scheme 2"));
  EXPECT_EQ(test::ReadAll(p.settings + "Kelvane.ini"), "[Kelvane]\n");
  EXPECT_EQ(test::ReadAll(p.playerData + "Ac3.txt"), "record");
  EXPECT_EQ(test::ReadAll(p.playerData + "Zz1.bmp"), "album");
  EXPECT_EQ(test::ReadAll(p.cache + "TY_.bmp"), "scheme 1");
  EXPECT_EQ(test::ReadAll(p.cache + "Usb000.bmp"), "scheme 2");
  EXPECT_EQ(test::ReadAll(d + "TY_.bmp"), "installed TY_.bmp");
  // Read back through the game's names, the player's copy before the installed one.
  EXPECT_EQ(files.ReadFile(d + "Kelvane.ini").value_or(""), "[Kelvane]\n");
  EXPECT_EQ(files.ReadFile(d + "TY_.bmp").value_or(""), "scheme 1");
  EXPECT_EQ(files.ReadFile(d + "Y_.bmp").value_or(""), "installed Y_.bmp");
  test::WriteAll(p.playerData + "Z01.mid", "my tune");
  EXPECT_EQ(files.ReadFile(d + "Z01.mid").value_or(""), "my tune");
  EXPECT_EQ(files.FileSize(d + "Z01.mid"), std::optional<uint64_t>(7));
  EXPECT_EQ(files.Locate(d + "Z01.mid", false), p.playerData + "Z01.mid");
  EXPECT_EQ(files.Locate(d + "Y_.bmp", false), d + "Y_.bmp");
  EXPECT_TRUE(files.Exists(d + "Ac3.txt"));
  EXPECT_FALSE(files.Exists(d + "Ac4.txt"));
  // Deleting removes the player's copy only: the installed one shows again,
  // and one that only the installation has cannot be deleted.
  EXPECT_TRUE(files.Delete(d + "Z01.mid"));
  EXPECT_EQ(files.ReadFile(d + "Z01.mid").value_or(""), "installed Z01.mid");
  EXPECT_FALSE(files.Delete(d + "Ac1.txt"));
  EXPECT_TRUE(fs::exists(d + "Ac1.txt"));
  // The player's own main picture makes the colour scheme cached before it
  // stale: it counts as missing until the game has made it again.
  test::WriteAll(p.playerData + "Y_.bmp", "my picture");
  fs::last_write_time(p.cache + "TY_.bmp",
                      fs::last_write_time(p.playerData + "Y_.bmp") - std::chrono::hours(1));
  EXPECT_FALSE(files.Exists(d + "TY_.bmp"));
  EXPECT_TRUE(files.WriteFile(d + "TY_.bmp", "scheme 1 of my picture"));
  EXPECT_EQ(files.ReadFile(d + "TY_.bmp").value_or(""), "scheme 1 of my picture");
  // Names outside the data folder are what they say.
  EXPECT_TRUE(files.WriteFile(root + "elsewhere.txt", "x"));
  EXPECT_EQ(test::ReadAll(root + "elsewhere.txt"), "x");
  EXPECT_EQ(files.Locate(d + "sub/Z01.mid", true), d + "sub/Z01.mid");
  // Nothing was written into the installation, not even a temporary file.
  int installedFiles = 0;
  for (const auto& e : fs::directory_iterator(d)) installedFiles += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(installedFiles, 4);
  chmod(p.dataFolder.c_str(), 0755);
}

}  // namespace
}  // namespace kelvane
