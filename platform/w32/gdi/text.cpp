// gdi32: TextOutA in the system font.
//
// Glyphs come from FreeType; the face is found through fontconfig once per
// process. We ask for a bold sans-serif face (DejaVu Sans Bold on our
// machines), the nearest thing to the Windows system font, and size it so its
// ascent and descent fill a 16-pixel cell as that font's do. Bytes are read
// as Windows-1252, the ANSI code page of the Windows build. Where there is no
// fontconfig (the web page) the face ships inside the program, cut down to
// the characters those bytes can be (subset_font.py). Rendered glyphs are
// kept per byte value, so a frame's worth of text costs no FreeType work.
#ifndef TARVELMIN_EMBEDDED_FACE
#include <fontconfig/fontconfig.h>
#endif
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "../damage.h"
#include "internal.h"

#ifdef TARVELMIN_EMBEDDED_FACE
// The face, as subset_font.py writes it.
extern "C" const unsigned char g_faceData[];
extern "C" const size_t g_faceSize;
#endif

namespace w32 {
namespace {

constexpr int kCellHeight = 16;
constexpr int kFallbackAdvance = 8;  // per character, when no font could be found

// Windows-1252 0x80..0x9F; the five unassigned bytes stay as they are.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t CodePoint(unsigned char c) {
  return c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c;
}

struct Glyph {
  bool ready = false;
  int advance = kFallbackAdvance;
  int left = 0, top = 0;  // bitmap origin relative to the pen position on the baseline
  int width = 0, rows = 0;
  std::vector<uint8_t> coverage;  // width x rows, 0..255
};

class SystemFont {
 public:
  static SystemFont& Get() {
    static SystemFont font;
    return font;
  }
  bool Loaded() const { return m_face != nullptr; }
  int Ascent() const { return m_ascent; }
  const Glyph& For(unsigned char c) {
    Glyph& g = m_glyphs[c];
    if (!g.ready) Render(CodePoint(c), &g);
    return g;
  }

 private:
  SystemFont() {
    if (FT_Init_FreeType(&m_library) != 0 || !Open() || !Size()) {
      std::fprintf(stderr, "w32: no usable font found through fontconfig; text shows as blank boxes\n");
      if (m_face) FT_Done_Face(m_face);
      m_face = nullptr;
    }
  }
  ~SystemFont() {
    if (m_face) FT_Done_Face(m_face);
    if (m_library) FT_Done_FreeType(m_library);
  }
  SystemFont(const SystemFont&) = delete;
  SystemFont& operator=(const SystemFont&) = delete;

#ifdef TARVELMIN_EMBEDDED_FACE
  // A build without fontconfig (the web page) carries its one face inside.
  bool Open() { return FT_New_Memory_Face(m_library, g_faceData, FT_Long(g_faceSize), 0, &m_face) == 0; }
#else
  bool Open() {
    std::string path;
    int index = 0;
    return Locate(&path, &index) && FT_New_Face(m_library, path.c_str(), index, &m_face) == 0;
  }

  // A private configuration, destroyed at once, so fontconfig keeps nothing.
  static bool Locate(std::string* path, int* index) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return false;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:bold"));
    bool found = false;
    if (pattern) {
      FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
      FcConfigSubstitute(config, pattern, FcMatchPattern);
      FcDefaultSubstitute(pattern);
      FcResult result;
      FcPattern* match = FcFontMatch(config, pattern, &result);
      FcChar8* file = nullptr;
      if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        *path = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
        found = true;
      }
      if (match) FcPatternDestroy(match);
      FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return found;
  }
#endif

  // Whole-pixel em size whose ascent + descent come nearest the cell without
  // passing it; the baseline splits the cell in the face's proportions.
  bool Size() {
    const double ascender = m_face->ascender, extent = double(m_face->ascender) - m_face->descender;
    if (!FT_IS_SCALABLE(m_face) || extent <= 0 || ascender <= 0) return false;
    const int em = std::max(1, int(kCellHeight * m_face->units_per_EM / extent));
    if (FT_Set_Pixel_Sizes(m_face, 0, FT_UInt(em)) != 0) return false;
    m_ascent = int(std::lround(kCellHeight * ascender / extent));
    return true;
  }

