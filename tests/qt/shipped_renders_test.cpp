// The renders shipped with the game: the tool that makes them at build time
// and the desktop that plays them agree on the tune, its length to the
// sample, its place after a seek and its level; a damaged one is found, the
// synthesiser plays instead, and a render of the player's own replaces it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "music/sound_balance.h"
#include "platform/sdl/rendered_tunes.h"
#include "platform/sdl/shipped_renders.h"
#include "platform/sdl/synthesiser.h"
#include "tests/qt/loaded_score.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

// The 16-bit samples of the tool's reference WAV (the normalised render
// before encoding), as floats.
std::vector<float> ReadReference(const std::string& path) {
  const std::string bytes = test::ReadAll(path);
  std::vector<float> out;
  for (size_t i = 44; i + 1 < bytes.size(); i += 2) {
    const auto v = static_cast<int16_t>(static_cast<unsigned char>(bytes[i]) |
                                        static_cast<unsigned char>(bytes[i + 1]) << 8);
    out.push_back(static_cast<float>(v) / 32767.0f);
  }
  return out;
}

// How far under the signal the difference of a and b (b shifted by lag
// frames) lies, in dB.
double NullDepthDb(const std::vector<float>& a, const std::vector<float>& b, long lag) {
  double signal = 0, rest = 0;
  for (size_t i = 4410 * 2; i + 4410 * 2 < a.size(); ++i) {
    const long j = static_cast<long>(i) + lag * 2;
    const double d = a[i] - b[static_cast<size_t>(j)];
    signal += double{a[i]} * a[i];
    rest += d * d;
  }
  return 10 * std::log10(signal / rest);
}

TEST(ShippedRenders, TheBuildsRenderPlaysAsMadeAndADamagedOneIsReplaced) {
  const std::string tool = std::string(KELVANE_TOOLS_DIR) + "/kelvane-page-tunes";
  if (!fs::exists(tool)) GTEST_SKIP() << "built without an MP3 encoder";
  StartSynthesiser();
  ASSERT_TRUE(WaitForSynthesiser(30000)) << "no soundfont: " << SoundFontPath();
  const std::string dir = test::MakeTempDir("shipped_renders");
  const std::string data = dir + "/data", shipped = dir + "/shipped", reference = dir + "/reference";
  fs::create_directories(data);
  fs::copy_file(test::GameDir() + "Zz.mid", data + "/Zz.mid");
  const std::string command = tool + " --data " + data + " --out " + shipped + " --reference " + reference +
                              " > " + dir + "/tool.log 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadAll(dir + "/tool.log");

  std::shared_ptr<const MidiScore> score = test::LoadedScore("Zz.mid");
  ASSERT_TRUE(score);
  const uint64_t key = RenderKey(*score, SynthSignature());
  const uint64_t frames = score->lengthFrames;
  SetRenderedTunesFolder(dir + "/cache");
  SetShippedRendersFolder(shipped);

  // Played whole: the tune as made (as near as a perceptual coder keeps
  // the wave: about 20 dB), on the very sample (a lag of one frame nulls
  // worse), and at the level the game gives it.
  std::shared_ptr<const RenderedTune> render = FindRenderedTune(key, frames);
  ASSERT_TRUE(render);
  EXPECT_EQ(render->Frames(), frames);
  std::vector<float> whole(frames * 2);
  ASSERT_TRUE(render->Read(0, whole.data(), frames));
  const auto gain = static_cast<float>(sound_balance::GainFactor(sound_balance::NormalisingGainDb(
      render->Loudness().integrated_lufs, render->Loudness().true_peak_dbtp)));
  for (float& v : whole) v *= gain;
  const std::vector<float> made = ReadReference(reference + "/Zz.wav");
  ASSERT_EQ(made.size(), whole.size());
  const double aligned = NullDepthDb(made, whole, 0);
  EXPECT_GT(aligned, 15.0) << "the decoded render is not the tune as made";
  EXPECT_GT(aligned, NullDepthDb(made, whole, 1) + 3.0) << aligned;
  EXPECT_GT(aligned, NullDepthDb(made, whole, -1) + 3.0) << aligned;

  // A play from the middle gives the samples a play from the start gave.
  std::shared_ptr<const RenderedTune> again = FindRenderedTune(key, frames);
  ASSERT_TRUE(again);
  const uint64_t at = frames / 2 + 333;
  std::vector<float> part(4096 * 2);
  ASSERT_TRUE(again->Read(at, part.data(), 4096));
  double worst = 0;
  for (size_t i = 0; i < part.size(); ++i) worst = std::max(worst, double{std::fabs(part[i] * gain - whole[at * 2 + i])});
  EXPECT_LT(worst, 1e-4);
  EXPECT_FALSE(again->Read(frames - 10, part.data(), 11)) << "read past the end";

  // Another synthesiser's tune is not this render.
  EXPECT_FALSE(FindShippedRender(RenderKey(*score, SynthSignature() + "x"), frames));
  EXPECT_FALSE(FindShippedRender(key, frames + 1));

  // One byte changed: found, never played; the player's synthesiser
  // renders the tune into the cache, and that render plays from then on.
  {
    std::fstream f(shipped + "/Zz.mp3", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(fs::file_size(shipped + "/Zz.mp3") / 2));
    f.put('\x5a');
  }
  EXPECT_FALSE(FindShippedRender(key, frames));
  EXPECT_EQ(ShippedRenderName(key, frames), "");
  EXPECT_FALSE(FindRenderedTune(key, frames));
  EXPECT_EQ(RenderTunesOf({data}), 0);
  std::shared_ptr<const RenderedTune> replaced = FindRenderedTune(key, frames);
  ASSERT_TRUE(replaced);
  EXPECT_TRUE(VerifyRenderedTune(key, frames));

  // A list naming a file outside its folder is not followed.
  fs::copy_file(shipped + "/renders.txt", dir + "/list.txt");
  std::string list = test::ReadAll(dir + "/list.txt");
  list.replace(list.rfind("Zz.mp3"), 6, "../reference/Zz.wav");
  std::ofstream(shipped + "/renders.txt", std::ios::trunc) << list;
  SetShippedRendersFolder(shipped);
  EXPECT_EQ(ShippedRenderName(key, frames), "");

  WaitForRenderedTunesStored();
  SetShippedRendersFolder("");
  SetRenderedTunesFolder("");
}

}  // namespace
}  // namespace kelvane
