#include "graphics/jpeg_file.h"

// jpeglib.h needs stdio's FILE declared first.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <cstdlib>
#include <optional>

#include "platform/core/shown_name.h"
#include "platform/platform.h"

namespace kelvane {
namespace {

// libjpeg reports errors by calling error_exit, which must not return; we
// jump back to the decoder's entry instead of letting it exit the program.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnFatal(j_common_ptr c) {
  auto* e = reinterpret_cast<ErrorManager*>(c->err);
  c->err->format_message(c, e->message);
  std::longjmp(e->jump, 1);
}

// Missing picture data is only a warning to libjpeg (it pads the rest of the
// picture with grey); a half-grey wallpaper is a bad file for us. Other
// warnings (stray bytes between markers and the like) still give a picture.
void OnMessage(j_common_ptr c, int level) {
  if (level >= 0) return;  // trace output
  if (c->err->msg_code == JWRN_JPEG_EOF || c->err->msg_code == JWRN_HIT_MARKER) OnFatal(c);
  c->err->num_warnings++;
}

void InstallErrorManager(ErrorManager& e) {
  jpeg_std_error(&e.pub);
  e.pub.error_exit = OnFatal;
  e.pub.emit_message = OnMessage;
  e.message[0] = '\0';
}

std::string Reason(const ErrorManager& e) {
  switch (e.pub.msg_code) {
    case JWRN_JPEG_EOF:
      return "the file is cut short";
    case JWRN_HIT_MARKER:
      return "the picture data ends early";
    case JERR_IMAGE_TOO_BIG:
      return "the picture is too large (" + std::string(e.message) + ")";
    case JERR_INPUT_EMPTY:
      return "the file is empty";
    case JERR_NO_SOI:
      return "not a JPEG file";
    default:
      return std::string("damaged JPEG data (") + e.message + ")";
  }
}

inline uint32_t Rgb(unsigned r, unsigned g, unsigned b) {
  return (r << 16) | (g << 8) | b;
}

// Adobe writes CMYK JPEGs inverted; libjpeg hands them over as stored.
inline uint32_t FromInvertedCmyk(const JSAMPLE* p) {
  unsigned k = p[3];
  return Rgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
}

// Every 8 x 8 block of every component costs at least one bit of entropy
// data (a DC code is never shorter), so a file shorter than this cannot
// hold the picture its header claims; refusing it spares the allocation.
size_t MinimumBytes(const jpeg_decompress_struct& cinfo) {
  uint64_t blocks = 0;
  for (int c = 0; c < cinfo.num_components; ++c)
    blocks += uint64_t{cinfo.comp_info[c].width_in_blocks} * cinfo.comp_info[c].height_in_blocks;
  return static_cast<size_t>(blocks / 8);
}

JpegResult Fail(const std::string& name, const std::string& reason) {
  JpegResult r;
  r.error = ShownName(name) + ": " + reason;
  return r;
}

}  // namespace

JpegResult DecodeJpeg(const std::string& bytes, const std::string& name) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  JpegResult result;
  std::vector<JSAMPLE> row;
  cinfo.err = &err.pub;
  InstallErrorManager(err);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return Fail(name, Reason(err));
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width > static_cast<JDIMENSION>(kMaxJpegSide) ||
      cinfo.image_height > static_cast<JDIMENSION>(kMaxJpegSide) ||
      uint64_t{cinfo.image_width} * cinfo.image_height > kMaxJpegPixels) {
    std::string size =
        std::to_string(cinfo.image_width) + " x " + std::to_string(cinfo.image_height);
    jpeg_destroy_decompress(&cinfo);
    return Fail(name, "the picture is too large (" + size + "; at most " +
                          std::to_string(kMaxJpegPixels) + " pixels and " +
                          std::to_string(kMaxJpegSide) + " on a side)");
  }
  if (bytes.size() < MinimumBytes(cinfo)) {
    jpeg_destroy_decompress(&cinfo);
    return Fail(name, "the file is cut short (too little data for " +
                          std::to_string(cinfo.image_width) + " x " +
                          std::to_string(cinfo.image_height) + " pixels)");
  }
  bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&cinfo);

  JpegPicture& pic = result.picture;
  pic.width = static_cast<int>(cinfo.output_width);
  pic.height = static_cast<int>(cinfo.output_height);
  pic.pixels.assign(static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height), 0);
  const int channels = cinfo.output_components;
  row.resize(static_cast<size_t>(pic.width) * static_cast<size_t>(channels));
  while (cinfo.output_scanline < cinfo.output_height) {
    size_t y = cinfo.output_scanline;
    JSAMPROW rows[1] = {row.data()};
    jpeg_read_scanlines(&cinfo, rows, 1);
    uint32_t* out = pic.pixels.data() + y * static_cast<size_t>(pic.width);
    const JSAMPLE* in = row.data();
    for (int x = 0; x < pic.width; ++x, in += channels)
      out[x] = cmyk ? FromInvertedCmyk(in) : Rgb(in[0], in[1], in[2]);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  result.ok = true;
  return result;
}

JpegResult ReadJpegFile(FileSystem& files, const std::string& path) {
  std::optional<std::string> bytes = files.ReadFile(path);
  if (!bytes) return Fail(path, "the file is missing or cannot be read");
  return DecodeJpeg(*bytes, path);
}

std::string EncodeJpeg(const uint32_t* pixels, int width, int height, int quality) {
  if (!pixels || width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide)
    return {};
  jpeg_compress_struct cinfo;
  ErrorManager err;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
  cinfo.err = &err.pub;
  InstallErrorManager(err);
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return {};
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality < 1 ? 1 : quality > 100 ? 100 : quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint32_t* in = pixels + static_cast<size_t>(cinfo.next_scanline) * width;
    for (int x = 0; x < width; ++x) {
      row[static_cast<size_t>(x) * 3] = static_cast<JSAMPLE>(in[x] >> 16);
      row[static_cast<size_t>(x) * 3 + 1] = static_cast<JSAMPLE>(in[x] >> 8);
      row[static_cast<size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(in[x]);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

}  // namespace kelvane
