#include "pictures.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace {

// Up to 256 colours and every pixel's index into them. Screens are mostly
// long runs of one colour, so colours are looked up once a run.
struct Indexed {
  std::vector<uint32_t> colours;
  std::vector<uint8_t> indices;
};

bool Index(const Picture& p, Indexed* out) {
  out->colours.clear();
  out->indices.resize(p.pixels.size());
  std::unordered_map<uint32_t, uint8_t> known;
  const uint32_t* px = p.pixels.data();
  const size_t n = p.pixels.size();
  for (size_t i = 0; i < n;) {
    const uint32_t colour = px[i];
    auto it = known.find(colour);
    if (it == known.end()) {
      if (out->colours.size() == 256) return false;
      it = known.emplace(colour, uint8_t(out->colours.size())).first;
      out->colours.push_back(colour);
    }
    size_t end = i + 1;
    while (end < n && px[end] == colour) ++end;
    std::memset(&out->indices[i], it->second, end - i);
    i = end;
  }
  return true;
}

struct PngFile {
  FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngFile() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    if (file) std::fclose(file);
  }
};

}  // namespace

bool WritePng(const std::string& path, const Picture& picture, std::string* error) {
  Indexed indexed;
  const bool paletted = Index(picture, &indexed);
  PngFile f;
  f.file = std::fopen(path.c_str(), "wb");
  if (!f.file) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  f.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (f.png) f.info = png_create_info_struct(f.png);
  if (!f.png || !f.info) {
    *error = "cannot write " + path + ": out of memory";
    return false;
  }
  // Everything with a destructor exists before the setjmp that libpng's
  // errors come back to.
  std::vector<uint8_t> row(size_t(picture.width) * 3);
  std::vector<png_color> palette;
  for (uint32_t c : indexed.colours) palette.push_back(png_color{png_byte(c >> 16), png_byte(c >> 8), png_byte(c)});
  if (setjmp(png_jmpbuf(f.png))) {
    *error = "cannot write " + path + " (disk full?)";
    return false;
  }
  png_init_io(f.png, f.file);
  // Flat colours compress well with little effort.
  png_set_compression_level(f.png, 1);
  png_set_filter(f.png, 0, PNG_FILTER_NONE);
  if (paletted) {
    // As few bits a pixel as the colours need; libpng packs our bytes.
    int depth = palette.size() <= 2 ? 1 : palette.size() <= 4 ? 2 : palette.size() <= 16 ? 4 : 8;
    png_set_IHDR(f.png, f.info, png_uint_32(picture.width), png_uint_32(picture.height), depth, PNG_COLOR_TYPE_PALETTE,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(f.png, f.info, palette.data(), int(palette.size()));
  } else {
    png_set_IHDR(f.png, f.info, png_uint_32(picture.width), png_uint_32(picture.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  }
  png_write_info(f.png, f.info);
  // Transformations come after the header: our rows have a byte a pixel.
  if (paletted && palette.size() <= 16) png_set_packing(f.png);
  for (int y = 0; y < picture.height; ++y) {
    if (paletted) {
      png_write_row(f.png, &indexed.indices[size_t(y) * picture.width]);
      continue;
    }
    const uint32_t* src = &picture.pixels[size_t(y) * picture.width];
    for (int x = 0; x < picture.width; ++x) {
      row[size_t(x) * 3] = uint8_t(src[x] >> 16);
      row[size_t(x) * 3 + 1] = uint8_t(src[x] >> 8);
      row[size_t(x) * 3 + 2] = uint8_t(src[x]);
    }
    png_write_row(f.png, row.data());
  }
  png_write_end(f.png, f.info);
  std::FILE* file = f.file;
  f.file = nullptr;
  if (std::fflush(file) != 0 || std::ferror(file)) {
    std::fclose(file);
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  if (std::fclose(file) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

GifWriter::~GifWriter() {
  if (m_gif) {
    int err = 0;
    EGifCloseFile(m_gif, &err);
  }
}

bool GifWriter::Fail(const std::string& what, std::string* error) {
  *error = what + " (giflib: " + GifErrorString(m_gif ? m_gif->Error : 0) + ")";
  return false;
}

bool GifWriter::Open(const std::string& path, int width, int height, int centisecondsPerFrame, std::string* error) {
  // Opened here rather than by giflib, which would make it private to us.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  int err = 0;
  m_gif = EGifOpenFileHandle(fd, &err);
  if (!m_gif) {
    close(fd);
    *error = "cannot write " + path + ": " + GifErrorString(err);
    return false;
  }
  m_width = width;
  m_height = height;
  m_delay = centisecondsPerFrame;
  EGifSetGifVersion(m_gif, true);
  // A black backdrop colour; every frame brings its own colours.
  GifColorType black[2] = {{0, 0, 0}, {0, 0, 0}};
  ColorMapObject* map = GifMakeMapObject(2, black);
  int ok = EGifPutScreenDesc(m_gif, width, height, 8, 0, map);
  GifFreeMapObject(map);
  if (ok != GIF_OK) return Fail("cannot write the GIF header", error);
  // Loop forever.
  const unsigned char loop[3] = {1, 0, 0};
  if (EGifPutExtensionLeader(m_gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
      EGifPutExtensionBlock(m_gif, 11, "NETSCAPE2.0") != GIF_OK || EGifPutExtensionBlock(m_gif, 3, loop) != GIF_OK ||
      EGifPutExtensionTrailer(m_gif) != GIF_OK)
    return Fail("cannot write the GIF header", error);
  return true;
}

bool GifWriter::Add(const Picture& frame, std::string* error) {
  if (frame.width != m_width || frame.height != m_height) {
    *error = "a frame of " + std::to_string(frame.width) + "x" + std::to_string(frame.height) +
             " does not fit the GIF's " + std::to_string(m_width) + "x" + std::to_string(m_height);
    return false;
  }
  // The rectangle that changed since the last frame (all of the first one).
  int l = 0, t = 0, r = m_width, b = m_height;
  if (!m_last.pixels.empty()) {
    l = m_width, t = m_height, r = 0, b = 0;
    for (int y = 0; y < m_height; ++y) {
      const uint32_t* now = &frame.pixels[size_t(y) * m_width];
      const uint32_t* was = &m_last.pixels[size_t(y) * m_width];
      if (std::memcmp(now, was, size_t(m_width) * 4) == 0) continue;
      int x0 = 0, x1 = m_width;
      while (now[x0] == was[x0]) ++x0;
      while (now[x1 - 1] == was[x1 - 1]) --x1;
      l = std::min(l, x0), r = std::max(r, x1), t = std::min(t, y), b = y + 1;
    }
    if (l >= r) {
      // Nothing changed: the pending frame simply shows longer.
      m_pendingDelay += m_delay;
      return true;
    }
  }
  if (m_pending && !Flush(error)) return false;
  m_pending = true;
  m_left = l;
  m_top = t;
  m_part.width = r - l;
  m_part.height = b - t;
  m_part.pixels.resize(size_t(m_part.width) * m_part.height);
  for (int y = t; y < b; ++y)
    std::copy_n(&frame.pixels[size_t(y) * m_width + l], m_part.width, &m_part.pixels[size_t(y - t) * m_part.width]);
  m_pendingDelay = m_delay;
  m_last = frame;
  return true;
}

bool GifWriter::Flush(std::string* error) {
  Indexed indexed;
  if (!Index(m_part, &indexed)) {
    *error = "a frame changes more than 256 colours at once, which a GIF cannot show exactly";
    return false;
  }
  // Colour tables come in powers of two.
  int size = 2;
  while (size < int(indexed.colours.size())) size *= 2;
  std::vector<GifColorType> colours(size_t(size), GifColorType{0, 0, 0});
  for (size_t i = 0; i < indexed.colours.size(); ++i)
    colours[i] = GifColorType{GifByteType(indexed.colours[i] >> 16), GifByteType(indexed.colours[i] >> 8),
                              GifByteType(indexed.colours[i])};
  GraphicsControlBlock gcb{};
  gcb.DisposalMode = DISPOSE_DO_NOT;
  gcb.UserInputFlag = false;
  gcb.DelayTime = std::min(m_pendingDelay, 65535);
  gcb.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  EGifGCBToExtension(&gcb, extension);
  ColorMapObject* map = GifMakeMapObject(size, colours.data());
  bool ok = map && EGifPutExtension(m_gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
            EGifPutImageDesc(m_gif, m_left, m_top, m_part.width, m_part.height, false, map) == GIF_OK;
  GifFreeMapObject(map);
  for (int y = 0; ok && y < m_part.height; ++y)
    ok = EGifPutLine(m_gif, &indexed.indices[size_t(y) * m_part.width], m_part.width) == GIF_OK;
  m_pending = false;
  return ok ? true : Fail("cannot write a GIF frame", error);
}

bool GifWriter::Close(std::string* error) {
  if (!m_gif) return true;
  bool ok = !m_pending || Flush(error);
  int err = 0;
  int closed = EGifCloseFile(m_gif, &err);
  m_gif = nullptr;
  if (ok && closed != GIF_OK) {
    *error = std::string("cannot finish the GIF: ") + GifErrorString(err);
    return false;
  }
  return ok;
}
