#include "platform/sdl/rendered_tunes.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "music/audio_length.h"
#include "music/midi_events.h"
#include "music/sound_balance.h"
#include "platform/core/regular_file.h"
#include "platform/sdl/midi_source.h"
#include "platform/sdl/shipped_renders.h"
#include "platform/sdl/synthesiser.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

// A render is a 16-bit stereo FLAC stream at the stream's rate; its
// comments name the render's key and hold the tune's loudness.
constexpr char kMagic[8] = {'K', 'V', 'T', 'U', 'N', 'E', '1', '\0'};
constexpr const char* kSuffix = ".flac";
// Renders of earlier versions, kept raw; removed wherever they are met.
constexpr const char* kOldSuffix = ".pcm";
constexpr const char* kKeyTag = "KELVANE_RENDER";
constexpr const char* kLoudnessTag = "KELVANE_LOUDNESS";
constexpr unsigned kEncodeBlock = 4096;
// A half-written file this old belongs to a program that was stopped.
constexpr auto kStaleTemporary = std::chrono::minutes(10);

struct Store {
  std::mutex m;
  std::condition_variable idle;
  std::string folder;
  int writing = 0;
  // Renders that could not be written are not tried again in this run (a
  // full disk would otherwise be reported at every loop of a tune).
  std::set<uint64_t> failed;
};

Store& S() {
  static Store& s = *new Store;  // writers may outlive the program's statics
  return s;
}

std::string NameOf(uint64_t key) {
  char name[32];
  std::snprintf(name, sizeof name, "%016llx%s", static_cast<unsigned long long>(key), kSuffix);
  return name;
}

enum class RenderName { Other, Render, Temporary, Old };

// A render is named by 16 hex digits and the suffix; its temporary adds
// ".tmp" and the writer's process id.
RenderName KindOf(const std::string& name) {
  constexpr size_t kDigits = 16;
  if (name.size() <= kDigits ||
      !std::all_of(name.begin(), name.begin() + kDigits,
                   [](unsigned char c) { return std::isxdigit(c) != 0; }))
    return RenderName::Other;
  for (const char* suffix : {kSuffix, kOldSuffix}) {
    const size_t base = kDigits + std::strlen(suffix);
    if (name.size() < base || name.compare(kDigits, std::strlen(suffix), suffix) != 0) continue;
    if (name.size() == base) return suffix == kSuffix ? RenderName::Render : RenderName::Old;
    const std::string rest = name.substr(base);
    if (rest.size() > 4 && rest.starts_with(".tmp") &&
        rest.find_first_not_of("0123456789", 4) == std::string::npos)
      return RenderName::Temporary;
  }
  return RenderName::Other;
}

std::string KeyText(uint64_t key) {
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(key));
  return text;
}

// Renders checked whole in this run, by file (device, inode, size): a file
// replaced or cut since is checked again.
std::set<std::string>& Verified() {
  static std::set<std::string>& v = *new std::set<std::string>;  // guarded by S().m
  return v;
}

std::string IdentityOf(const struct stat& st) {
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
         std::to_string(st.st_size);
}

struct RenderFile {
  fs::file_time_type used;
  uint64_t size;
  fs::path path;
};

// The renders in the folder; leftovers of stopped writers go on the way.
std::vector<RenderFile> RendersIn(const std::string& folder) {
  std::vector<RenderFile> renders;
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
    std::error_code e2;
    if (!e.is_regular_file(e2)) continue;
    const std::string name = e.path().filename().string();
    const auto used = e.last_write_time(e2);
    if (e2) continue;
    // Only files named as ours are ever removed: the folder may be one the
    // player named, with files of their own.
    const RenderName kind = KindOf(name);
    if (kind == RenderName::Temporary) {
      if (now - used > kStaleTemporary) fs::remove(e.path(), e2);
      continue;
    }
    if (kind == RenderName::Old) {
      fs::remove(e.path(), e2);
      continue;
    }
    if (kind != RenderName::Render) continue;
    const uint64_t size = e.file_size(e2);
    if (!e2) renders.push_back({used, size, e.path()});
  }
  return renders;
}

