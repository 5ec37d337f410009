// MIDI plays rendered ahead of the mixer on their own thread sound exactly as
// plays rendered on the spot, through a start, a pause, a play to its end, the
// next tune and a stop, whatever the renderer managed to do between the
// mixer's blocks. (A tune cut off by another differs: what was rendered
// ahead of the cut still went through the shared reverb, and the new tune
// starts at another place of the synthesiser's 64-frame steps.)
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "music/midi_events.h"
#include "platform/sdl/midi_source.h"
#include "platform/sdl/music_stream.h"
#include "platform/sdl/synthesiser.h"
#include "tests/qt/loaded_score.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

// One session of the stream in mixer-sized blocks; with pauses between
// blocks the renderer gets to fill ahead, in varying amounts.
std::vector<int16_t> Session(bool ahead) {
  MidiSource::RenderAhead(ahead);
  ResetMusicStream();
  // Each session on a synthesiser of its own: reverb and chorus would run
  // on from whatever played before.
  StopSynthesiser();
  StartSynthesiser();
  EXPECT_TRUE(WaitForSynthesiser(30000));
  std::shared_ptr<const MidiScore> a = test::LoadedScore("Zz.mid"), b = test::LoadedScore("Z06.mid");
  EXPECT_TRUE(a && b);
  if (!a || !b) return {};
  std::vector<int16_t> pcm;
  size_t blocks = 0;
  auto play = [&](size_t count) {
    for (size_t i = 0; i < count; ++i, ++blocks) {
      const size_t frames = blocks % 3 == 0 ? 256 : 512;
      const size_t at = pcm.size();
      pcm.resize(at + frames * 2, 0);
      RenderMusicStream(pcm.data() + at, frames);
      if (ahead && blocks % 5 != 4) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  };
  // A part of a tune, paused and resumed on the way, played to its end.
  StreamStart(std::make_shared<MidiSource>(a, kStreamRate * 3, kStreamRate * 3 + 60000));
  play(60);
  StreamPause();
  play(10);
  StreamResume();
  while (!StreamEnded()) play(1);
  play(3);
  // The next tune, stopped in the middle.
  StreamStart(std::make_shared<MidiSource>(b, 0, b->lengthFrames));
  play(60);
  StreamStop();
  play(5);
  ResetMusicStream();
  MidiSource::RenderAhead(true);
  return pcm;
}

TEST(MusicAhead, RenderedAheadSoundsExactlyAsRenderedOnTheSpot) {
  StartSynthesiser();
  ASSERT_TRUE(WaitForSynthesiser(30000)) << "no soundfont: " << SoundFontPath();
  const std::vector<int16_t> spot = Session(false);
  const std::vector<int16_t> ahead = Session(true);
  ASSERT_EQ(ahead.size(), spot.size());
  size_t differ = 0, first = spot.size(), loud = 0;
  for (size_t i = 0; i < spot.size(); ++i) {
    if (ahead[i] != spot[i] && differ++ == 0) first = i;
    loud += spot[i] > 1000 || spot[i] < -1000;
  }
  EXPECT_EQ(differ, 0u) << "first at frame " << first / 2;
  EXPECT_GT(loud, spot.size() / 10) << "the session is mostly music";
}

}  // namespace
}  // namespace kelvane
