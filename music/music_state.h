// The music player's own record: the three music sources, the play list and
// the CD probe. The timed slot (bgmLength, bgmEndTick, bgmStartTick, bgmLoop,
// bgmFileName) and tuneCount live in the game state record, because the
// frame drivers and the settings loader use them too.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kelvane {

// Music sources, the values of bgmSource.
namespace source {
constexpr int8_t kPlayList = -1;
constexpr int8_t kStageTunes = 0;
constexpr int8_t kCD = 1;
}  // namespace source

// Values of previewState that the player itself sets.
constexpr uint8_t kPreviewIdle = 0;

// Length assumed when there is no tune: a silent stage of one minute.
constexpr int32_t kNoMusicLength = 60000;
// A device that reports more than an hour is not trusted; the stage would
// otherwise last for days.
constexpr int32_t kMaxMusicLength = 60 * 60000;

constexpr int kPlayListSlots = 16;

struct MusicState {
  int8_t bgmSource = source::kStageTunes;

  // The current index of each source, by bgmSource + 1: playListIndex,
  // tuneNumber, cdTrack. The counts sit beside them in the same order:
  // playListCount, the game state's tuneCount, cdTrackCount (SourceCount in
  // music_player.h addresses them together).
  std::array<int8_t, 3> index{0, 1, 0};
  int8_t playListCount = 0;
  int8_t cdTrackCount = 0;

  int8_t& playListIndex() { return index[0]; }
  int8_t& tuneNumber() { return index[1]; }
  int8_t& cdTrack() { return index[2]; }
  // Stands in for the index and count of a source that does not exist.
  int8_t noSource = 0;

  int8_t cdPollCount = 0;
  uint8_t previewState = kPreviewIdle;

  // Entry 0 is the data folder; 1..16 the play-list files (full paths).
  std::array<std::string, kPlayListSlots + 1> playList;

  // The range of the CD track chosen by OpenTrackCD, used by the next Play.
  std::optional<uint32_t> playFrom;
  std::optional<uint32_t> playTo;
};

}  // namespace kelvane
