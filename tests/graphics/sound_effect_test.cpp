// Sound effects are named by a byte-wide number as two digits.
#include "graphics/sound_effect.h"

#include <gtest/gtest.h>

#include "tests/fake_platform.h"

namespace kelvane {
namespace {

TEST(SoundEffect, NumberIsAByteShownAsItsLastTwoDigits) {
  test::TestGame tg("/data/");
  Game& g = tg.g();
  const struct {
    int n;
    const char* file;
  } cases[] = {{11, "Y_q11.wav"},
               {5, "Y_q05.wav"},
               {105, "Y_q05.wav"},
               {255, "Y_q55.wav"},
               // Past a byte the number wraps: 256 is effect 0, 327 effect 71.
               {256, "Y_q00.wav"},
               {327, "Y_q71.wav"},
               {-1, "Y_q55.wav"}};
  for (const auto& c : cases) {
    PlaySoundEffect(g, c.n);
    EXPECT_EQ(tg.fakes.sound.last, std::string("/data/") + c.file) << c.n;
  }
  StopSoundEffect(g);
  EXPECT_EQ(tg.fakes.sound.last, "");
}

}  // namespace
}  // namespace kelvane
