// A host may sleep through the 10 ms timer ticks that have nothing to do,
// waking on the first tick at or after NextTimerDeadline. Whole sessions on
// the virtual clock, with the same random keys, must then run exactly as
// with every tick delivered: the same trace, the same frames.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "app/frame_pacing.h"
#include "app/game.h"
#include "app/lifecycle.h"
#include "app/trace.h"
#include "gameplay/keyboard.h"
#include "platform/core/std_files.h"
#include "platform/headless/headless_host.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

// Frames are hashed as they are presented, so any drawing difference shows.
struct HashingWindow : HeadlessWindow {
  uint64_t hash = 1469598103934665603ull;
  void Present(const FrameView& f) override {
    HeadlessWindow::Present(f);
    for (uint32_t p : lastFrame) hash = (hash ^ p) * 1099511628211ull;
  }
};

struct Session {
  VirtualClock clock;
  HeadlessApp app;
  HashingWindow window;
  HeadlessKeys keys;
  HeadlessMedia media;
  HeadlessSound sound;
  StdFileSystem files;
  char* buf = nullptr;
  size_t size = 0;
  std::FILE* mem = open_memstream(&buf, &size);
  TraceLog trace{mem};
  Game g{Platform{&clock, &app, &window, &keys, &media, &sound, &files}};

  ~Session() {
    std::fclose(mem);
    std::free(buf);
  }
  std::string Trace() {
    std::fflush(mem);
    return std::string(buf, size);
  }
};

constexpr int kKeys[] = {13, 37, 38, 39, 40, 89, 78, 32};  // Return, arrows, Y, N, Space

// Runs 150 s of virtual time from the start, with the idle poll or without; returns the trace and the
// frames' hash. Keys come at random (seeded) times, held for a while.
std::string RunSession(const std::string& data, bool sleepy, bool idlePump, uint32_t seed) {
  auto s = std::make_unique<Session>();
  Game& g = s->g;
  g.trace = &s->trace;
  g.st.dataFolder = data;
  g.st.colourMax = 0;
  g.random.Seed(seed);
  s->window.game = &g;
  s->media.measure = [](const std::string&) -> std::optional<uint32_t> { return 45000; };
  const uint32_t start = 0xFFF00000u;  // across the counter's wrap, too
  s->clock.now = start;
  if (!FormCreate(g)) return "no start";
  if (!idlePump) ToggleIdlePump(g);  // as Ctrl does: then only the timer steps frames
  std::mt19937 keys(seed);
  uint64_t nextKey = 500, release = 0;
  int held = -1;
  for (uint64_t ms = 0; ms < 150000 && !s->window.mainClosed; ++ms) {
    s->clock.now = start + static_cast<uint32_t>(ms);
    if (held >= 0 && ms >= release) {
      s->keys.down[static_cast<size_t>(held)] = false;
      FormKeyUp(g, FormId::FM, held, ShiftState{});
      held = -1;
    }
    if (held < 0 && ms >= nextKey) {
      held = kKeys[keys() % std::size(kKeys)];
      s->keys.down[static_cast<size_t>(held)] = true;
      FormKeyDown(g, FormId::FM, held, ShiftState{});
      release = ms + 30 + keys() % 300;
      // Mostly quick typing, now and then long enough for a time-out.
      nextKey = ms + (keys() % 8 == 0 ? 40000 : 200 + keys() % 2500);
    }
    if (s->app.timerEnabled && ms % 10 == 0) {
      const std::optional<uint32_t> due = NextTimerDeadline(g, s->clock.now);
      if (!sleepy || (due && TickReached(s->clock.now, *due))) Timer1Timer(g);
    }
    if (s->app.idleHooked && !g.st.halted) {
      bool done = true;
      AppEvIdle(g, done);
    }
  }
  FormDestroy(g);
  std::string trace = s->Trace();
  for (size_t at; (at = trace.find(data)) != std::string::npos;) trace.replace(at, data.size(), "DATA/");
  return trace + "frames " + std::to_string(s->window.hash) + "\n";
}

TEST(TimerSleepTest, SleepingThroughIdleTicksChangesNothing) {
  for (bool idlePump : {true, false}) {
    SCOPED_TRACE(idlePump ? "with the idle poll" : "timer only");
    // Each run on its own copy: the first one's settings must not reach the second.
    std::string runs[2];
    for (int sleepy = 0; sleepy < 2; ++sleepy) {
      const std::string data = test::MakeDataCopy("timer-sleep");
      runs[sleepy] = RunSession(data, sleepy == 1, idlePump, 3);
      std::filesystem::remove_all(data);
    }
    EXPECT_GT(runs[0].size(), 10000u);
    EXPECT_EQ(runs[0], runs[1]);
  }
}

}  // namespace
}  // namespace kelvane
