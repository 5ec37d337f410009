#include "music/music_player.h"

#include <optional>

#include "app/game.h"
#include "app/trace.h"
#include "config/numbered_files.h"
#include "flow/stage_cycle.h"
#include "music/music_panel.h"
#include "platform/core/text_codec.h"

namespace kelvane {
namespace {

constexpr uint8_t kContinuousPlay = 6;  // playMode: tune follows tune
constexpr const char* kTitle = "Kelvane";
constexpr size_t kMaxNameBytes = 255;
constexpr int kPollCyclesBeforeProbe = 2;
constexpr int kMaxCdTracks = 99;

MediaDevice& Media(Game& g) {
  return *g.pf.media;
}

// The device's operations are traced here, where the game makes them, so
// every host's trace shows the same music events.
void TraceMusic(Game& g, int result, const char* op, const std::string& extra = {}) {
  if (g.trace && result == 0) g.trace->Music(g.Now(), op, extra);
}

void Play(Game& g, std::optional<uint32_t> from, std::optional<uint32_t> to) {
  std::string extra;
  if (from) extra += "\"from\":" + std::to_string(*from);
  if (to) extra += std::string(extra.empty() ? "" : ",") + "\"to\":" + std::to_string(*to);
  TraceMusic(g, Media(g).Play(from, to), "play", extra);
}

// Stops and closes whatever the device holds; a closed device is left alone.
void CloseDevice(Game& g) {
  MediaDevice& m = Media(g);
  MediaMode mode = m.Mode();
  if (mode == MediaMode::NotReady) return;
  if (mode == MediaMode::Playing) TraceMusic(g, m.Stop(), "stop");
  TraceMusic(g, m.Close(), "close");
}

void ClearRange(Game& g) {
  g.music.playFrom.reset();
  g.music.playTo.reset();
}

// A length the stage can be timed by. Zero would leave the end timer
// unarmed, so the stage would never end: the caller falls back to silence.
// Lengths over an hour are capped.
bool UsableLength(uint32_t ms, int32_t& length) {
  if (ms == 0) return false;
  length = ms > static_cast<uint32_t>(kMaxMusicLength) ? kMaxMusicLength : static_cast<int32_t>(ms);
  return true;
}

void ArmEndTimer(Game& g, int32_t length) {
  uint32_t now = g.Now();
  g.st.bgmStartTick = now;
  g.st.bgmEndTick = now + static_cast<uint32_t>(length);
  g.st.bgmLength = length;
}

bool InMusicMenu(const Game& g) {
  return g.st.sceneCode == scene::kMusicMenu;
}

// The name without its folder. Native paths are UTF-8 here, where neither
// separator can sit inside a multi-byte character.
std::string FileNamePart(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

int8_t& SourceIndex(Game& g, int8_t src) {
  MusicState& mu = g.music;
  if (src < source::kPlayList || src > source::kCD) {
    mu.noSource = 0;
    return mu.noSource;
  }
  return mu.index[static_cast<size_t>(src + 1)];
}

int8_t& SourceCount(Game& g, int8_t src) {
  MusicState& mu = g.music;
  switch (src) {
    case source::kPlayList:
      return mu.playListCount;
    case source::kStageTunes:
      return g.st.tuneCount;
    case source::kCD:
      return mu.cdTrackCount;
    default:
      mu.noSource = 0;
      return mu.noSource;
  }
}

void StepTune(Game& g, int delta) {
  int8_t src = g.music.bgmSource;
  int count = SourceCount(g, src);
  if (count < 2) return;
  int8_t& index = SourceIndex(g, src);
  int next = index + delta;
  if (next < 1) next = count;
  if (next > count) next = 1;
  index = static_cast<int8_t>(next);
}

std::optional<std::string> TuneName(Game& g) {
  MusicState& mu = g.music;
  std::string name;
  switch (mu.bgmSource) {
    case source::kPlayList: {
      int i = mu.playListIndex();
      // An index outside the table names no file (silence) rather than
      // reading past it.
      name = (i >= 0 && i <= kPlayListSlots) ? mu.playList[static_cast<size_t>(i)] : std::string();
      break;
    }
    case source::kStageTunes:
      name = g.st.dataFolder + "Z" + ZeroPad(2, mu.tuneNumber()) + ".mid";
      break;
    case source::kCD:
      // Only shown; the CD is never opened by name.
      name = "CD track" + std::to_string(mu.cdTrack());
      break;
    default:
      return std::nullopt;
  }
  return CutBytes(name, kMaxNameBytes);
}

void BuildTuneName(Game& g) {
  if (std::optional<std::string> name = TuneName(g)) g.st.bgmFileName = std::move(*name);
}

void NoMusic(Game& g, int32_t& length) {
  g.st.bgmFileName.clear();
  length = kNoMusicLength;
}

bool OpenFile(Game& g, int32_t& length) {
  MediaDevice& m = Media(g);
  CloseDevice(g);
  ClearRange(g);
  if (g.st.bgmFileName.empty()) return false;
  uint32_t ms = 0;
  const bool opened = m.OpenFile(g.st.bgmFileName) == 0;
  bool ok = opened && m.SetTimeFormatMs() == 0 && m.Length(ms) == 0;
  if (opened)
    TraceMusic(g, 0, "open",
               "\"file\":" + JsonString(SjisToUtf8(g.st.bgmFileName)) + ",\"length\":" +
                   std::to_string(ms));
  ok = ok && UsableLength(ms, length);
  // A file the device cannot open or decode is treated like a missing one.
  if (!ok) CloseDevice(g);
  return ok;
}

bool OpenTrackCD(Game& g, int track, int32_t& length) {
  MediaDevice& m = Media(g);
  uint32_t from = 0;
  uint32_t ms = 0;
  bool ok = m.SetTimeFormatMs() == 0 && m.TrackStart(track, from) == 0 &&
            m.TrackLength(track, ms) == 0 && UsableLength(ms, length);
  if (!ok) {
    CloseDevice(g);
    ClearRange(g);
    return false;
  }
  g.music.playFrom = from;
  g.music.playTo = from + static_cast<uint32_t>(length);
  return true;
}

void OpenCD(Game& g) {
  MusicState& mu = g.music;
  if (mu.bgmSource != source::kCD) return;
  if (InMusicMenu(g)) ClearCdLamp(g);
  mu.cdPollCount = 0;
  int8_t& track = mu.cdTrack();
  if (track <= 0) track = 1;

  MediaDevice& m = Media(g);
  CloseDevice(g);
  ClearRange(g);
  // No drive chosen in the dialog counts as a failed open.
  if (g.st.cdDriveName.empty() || m.OpenCD(g.st.cdDriveName) != 0)
    track = 0;
  else
    TraceMusic(g, 0, "open", "\"cd\":" + JsonString(SjisToUtf8(g.st.cdDriveName)));

  if (m.LastError() == 0 && track > 0) {
    int tracks = 0;
    if (m.TrackCount(tracks) == 0 && tracks >= 1 && tracks <= kMaxCdTracks) {
      mu.cdTrackCount = static_cast<int8_t>(tracks);
      if (track > tracks) track = static_cast<int8_t>(tracks);
      return;
    }
  }
  track = 0;
  mu.cdTrackCount = 0;
  mu.previewState = kPreviewIdle;
}

void PollCD(Game& g, int idleCycle) {
  MusicState& mu = g.music;
  if (mu.bgmSource != source::kCD || idleCycle != 0) return;
  // A track that plays proves the disc is there; probing would reopen the
  // drive and cut the preview off.
  if (Media(g).Mode() == MediaMode::Playing) return;
  if (++mu.cdPollCount > kPollCyclesBeforeProbe) {
    OpenCD(g);
    ShowTrackDigits(g);
  }
}

void PlayCurrent(Game& g) {
  GameState& st = g.st;
  MusicState& mu = g.music;
  st.bgmLoop = 0;
  // Whatever played before stops, also when the new tune turns out missing.
  CloseDevice(g);
  ClearRange(g);

  int32_t length = 0;
  if (mu.bgmSource <= source::kStageTunes) {
    bool opened = g.pf.files->Exists(st.bgmFileName) && OpenFile(g, length);
    if (!opened) NoMusic(g, length);
  } else {
    OpenCD(g);
    bool opened = mu.cdTrack() != 0 && OpenTrackCD(g, mu.cdTrack(), length);
    if (!opened) {
      CloseDevice(g);
      NoMusic(g, length);
    }
  }

  if (!st.bgmFileName.empty()) Play(g, mu.playFrom, mu.playTo);

  if (InMusicMenu(g)) {
    // A preview never ends a stage: name it, leave the timer off.
    st.bgmLength = 0;
    g.pf.window->SetCaption(FormId::FM, MusicCaption(FileNamePart(st.bgmFileName), length));
    return;
  }
  ArmEndTimer(g, length);
}

void PlayLooped(Game& g, const std::string& name) {
  std::string file = CutBytes(name, kMaxNameBytes);  // name may be bgmFileName itself
  StopMusic(g);
  g.st.bgmFileName = file;
  int32_t length = 0;
  // A missing or unplayable menu tune loops a minute of silence instead.
  if (OpenFile(g, length)) {
    Play(g, std::nullopt, std::nullopt);
  } else {
    NoMusic(g, length);
  }
  ArmEndTimer(g, length);
  g.st.bgmLoop = 1;
}

void StopMusic(Game& g) {
  g.st.bgmLoop = 0;
  g.st.bgmLength = 0;
  CloseDevice(g);
  // Also after a silent preview, whose caption names no open device.
  if (InMusicMenu(g)) g.pf.window->SetCaption(FormId::FM, kTitle);
}

void MusicEnded(Game& g) {
  if (g.st.playMode != kContinuousPlay) {
    EndStage(g);
    return;
  }
  StepTune(g, +1);
  BuildTuneName(g);
  PlayCurrent(g);
}

std::string MusicCaption(const std::string& fileName, int32_t length) {
  std::string text = "♪[ " + fileName + " ]  " + std::to_string(length / 60000) + "min." +
                     ZeroPad(2, (length / 1000) % 60) + "sec.";
  return Utf8ToSjis(text);
}

}  // namespace kelvane
