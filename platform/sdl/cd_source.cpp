#include "platform/sdl/cd_source.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <span>
#include <thread>
#include <vector>

#include "platform/core/loudness.h"

namespace kelvane {
namespace {

constexpr uint32_t kSectorsPerRead = 15;    // a fifth of a second
constexpr size_t kMostFramesAhead = 44100;  // a second of sound queued at most

}  // namespace

// Shared by the source and its thread, so a source dropped on the audio
// thread never waits for a slow read: the thread finishes on its own.
struct CdSource::Reader {
  std::mutex m;
  std::condition_variable room;
  std::deque<int16_t> queue;  // interleaved stereo samples
  bool failed = false;        // the disc could not be read: the play ends
  bool done = false;          // every sector of the range has been read
  bool quit = false;

  void Run(std::shared_ptr<CdDisc> disc, CdRange range) {
    std::vector<int16_t> buffer(kSectorsPerRead * kCdSectorSamples);
    for (int32_t at = range.first; at < range.end;) {
      {
        std::unique_lock<std::mutex> lock(m);
        room.wait(lock, [&] { return quit || queue.size() / 2 < kMostFramesAhead; });
        if (quit) return;
      }
      uint32_t count = static_cast<uint32_t>(std::min<int32_t>(kSectorsPerRead, range.end - at));
      bool ok = disc->ReadAudio(at, std::span(buffer).first(count * kCdSectorSamples));
      std::lock_guard<std::mutex> lock(m);
      if (!ok) {
        failed = true;
        return;
      }
      queue.insert(queue.end(), buffer.begin(), buffer.begin() + count * kCdSectorSamples);
      at += static_cast<int32_t>(count);
    }
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
};

LoudnessFigure MeasureCdRange(CdDisc& disc, CdRange range) {
  constexpr int32_t kSectors = kCdSectorsPerSecond;
  LoudnessMeter meter(kStreamRate);
  std::vector<int16_t> block(size_t{kSectors} * kCdSectorSamples);
  for (int32_t at = range.first; at < range.end; at += kSectors) {
    const auto n = static_cast<size_t>(std::min(kSectors, range.end - at));
    if (!disc.ReadAudio(at, std::span<int16_t>(block.data(), n * kCdSectorSamples))) return {};
    meter.Add(block.data(), n * kCdFramesPerSector);
  }
  return meter.Result();
}

CdSource::CdSource(std::shared_ptr<CdDisc> disc, CdRange range, float level)
    : reader_(std::make_shared<Reader>()),
      left_(uint64_t(range.end - range.first) * kCdFramesPerSector),
      level_(level) {
  std::thread([r = reader_, disc = std::move(disc), range] { r->Run(disc, range); }).detach();
}

CdSource::~CdSource() {
  {
    std::lock_guard<std::mutex> lock(reader_->m);
    reader_->quit = true;
  }
  reader_->room.notify_all();
}

size_t CdSource::Render(float* out, size_t frames) {
  size_t want = static_cast<size_t>(std::min<uint64_t>(frames, left_));
  size_t got = 0;
  {
    std::lock_guard<std::mutex> lock(reader_->m);
    std::deque<int16_t>& q = reader_->queue;
    got = std::min(want, q.size() / 2);
    for (size_t i = 0; i < got * 2; ++i) out[i] = q[i] / 32768.0f;
    q.erase(q.begin(), q.begin() + static_cast<std::ptrdiff_t>(got * 2));
    if (got < want && reader_->failed) {
      // The disc is gone: the track ends here, as a tune that ended.
      left_ = 0;
      reader_->room.notify_all();
      return got;
    }
  }
  reader_->room.notify_all();
  // The drive is behind (spinning up, or a busy machine): silence while it
  // catches up, without skipping any of the track.
  std::fill(out + got * 2, out + want * 2, 0.0f);
  left_ -= got;
  return want;
}

}  // namespace kelvane