uint64_t TotalSize(const std::vector<RenderFile>& renders) {
  uint64_t total = 0;
  for (const RenderFile& r : renders) total += r.size;
  return total;
}

uint64_t RenderFileSize(uint64_t frames) {
  return frames * kRenderBytesPerFrame;
}

// Oldest renders go first once the folder passes its limit.
void Trim(const std::string& folder) {
  std::vector<RenderFile> renders = RendersIn(folder);
  uint64_t total = TotalSize(renders);
  std::sort(renders.begin(), renders.end(),
            [](const RenderFile& a, const RenderFile& b) { return a.used < b.used; });
  for (const RenderFile& r : renders) {
    if (total <= kRenderedTunesLimitBytes) break;
    std::error_code e2;
    if (fs::remove(r.path, e2)) total -= r.size;
  }
}

// The tune as it plays (the render's samples back at full scale). The
// sample peak stands in for the true peak: oversampling would cost as much
// as encoding the render, and the ceiling's decibel of room and the
// stream's limiter take the rare peak between samples.
LoudnessFigure Measure(const std::vector<int16_t>& pcm) {
  LoudnessMeter meter(kStreamRate, 2, false);
  std::vector<float> block(kEncodeBlock * 2);
  for (size_t at = 0; at < pcm.size(); at += block.size()) {
    const size_t n = std::min(block.size(), pcm.size() - at);
    for (size_t i = 0; i < n; ++i) block[i] = static_cast<float>(pcm[at + i]) / kRenderScale;
    meter.Add(block.data(), n / 2);
  }
  return meter.Result();
}

bool Encode(const std::string& temp, uint64_t key, const std::vector<int16_t>& pcm,
            const LoudnessFigure& loudness) {
  FLAC__StreamEncoder* enc = FLAC__stream_encoder_new();
  if (!enc) return false;
  const uint64_t frames = pcm.size() / 2;
  FLAC__stream_encoder_set_channels(enc, 2);
  FLAC__stream_encoder_set_bits_per_sample(enc, 16);
  FLAC__stream_encoder_set_sample_rate(enc, kStreamRate);
  FLAC__stream_encoder_set_compression_level(enc, 5);
  FLAC__stream_encoder_set_total_samples_estimate(enc, frames);
  FLAC__StreamMetadata* comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
  FLAC__StreamMetadata* seeks = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
  bool ok = comments && seeks;
  auto tag = [&](const char* name, const std::string& value) {
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    ok = ok && FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name, value.c_str()) &&
         FLAC__metadata_object_vorbiscomment_append_comment(comments, entry, false);
  };
  tag(kKeyTag, KeyText(key));
  if (loudness.valid) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f", loudness.integrated_lufs, loudness.true_peak_dbtp);
    tag(kLoudnessTag, text);
  }
  // A seek point every ten seconds: a play from a place in the tune
  // decodes little before it.
  ok = ok &&
       FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(seeks, kStreamRate * 10,
                                                                                frames) &&
       FLAC__metadata_object_seektable_template_sort(seeks, true);
  FLAC__StreamMetadata* blocks[2] = {comments, seeks};
  ok = ok && FLAC__stream_encoder_set_metadata(enc, blocks, 2) &&
       FLAC__stream_encoder_init_file(enc, temp.c_str(), nullptr, nullptr) ==
           FLAC__STREAM_ENCODER_INIT_STATUS_OK;
  std::vector<FLAC__int32> wide(kEncodeBlock * 2);
  for (size_t at = 0; ok && at < pcm.size(); at += wide.size()) {
    const size_t n = std::min(wide.size(), pcm.size() - at);
    for (size_t i = 0; i < n; ++i) wide[i] = pcm[at + i];
    ok = FLAC__stream_encoder_process_interleaved(enc, wide.data(), static_cast<unsigned>(n / 2));
  }
  // Finishing writes the stream's checksum and length into its header.
  ok = FLAC__stream_encoder_finish(enc) && ok;
  FLAC__stream_encoder_delete(enc);
  if (comments) FLAC__metadata_object_delete(comments);
  if (seeks) FLAC__metadata_object_delete(seeks);
  if (!ok) errno = EIO;
  return ok;
}

