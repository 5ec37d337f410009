// The game state record: the fixed-width fields that every subsystem reads
// and writes. Fields keep their old widths on purpose: the game relies on
// 8-bit and 16-bit wrap-around ("none" is -1, 255 in a byte).
//
// Subsystems with larger state of their own (action tables, surfaces, the
// engine's motion, the music player) keep it in their own records, which the
// Game object holds next to this one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kelvane {

// Scene codes. The code is a signed byte, so 253..255 are -3..-1.
namespace scene {
constexpr int8_t kOpening = 0;
constexpr int8_t kOpeningLogo = 1;
constexpr int8_t kModeMenu = 2;
constexpr int8_t kMusicMenu = 3;
constexpr int8_t kLoadSlot = 7;
constexpr int8_t kSaveSlot = 8;
constexpr int8_t kStageStart1 = 10;
constexpr int8_t kPlay1 = 11;
constexpr int8_t kStageStart2 = 12;
constexpr int8_t kPlay2 = 13;
constexpr int8_t kMatchResult = 14;
constexpr int8_t kExitQuestion = -3;  // 253
constexpr int8_t kDemoStart = -2;     // 254
constexpr int8_t kDemoPlay = -1;      // 255
}  // namespace scene

struct GameState {
  // ---- Frame pacing and scenes ----
  int8_t sceneCode = 0;
  // Eight per-scene counters; [2] is subStep, [3] wavePhase, [4] waveOffset.
  std::array<int16_t, 8> sceneCounters{};
  int16_t& subStep() { return sceneCounters[2]; }
  int16_t subStep() const { return sceneCounters[2]; }
  int16_t& wavePhase() { return sceneCounters[3]; }
  int16_t& waveOffset() { return sceneCounters[4]; }
  uint8_t prevScene = 0;
  uint16_t frameInterval = 0;
  uint8_t normalFrameInterval = 40;
  uint8_t slowFrameInterval = 120;
  uint32_t lastFrameTick = 0;
  uint8_t idlePump = 1;
  uint8_t halted = 0;
  uint8_t closeRequested = 0;

  // ---- Timed slots (0 = not armed) ----
  int32_t bgmLength = 0;
  uint32_t bgmEndTick = 0;
  uint32_t bgmStartTick = 0;
  uint8_t bgmLoop = 0;
  std::string bgmFileName;  // at most 255 bytes
  uint32_t flickerUntil = 0;

  // ---- Input and turn ----
  uint8_t firstRoutineDone = 0;
  uint32_t lastInputTick = 0;
  uint8_t mouseLevel = 0;
  uint8_t playMode = 0;
  uint8_t playReturnFlag = 0;

  // ---- Settings (stored in the settings file) ----
  int8_t colourIndex = 0;
  uint8_t menuPose = 5;
  uint8_t musicMenuFacing = 0;
  uint8_t musicMenuAction = 0;
  int8_t normalReached = 0;
  int8_t hardReached = 0;
  int8_t normalLevels = 0;
  int8_t hardLevels = 0;
  int8_t tuneCount = 0;
  uint8_t colourMax = 1;
  uint8_t windowSizeFlag = 0;
  std::string dataFolder;   // with trailing separator, at most 255 bytes
  std::string cdDriveName;  // at most 6 characters
  std::string wallLarge;
  std::string wallSmall;
  std::string entryName = "PELDIX";  // 6 characters
  std::string entryArea = "SAPPORO";  // 7 characters
  std::string entryLine;              // at most 100 bytes, Shift-JIS
  uint8_t resetSettings = 0;
  uint8_t resetClearInfo = 0;
  uint8_t rebuildColourData = 0;
  // The desktop host's volume keys, in percent; stored after the game's keys.
  uint8_t musicVolume = 100;
  uint8_t effectsVolume = 100;
  // The settings file as this run first read it; the write at exit keeps
  // the file's newer value of every key this run did not change.
  std::optional<std::string> settingsAtStart;

  // ---- Loading and view ----
  uint8_t groupsToLoad = 0;
  uint8_t zoomFlag = 0;
};

// Clears the eight scene counters when a scene starts.
inline void ResetSceneCounters(GameState& st) { st.sceneCounters.fill(0); }

}  // namespace kelvane
