// The player's best scores, per tune and per match mode, with the day each
// was reached. Kept in a file of our own beside the records, never in the
// settings file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

class FileSystem;

struct BestScore {
  std::string tune;  // the tune's file name, without its folder
  std::string mode;  // "normal-course", "free-match", "hard-course", "two-players"
  int32_t score = 0;
  std::string date;  // YYYY-MM-DD
};

class PersonalBests {
 public:
  static constexpr const char* kFileName = "KelvaneBests.txt";

  // Lines "tune<TAB>mode<TAB>score<TAB>date" after a first line naming the
  // file; a line that does not read is left out, so one damaged line loses
  // one best, not all.
  static PersonalBests Parse(const std::string& text);
  std::string Text() const;

  const BestScore* Find(const std::string& tune, const std::string& mode) const;
  // Takes the score when it beats the stored best (or none is stored);
  // returns whether it did.
  bool Offer(const std::string& tune, const std::string& mode, int32_t score,
             const std::string& date);
  const std::vector<BestScore>& all() const { return bests_; }

 private:
  std::vector<BestScore> bests_;
};

// Reads the bests from the data folder (none when the file is missing).
PersonalBests LoadBests(FileSystem& files, const std::string& dataFolder);
// Writes them through the file system's atomic write (a temporary file,
// flushed to the disk, renamed over the old one).
bool SaveBests(FileSystem& files, const std::string& dataFolder, const PersonalBests& bests);

}  // namespace kelvane