// On the disk before it takes the render's name: a crash never leaves a
// render whose name promises more than its blocks hold.
bool Flush(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  const int why = errno;
  ::close(fd);
  errno = why;
  return ok;
}

bool Write(const std::string& folder, uint64_t key, const std::vector<int16_t>& pcm) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  const std::string path = folder + NameOf(key);
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  // Only a whole file ever takes the render's name.
  bool ok = Encode(temp, key, pcm, Measure(pcm)) && Flush(temp) &&
            std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    const int why = errno;
    ::unlink(temp.c_str());
    std::fprintf(stderr, "kelvane: the rendered tune %s cannot be written: %s\n", path.c_str(),
                 std::strerror(why));
  } else {
    // Made from the samples in hand: as good as checked.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      std::lock_guard<std::mutex> lock(S().m);
      Verified().insert(IdentityOf(st));
    }
  }
  Trim(folder);
  return ok;
}

bool IsMidiName(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == ".mid" || ext == ".midi";
}

}  // namespace

void SetRenderedTunesFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(S().m);
  S().folder = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  S().failed.clear();
}

std::string RenderedTunesFolder() {
  std::lock_guard<std::mutex> lock(S().m);
  return S().folder;
}

uint64_t Fnv(uint64_t h, const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
  return h;
}

uint64_t RenderKey(const MidiScore& score, const std::string& synthSignature) {
  uint64_t h = kFnvStart;
  h = Fnv(h, kMagic, sizeof kMagic);
  h = Fnv(h, synthSignature.data(), synthSignature.size());
  h = Fnv(h, &score.lengthFrames, sizeof score.lengthFrames);
  for (const MidiScore::Event& e : score.events) {
    const unsigned char bytes[3] = {e.status, e.data1, e.data2};
    h = Fnv(h, &e.frame, sizeof e.frame);
    h = Fnv(h, bytes, sizeof bytes);
  }
  return h;
}

struct RenderedTune::Decoding {
  std::mutex m;
  FLAC__StreamDecoder* decoder = nullptr;
  std::string identity;
  // What the header says.
  uint64_t total = 0;
  unsigned rate = 0, channels = 0, bits = 0;
  std::optional<uint64_t> key;
  LoudnessFigure loudness;
  // The last frame decoded, or only a count of what was (checking whole).
  bool keep = true;
  std::vector<int16_t> frame;
  uint64_t frameStart = 0, frameLength = 0, decoded = 0;
  bool failed = false;
  ~Decoding() {
    if (decoder) FLAC__stream_decoder_delete(decoder);  // closes the file
  }
};

namespace {

FLAC__StreamDecoderWriteStatus OnFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                       const FLAC__int32* const buffer[], void* data) {
  auto& d = *static_cast<RenderedTune::Decoding*>(data);
  const unsigned n = frame->header.blocksize;
  if (frame->header.channels != 2 || frame->header.bits_per_sample != 16) {
    d.failed = true;
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  d.frameStart = frame->header.number.sample_number;  // the decoder gives samples
  d.frameLength = n;
  d.decoded += n;
  if (d.keep) {
    d.frame.resize(size_t{n} * 2);
    for (unsigned i = 0; i < n; ++i) {
      d.frame[i * 2] = static_cast<int16_t>(buffer[0][i]);
      d.frame[i * 2 + 1] = static_cast<int16_t>(buffer[1][i]);
    }
  }
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void OnMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* meta, void* data) {
  auto& d = *static_cast<RenderedTune::Decoding*>(data);
  if (meta->type == FLAC__METADATA_TYPE_STREAMINFO) {
    d.total = meta->data.stream_info.total_samples;
    d.rate = meta->data.stream_info.sample_rate;
    d.channels = meta->data.stream_info.channels;
    d.bits = meta->data.stream_info.bits_per_sample;
  } else if (meta->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
    const auto& vc = meta->data.vorbis_comment;
    for (uint32_t i = 0; i < vc.num_comments; ++i) {
      const std::string entry(reinterpret_cast<const char*>(vc.comments[i].entry), vc.comments[i].length);
      const size_t eq = entry.find('=');
      if (eq == std::string::npos) continue;
      const std::string name = entry.substr(0, eq), value = entry.substr(eq + 1);
      if (name == kKeyTag && value.size() == 16) {
        char* end = nullptr;
        const unsigned long long key = std::strtoull(value.c_str(), &end, 16);
        if (end && *end == '\0') d.key = key;
      } else if (name == kLoudnessTag) {
        double lufs = 0, peak = 0;
        if (std::sscanf(value.c_str(), "%lf %lf", &lufs, &peak) == 2 && std::isfinite(lufs) &&
            std::isfinite(peak)) {
          d.loudness = {lufs, peak, true};
        }
      }
    }
  }
}

void OnError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* data) {
  static_cast<RenderedTune::Decoding*>(data)->failed = true;
}

}  // namespace

