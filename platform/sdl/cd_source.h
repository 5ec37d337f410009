// CD audio in the music stream: a worker thread reads the sectors of the
// play ahead of time, the audio thread takes them from its queue.
#pragma once

#include <memory>

#include "platform/cd/cd_disc.h"
#include "platform/sdl/music_stream.h"

namespace kelvane {

class CdSource : public MusicSource {
 public:
  CdSource(std::shared_ptr<CdDisc> disc, CdRange range);
  ~CdSource() override;
  CdSource(const CdSource&) = delete;
  CdSource& operator=(const CdSource&) = delete;

  size_t Render(float* out, size_t frames) override;
  uint64_t FramesLeft() const override { return left_; }

 private:
  struct Reader;
  std::shared_ptr<Reader> reader_;
  uint64_t left_;
};

}  // namespace kelvane