  void Render(uint32_t codePoint, Glyph* g) {
    g->ready = true;
    if (!m_face || FT_Load_Char(m_face, codePoint, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return;
    const FT_GlyphSlot slot = m_face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    // Whole-pixel advances, as GDI's character widths are.
    g->advance = int((slot->advance.x + 32) >> 6);
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return;
    g->left = slot->bitmap_left;
    g->top = slot->bitmap_top;
    g->width = int(bitmap.width);
    g->rows = int(bitmap.rows);
    g->coverage.resize(size_t(g->width) * size_t(g->rows));
    for (int y = 0; y < g->rows; ++y) {
      const uint8_t* row = bitmap.buffer + std::ptrdiff_t(y) * bitmap.pitch;
      for (int x = 0; x < g->width; ++x) {
        const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
        g->coverage[size_t(y) * size_t(g->width) + size_t(x)] =
            mono ? ((row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0) : row[x];
      }
    }
  }

  FT_Library m_library = nullptr;
  FT_Face m_face = nullptr;
  int m_ascent = kCellHeight * 3 / 4;
  Glyph m_glyphs[256];
};

uint32_t Blend(uint32_t under, uint32_t over, unsigned alpha) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const unsigned u = (under >> shift) & 0xFF, o = (over >> shift) & 0xFF;
    out |= ((o * alpha + u * (255 - alpha) + 127) / 255) << shift;
  }
  return out;
}

}  // namespace
}  // namespace w32

using namespace w32;

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int length) {
  DeviceContext* dc = FindDc(hdc);
  if (!dc || length < 0 || (!text && length > 0)) return FALSE;
  if (length == 0) return TRUE;
  SystemFont& font = SystemFont::Get();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);

  int64_t width = 0;
  for (int i = 0; i < length; ++i) width += font.For(bytes[i]).advance;
  const int64_t left = int64_t(x) + dc->origin.x, top = int64_t(y) + dc->origin.y;
  const int64_t right = left + width, bottom = top + kCellHeight;
  if (dc->bkMode == OPAQUE) FillTargetBox(*dc, left, top, right, bottom, ToPixel(dc->bkColor));
  if (!font.Loaded()) return TRUE;

  // Glyphs stay inside their cell, so opaque text never leaves its box.
  pixman_box32_t box;
  if (!CutToClip(*dc, left, top, right, bottom, &box)) return TRUE;
  const int64_t clipLeft = box.x1, clipRight = box.x2, clipTop = box.y1, clipBottom = box.y2;
  const uint32_t ink = ToPixel(dc->textColor);
  Wrote(dc->target, box);
  int64_t penX = left;
  for (int i = 0; i < length && penX < clipRight; ++i) {
    const Glyph& g = font.For(bytes[i]);
    const int64_t gx = penX + g.left, gy = top + font.Ascent() - g.top;
    penX += g.advance;
    const int64_t x0 = std::max(gx, clipLeft), x1 = std::min(gx + g.width, clipRight);
    const int64_t y0 = std::max(gy, clipTop), y1 = std::min(gy + g.rows, clipBottom);
    for (int64_t ty = y0; ty < y1; ++ty) {
      const uint8_t* row = g.coverage.data() + size_t(ty - gy) * size_t(g.width);
      for (int64_t tx = x0; tx < x1; ++tx) {
        const unsigned alpha = row[tx - gx];
        if (alpha == 0) continue;
        if (uint32_t* p = ClippedPixel(*dc, tx, ty)) *p = alpha == 255 ? ink : Blend(*p, ink, alpha);
      }
    }
  }
  return TRUE;
}