// Opens the render at path if it is a regular file holding the render of
// key with exactly frames frames. Never waits: a FIFO or a device under a
// render's name is refused without being read.
// Checking whole, the stream's checksum is worked out as it decodes.
std::shared_ptr<const RenderedTune> OpenRender(const std::string& path, uint64_t key, uint64_t frames,
                                               bool whole) {
  struct stat st {};
  std::string why;
  const int fd = OpenRegular(path, st, why);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) {
    ::close(fd);
    return nullptr;
  }
  auto tune = std::shared_ptr<RenderedTune>(new RenderedTune);
  tune->decoding_ = std::make_unique<RenderedTune::Decoding>();
  RenderedTune::Decoding& d = *tune->decoding_;
  d.identity = IdentityOf(st);
  tune->path_ = path;
  tune->frames_ = frames;
  d.decoder = FLAC__stream_decoder_new();
  if (!d.decoder) {
    std::fclose(file);
    return nullptr;
  }
  FLAC__stream_decoder_set_metadata_respond(d.decoder, FLAC__METADATA_TYPE_VORBIS_COMMENT);
  FLAC__stream_decoder_set_md5_checking(d.decoder, whole);
  // From here the decoder owns the file.
  if (FLAC__stream_decoder_init_FILE(d.decoder, file, OnFrame, OnMetadata, OnError, &d) !=
          FLAC__STREAM_DECODER_INIT_STATUS_OK ||
      !FLAC__stream_decoder_process_until_end_of_metadata(d.decoder) || d.failed ||
      d.key != key || d.total != frames || d.rate != static_cast<unsigned>(kStreamRate) ||
      d.channels != 2 || d.bits != 16)
    return nullptr;  // not ours, or of another tune: the synthesiser plays, and a new render replaces it
  // A render cut short is found at once: its last frame is sought.
  if (!whole && (!FLAC__stream_decoder_seek_absolute(d.decoder, frames - 1) || d.failed)) return nullptr;
  tune->loudness_ = d.loudness;
  // Read ahead of the play, and marked as used for the folder's trimming.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
  ::futimens(fd, nullptr);
  return tune;
}

RenderedTune::~RenderedTune() = default;

std::shared_ptr<const RenderedTune> RenderedTune::FromReader(std::unique_ptr<Reader> reader, uint64_t frames,
                                                             const LoudnessFigure& loudness) {
  auto tune = std::shared_ptr<RenderedTune>(new RenderedTune);
  tune->reader_ = std::move(reader);
  tune->frames_ = frames;
  tune->loudness_ = loudness;
  return tune;
}

