#include "app/options.h"

#include "config/ini_file.h"

namespace kelvane {
namespace {

std::optional<uint64_t> ParseCount(const std::string& s) {
  if (s.empty() || s.size() > 19) return std::nullopt;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  return v;
}

}  // namespace

std::string UsageText() {
  return "usage: kelvane [options] [music files...]\n"
         "  --headless        run without window or audio device on a virtual clock\n"
         "  --data DIR        data folder instead of the program's folder\n"
         "  --run-ms N        run N milliseconds, then close the game normally\n"
         "  --start-tick T    tick count the virtual clock starts at\n"
         "  --seed S          seed of the random number generator\n"
         "  --input FILE      scripted input (headless)\n"
         "  --trace FILE      JSON-lines trace of frames, sounds, music and captions\n"
         "  --coach FILE      headless: the coach panel's texts, a JSON line per change\n"
         "  --frames DIR      write presented frames as PNG (headless)\n"
         "  --frame-every K   only every K-th presented frame\n"
         "  --replay FILE     replay a run record (Ac1.txt..Ac9.txt) as the first\n"
         "                    demonstration turn, with its music\n"
         "  --realtime        real clock instead of the virtual one (headless)\n"
         "  --cd-image FILE   a CUE/BIN CD image, offered as the next CD drive\n"
         "                    (headless too)\n"
         "  --stats           print frame pacing and CPU figures at exit\n"
         "  --scale N         window enlarged N times (1 to 6) with sharp pixels\n"
         "  --lang ja|en      language of the windows and messages (default: the\n"
         "                    locale's)\n"
         "  --where           print the folders the game reads and writes, then stop\n"
         "  --render-tunes    render the MIDI tunes the game plays for the rendered-tune\n"
         "                    cache now rather than as each is first heard, then stop\n"
         "  --no-normalise    play every tune as loud as its file, not at one loudness\n"
         "  --help            this text\n"
         "\n"
         "Files: a copy whose own folder holds the data and may be written to\n"
         "(or one given --data) keeps everything in that folder. An installed copy\n"
         "reads its data from share/kelvane/ beside its program folder and writes\n"
         "Kelvane.ini to $XDG_CONFIG_HOME/kelvane/ (~/.config/kelvane/), records\n"
         "and albums to $XDG_DATA_HOME/kelvane/ (~/.local/share/kelvane/) and the\n"
         "colour-scheme caches to $XDG_CACHE_HOME/kelvane/ (~/.cache/kelvane/).\n"
         "MIDI tunes, once heard whole, play from renders kept in\n"
         "$XDG_CACHE_HOME/kelvane/tunes/ (at most 256 MB), which costs far less than\n"
         "the synthesiser; KELVANE_RENDERED_TUNES=off turns them off, or names\n"
         "another folder.\n"
         "Every tune plays at one loudness; a file named loudness holding \"off\"\n"
         "beside Kelvane.ini turns that off, as --no-normalise does.\n"
         "A tune, backdrop, character sheet or move list put into\n"
         "~/.local/share/kelvane/ is read in place of the installed one.\n";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    auto number = [&](uint64_t max) -> std::optional<uint64_t> {
      std::string text;
      if (!value(text)) return std::nullopt;
      auto n = ParseCount(text);
      if (!n || *n > max) {
        error = a + ": not a number in range: " + text;
        return std::nullopt;
      }
      return n;
    };
    if (a == "--headless") {
      o.headless = true;
    } else if (a == "--data") {
      if (!value(o.dataDir)) return std::nullopt;
    } else if (a == "--run-ms") {
      auto n = number(UINT64_MAX / 2);
      if (!n) return std::nullopt;
      o.runMs = *n;
    } else if (a == "--start-tick") {
      auto n = number(UINT32_MAX);
      if (!n) return std::nullopt;
      o.startTick = static_cast<uint32_t>(*n);
    } else if (a == "--seed") {
      auto n = number(UINT32_MAX);
      if (!n) return std::nullopt;
      o.seed = static_cast<uint32_t>(*n);
    } else if (a == "--input") {
      if (!value(o.inputFile)) return std::nullopt;
    } else if (a == "--trace") {
      if (!value(o.traceFile)) return std::nullopt;
    } else if (a == "--coach") {
      if (!value(o.coachFile)) return std::nullopt;
    } else if (a == "--replay") {
      if (!value(o.replayFile)) return std::nullopt;
    } else if (a == "--frames") {
      if (!value(o.framesDir)) return std::nullopt;
    } else if (a == "--frame-every") {
      auto n = number(1000000);
      if (!n || *n == 0) {
        if (error.empty()) error = "--frame-every must be at least 1";
        return std::nullopt;
      }
      o.frameEvery = static_cast<int>(*n);
    } else if (a == "--scale") {
      auto n = number(6);
      if (!n || *n < 1) {
        if (error.empty()) error = "--scale must be 1 to 6";
        return std::nullopt;
      }
      o.scale = static_cast<int>(*n);
    } else if (a == "--cd-image") {
      std::string cue;
      if (!value(cue)) return std::nullopt;
      o.cdImages.push_back(cue);
    } else if (a == "--realtime") {
      o.realtime = true;
    } else if (a == "--stats") {
      o.stats = true;
    } else if (a == "--where") {
      o.where = true;
    } else if (a == "--render-tunes") {
      o.renderTunes = true;
    } else if (a == "--no-normalise") {
      o.normalise = false;
    } else if (a == "--lang") {
      if (!value(o.lang)) return std::nullopt;
      if (o.lang != "ja" && o.lang != "en") {
        error = "--lang must be ja or en";
        return std::nullopt;
      }
    } else if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
      error = "unknown option " + a;
      return std::nullopt;
    } else {
      o.files.push_back(a);
    }
  }
  return o;
}

}  // namespace kelvane
