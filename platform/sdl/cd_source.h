// CD audio in the music stream: a worker thread reads the sectors of the
// play ahead of time, the audio thread takes them from its queue.
#pragma once

#include <memory>

#include "platform/cd/cd_disc.h"
#include "platform/core/loudness.h"
#include "platform/sdl/music_stream.h"

namespace kelvane {

class CdSource : public MusicSource {
 public:
  // level: the factor that brings the play to the game's loudness.
  CdSource(std::shared_ptr<CdDisc> disc, CdRange range, float level = 1.0f);
  ~CdSource() override;
  CdSource(const CdSource&) = delete;
  CdSource& operator=(const CdSource&) = delete;

  size_t Render(float* out, size_t frames) override;
  uint64_t FramesLeft() const override { return left_; }
  float Level() const override { return level_; }

 private:
  struct Reader;
  std::shared_ptr<Reader> reader_;
  uint64_t left_;
  float level_;
};

// The loudness of the play's sectors, read whole (slow: never on the game's
// thread).
LoudnessFigure MeasureCdRange(CdDisc& disc, CdRange range);

}  // namespace kelvane