bool RenderedTune::Read(uint64_t at, float* out, size_t count) const {
  if (at > frames_ || count > frames_ - at) return false;
  if (reader_) return reader_->Read(at, out, count);
  Decoding& d = *decoding_;
  std::lock_guard<std::mutex> lock(d.m);
  while (count > 0 && !d.failed) {
    if (at >= d.frameStart && at < d.frameStart + d.frameLength) {
      const size_t from = static_cast<size_t>(at - d.frameStart);
      const size_t n = std::min<size_t>(count, d.frameLength - from);
      for (size_t i = 0; i < n * 2; ++i)
        out[i] = static_cast<float>(d.frame[from * 2 + i]) / kRenderScale;
      out += n * 2;
      at += n;
      count -= n;
      continue;
    }
    const uint64_t before = d.decoded;
    // The next frame in order, or a seek to the place asked for.
    if (at == d.frameStart + d.frameLength) {
      if (!FLAC__stream_decoder_process_single(d.decoder) ||
          (d.decoded == before &&
           FLAC__stream_decoder_get_state(d.decoder) == FLAC__STREAM_DECODER_END_OF_STREAM))
        d.failed = true;
    } else if (!FLAC__stream_decoder_seek_absolute(d.decoder, at)) {
      d.failed = true;
    }
  }
  if (d.failed) {
    // A damaged render is never played again: the synthesiser takes over
    // from the next play, and makes it anew.
    ::unlink(path_.c_str());
    std::lock_guard<std::mutex> store(S().m);
    Verified().erase(d.identity);
  }
  return !d.failed;
}

std::shared_ptr<const RenderedTune> FindRenderedTune(uint64_t key, uint64_t frames) {
  const std::string folder = RenderedTunesFolder();
  if (folder.empty()) return nullptr;
  // The game's own render comes first: the page plays the same one.
  if (std::shared_ptr<const RenderedTune> shipped = FindShippedRender(key, frames)) return shipped;
  // Played at once, checked frame by frame as it plays: waiting for the
  // whole check would leave the first tune of every start to the
  // synthesiser.
  return OpenRender(folder + NameOf(key), key, frames, false);
}

bool VerifyRenderedTune(uint64_t key, uint64_t frames) {
  const std::string folder = RenderedTunesFolder();
  if (folder.empty()) return false;
  const std::string path = folder + NameOf(key);
  std::shared_ptr<const RenderedTune> tune = OpenRender(path, key, frames, true);
  struct stat st {};
  if (!tune) {
    // Only a regular file under a render's name is ours to remove.
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
    return false;
  }
  RenderedTune::Decoding& d = *tune->decoding_;
  {
    std::lock_guard<std::mutex> lock(S().m);
    if (Verified().count(d.identity)) return true;
  }
  // Every frame's checksum while decoding, the whole stream's at the end.
  d.keep = false;
  const bool ok = FLAC__stream_decoder_process_until_end_of_stream(d.decoder) && !d.failed &&
                  d.decoded == frames && FLAC__stream_decoder_finish(d.decoder);
  if (!ok) {
    ::unlink(path.c_str());
    return false;
  }
  std::lock_guard<std::mutex> lock(S().m);
  Verified().insert(d.identity);
  return true;
}

void StoreRenderedTune(uint64_t key, std::vector<int16_t> pcm) {
  Store& s = S();
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(s.m);
    if (s.folder.empty() || s.failed.count(key)) return;
    folder = s.folder;
    ++s.writing;
  }
  std::thread([folder, key, pcm = std::move(pcm)] {
    const bool ok = Write(folder, key, pcm);
    Store& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    if (!ok) s.failed.insert(key);
    --s.writing;
    s.idle.notify_all();
  }).detach();
}

void WaitForRenderedTunesStored() {
  Store& s = S();
  std::unique_lock<std::mutex> lock(s.m);
  s.idle.wait(lock, [&] { return s.writing == 0; });
}

