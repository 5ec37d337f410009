#include "platform/core/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace kelvane {
namespace {

// Converts with iconv; on an invalid or incomplete sequence writes
// `replacement` and skips `skip` input bytes.
std::string Convert(const char* to, const char* from, const std::string& in,
                    const std::string& replacement, bool utf8Input) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  std::string out;
  std::vector<char> buf(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  while (srcLeft > 0) {
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf.data(), dst - buf.data());
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: replace one character and go on.
      out += replacement;
      size_t skip = 1;
      if (utf8Input) {
        unsigned char c = static_cast<unsigned char>(*src);
        skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        if (skip > srcLeft) skip = srcLeft;
      }
      src += skip;
      srcLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string SjisToUtf8(const std::string& sjis) {
  return Convert("UTF-8", "CP932", sjis, "\xEF\xBF\xBD", false);
}

std::string Utf8ToSjis(const std::string& utf8) {
  return Convert("CP932", "UTF-8", utf8, "?", true);
}

}  // namespace kelvane