namespace {

// Rendering aside takes half of one core at most, at the lowest priority:
// the first start prepares its tunes without the fan noticing.
constexpr double kAsideDuty = 0.5;
constexpr size_t kRenderBlock = 4096;

enum class TuneRender {
  Rendered,
  RenderedBefore,
  Shipped,
  Unplayable,
  TooLong,
  NotKept,
  NoSoundFont,
  NoRoom,
  Stopped
};

struct Aside {
  std::mutex m;
  std::condition_variable changed;
  bool running = false;
  bool stop = false;
};

Aside& A() {
  static Aside& a = *new Aside;  // the renderer may outlive the program's statics
  return a;
}

// The tunes the game would play: a name in an earlier folder shadows the
// same name in a later one, as the game looks tunes up.
std::vector<fs::path> MidiFilesOf(const std::vector<std::string>& folders) {
  std::vector<fs::path> tunes;
  std::set<std::string> names;
  for (const std::string& folder : folders) {
    std::vector<fs::path> here;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
      if (IsMidiName(e.path()) && !names.count(e.path().filename().string())) here.push_back(e.path());
    std::sort(here.begin(), here.end());
    for (const fs::path& p : here) names.insert(p.filename().string());
    tunes.insert(tunes.end(), here.begin(), here.end());
  }
  return tunes;
}

// After work that took `busy`, sleeps long enough to keep the aside
// renderer to its share (duty) of a core; false once it is asked to stop.
bool PaceAside(std::chrono::steady_clock::duration busy, double duty) {
  Aside& a = A();
  std::unique_lock<std::mutex> lock(a.m);
  if (duty < 1.0) a.changed.wait_for(lock, busy * (1.0 / duty - 1.0), [&] { return a.stop; });
  return !a.stop;
}

// Renders the tune at path on a synthesiser of its own unless it has a
// render already: in the foreground at full speed, or aside (asideDuty),
// paced and stopped when asked to.
TuneRender RenderTune(const fs::path& path, const std::string& soundFont,
                      const std::string& signature, std::optional<double> asideDuty,
                      double* seconds) {
  TuneFileResult read = ReadTuneFile(path.string());
  std::optional<MidiTune> tune = read.file ? ReadMidiTune(read.file->midi) : std::optional<MidiTune>();
  if (!tune) return TuneRender::Unplayable;
  std::shared_ptr<const MidiScore> score = ScoreOf(*tune);
  const uint64_t key = RenderKey(*score, signature);
  if (!ShippedRenderName(key, score->lengthFrames).empty()) return TuneRender::Shipped;
  if (VerifyRenderedTune(key, score->lengthFrames)) return TuneRender::RenderedBefore;
  if (score->lengthFrames > kMaxRenderFrames || score->lengthFrames == 0) return TuneRender::TooLong;
  // Aside, a render never pushes one out: with more tunes than the folder
  // holds, each start would otherwise render again what the last one threw
  // away.
  if (asideDuty && TotalSize(RendersIn(RenderedTunesFolder())) +
                           RenderFileSize(score->lengthFrames) > kRenderedTunesLimitBytes)
    return TuneRender::NoRoom;
  const auto start = std::chrono::steady_clock::now();
  // A synthesiser fresh for each tune: its effects carry no trace of the
  // tune before, so a render is the same whatever was rendered first.
  PrivateSynth synth(soundFont);
  if (!synth.Get()) return TuneRender::NoSoundFont;
  synth.Load(score->presets);
  MidiSource play(score, 0, score->lengthFrames, 0, {key, nullptr, synth.Get()});
  std::vector<float> block(kRenderBlock * 2);
  while (play.FramesLeft() > 0) {
    const auto from = std::chrono::steady_clock::now();
    play.Render(block.data(), kRenderBlock);
    if (asideDuty && !PaceAside(std::chrono::steady_clock::now() - from, *asideDuty))
      return TuneRender::Stopped;
  }
  WaitForRenderedTunesStored();
  *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return FindRenderedTune(key, score->lengthFrames) ? TuneRender::Rendered : TuneRender::NotKept;
}

// The loudness a render was measured at, for the line that reports it.
std::string LoudnessNote(const fs::path& tunePath) {
  TuneFileResult read = ReadTuneFile(tunePath.string());
  std::optional<MidiTune> tune = read.file ? ReadMidiTune(read.file->midi) : std::optional<MidiTune>();
  if (!tune) return {};
  std::shared_ptr<const MidiScore> score = ScoreOf(*tune);
  std::shared_ptr<const RenderedTune> render =
      FindRenderedTune(RenderKey(*score, SynthSignature()), score->lengthFrames);
  if (!render || !render->Loudness().valid) return {};
  char text[64];
  std::snprintf(text, sizeof text, ", %.1f LUFS", render->Loudness().integrated_lufs);
  return text;
}

}  // namespace

int RenderTunesOf(const std::vector<std::string>& folders) {
  if (RenderedTunesFolder().empty()) {
    std::fprintf(stderr, "kelvane: rendered tunes are turned off\n");
    return 1;
  }
  const std::string soundFont = SoundFontPath();
  const std::string signature = SynthSignature();
  int failed = 0;
  for (const fs::path& path : MidiFilesOf(folders)) {
    // Named with its folder: the player's folder and the game's may hold
    // tunes of the same name.
    const std::string name = path.string();
    double seconds = 0;
    switch (RenderTune(path, soundFont, signature, std::nullopt, &seconds)) {
      case TuneRender::Rendered:
        std::printf("%s: rendered in %.1f s%s\n", name.c_str(), seconds, LoudnessNote(path).c_str());
        break;
      case TuneRender::RenderedBefore:
        std::printf("%s: rendered before\n", name.c_str());
        break;
      case TuneRender::Shipped:
        std::printf("%s: shipped with the game\n", name.c_str());
        break;
      case TuneRender::TooLong:
        std::printf("%s: too long to keep a render of\n", name.c_str());
        break;
      case TuneRender::Unplayable:
        std::printf("%s: not a MIDI file that can be played\n", name.c_str());
        ++failed;
        break;
      case TuneRender::NoRoom:
      case TuneRender::Stopped:
        std::printf("%s: NOT kept\n", name.c_str());
        ++failed;
        break;
      case TuneRender::NotKept:
        // The folder takes no render: the next tunes would fare the same.
        std::printf("%s: NOT kept\n", name.c_str());
        return failed + 1;
      case TuneRender::NoSoundFont:
        std::fprintf(stderr, "kelvane: no soundfont: MIDI tunes cannot be rendered\n");
        return failed + 1;
    }
  }
  return failed;
}

void StartRenderingTunesAside(const std::vector<std::string>& folders, bool gently) {
  Aside& a = A();
  {
    std::lock_guard<std::mutex> lock(a.m);
    if (a.running || RenderedTunesFolder().empty()) return;
    a.running = true;
    a.stop = false;
  }
  // Worked out here: the renderer may outlive the synthesiser's statics.
  const double duty = gently ? kAsideDuty : 1.0;
  std::thread([soundFont = SoundFontPath(), signature = SynthSignature(), folders, gently, duty] {
    pthread_setname_np(pthread_self(), "kelvane-tunes");
    if (gently) {
      sched_param idle{};
      pthread_setschedparam(pthread_self(), SCHED_IDLE, &idle);
    }
    Aside& a = A();
    if (!signature.empty()) {
      for (const fs::path& path : MidiFilesOf(folders)) {
        double seconds = 0;
        const TuneRender done = RenderTune(path, soundFont, signature, duty, &seconds);
        // A folder that cannot take a render is not tried tune after tune.
        if (done == TuneRender::Stopped || done == TuneRender::NotKept ||
            done == TuneRender::NoSoundFont || done == TuneRender::NoRoom)
          break;
      }
    }
    std::lock_guard<std::mutex> lock(a.m);
    a.running = false;
    a.changed.notify_all();
  }).detach();
}

bool StopRenderingTunesAside(std::chrono::milliseconds wait) {
  Aside& a = A();
  std::unique_lock<std::mutex> lock(a.m);
  a.stop = true;
  a.changed.notify_all();
  return a.changed.wait_for(lock, wait, [&] { return !a.running; });
}

bool WaitForTunesRenderedAside(std::chrono::milliseconds wait) {
  Aside& a = A();
  std::unique_lock<std::mutex> lock(a.m);
  return a.changed.wait_for(lock, wait, [&] { return !a.running; });
}

}  // namespace kelvane
