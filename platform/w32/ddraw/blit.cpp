// Blt's pixel work: pixman stores the pixels and fills; copies and stretches
// are ours. pixman's nearest filter steps through the source with a truncated
// 16.16 scale, so at many sizes some destination columns take the neighbour
// of the pixel under their centre, and it costs several times the plain
// writing of the destination.
//
// Pixels are only written, never compared: what need not be written at all
// (the parts of a frame that did not change) the caller leaves out of the
// area, from what it knows changed (damage.h).
//
// A stretch builds a destination row from its source row once and copies it
// to the rows below that show the same source row. A row is built in groups
// of 8 destination pixels, each a shuffle of 8 source pixels, where the CPU
// has AVX2 and the scale does not shrink; elsewhere pixel by pixel.
#include "blit.h"

#include <algorithm>
#include <climits>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define W32_BLIT_AVX2 1
#define W32_AVX2 __attribute__((target("avx2")))
#endif

namespace w32 {
namespace {

// An image's rows, looked up once per blit.
class Rows {
 public:
  explicit Rows(pixman_image_t* image)
      : m_base(reinterpret_cast<uint8_t*>(pixman_image_get_data(image))),
        m_stride(size_t(pixman_image_get_stride(image))) {}
  uint32_t* operator[](int64_t y) const { return reinterpret_cast<uint32_t*>(m_base + size_t(y) * m_stride); }

 private:
  uint8_t* m_base;
  size_t m_stride;
};

bool HasAvx2() {
#ifdef W32_BLIT_AVX2
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return false;
#endif
}

// A private copy of `from`, for blits whose source and destination are the
// same image and may overlap.
pixman_image_t* Snapshot(pixman_image_t* src, const RECT& from) {
  int w = from.right - from.left, h = from.bottom - from.top;
  pixman_image_t* copy = pixman_image_create_bits_no_clear(PIXMAN_x8r8g8b8, w, h, nullptr, 0);
  if (copy) pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, copy, from.left, from.top, 0, 0, 0, 0, w, h);
  return copy;
}

// The source offsets that destination offsets first, first + 1, ... take
// when destSize pixels show sourceSize: each the one under the centre of its
// pixel, (2i + 1) * sourceSize / (2 * destSize), without a division per step.
class Walker {
 public:
  Walker(int64_t first, int64_t sourceSize, int64_t destSize)
      : m_den(2 * destSize), m_stepQ(2 * sourceSize / m_den), m_stepR(2 * sourceSize % m_den) {
    const int64_t num = (2 * first + 1) * sourceSize;
    m_q = num / m_den;
    m_r = num % m_den;
  }
  int64_t Value() const { return m_q; }
  void Next() {
    m_q += m_stepQ;
    m_r += m_stepR;
    if (m_r >= m_den) {
      m_r -= m_den;
      ++m_q;
    }
  }

 private:
  int64_t m_den, m_stepQ, m_stepR, m_q = 0, m_r = 0;
};

// Where the destination columns of the area take their pixels from.
struct Columns {
  int64_t left = 0;              // the destination column of source[0]
  std::vector<uint32_t> source;  // per column of the area: its source column
  // Groups of 8 destination columns from groupLeft, built with vectors: the
  // first `groups` of them (none without AVX2, or when the picture shrinks).
  // Each is a shuffle of the 8 source pixels from its base, by a pattern
  // of 8 offsets, a byte each.
  int64_t groupLeft = 0;
  size_t groups = 0;
  std::vector<uint32_t> bases;
  std::vector<uint64_t> patterns;
  // A whole multiple of the width, up to 8 times: every source pixel shows
  // `factor` times, so blocks of 8 source pixels make `factor` groups each
  // from one load and fixed shuffles.
  int factor = 0;
  int64_t blockLeft = 0;
  size_t blocks = 0;
  uint32_t blockBase = 0;  // the source column of blockLeft
};

Columns MapColumns(const RECT& to, const RECT& from, int64_t left, int64_t right, int64_t sourceWidth) {
  Columns c;
  const int64_t dw = int64_t(to.right) - to.left, sw = int64_t(from.right) - from.left;
  c.left = left;
  c.source.resize(size_t(right - left));
  Walker w(left - to.left, sw, dw);
  for (uint32_t& s : c.source) {
    s = uint32_t(from.left + w.Value());
    w.Next();
  }
  if (!HasAvx2() || dw < sw) return c;
  if (dw % sw == 0 && dw / sw <= 8) {
    const int64_t k = dw / sw, span = 8 * k;
    c.factor = int(k);
    // Any column on a source pixel's left edge starts a block.
    c.blockLeft = to.left + (left - to.left + k - 1) / k * k;
    c.blockBase = uint32_t(from.left + (c.blockLeft - to.left) / k);
    while (c.blockLeft + span * int64_t(c.blocks + 1) <= right && int64_t(c.blockBase) + 8 * int64_t(c.blocks + 1) <= sourceWidth)
      ++c.blocks;
    return c;
  }
  // Groups start at multiples of 8 from the left edge of `to`.
  c.groupLeft = to.left + (left - to.left + 7) / 8 * 8;
  const uint32_t* first = c.source.data() + (c.groupLeft - left);
  for (int64_t g = 0; c.groupLeft + 8 * (g + 1) <= right; ++g, ++c.groups) {
    const uint32_t* s = first + 8 * g;
    if (s[7] - s[0] > 7 || sourceWidth < 8) break;
    // Near the right edge the 8 pixels loaded end at the row's last one.
    const uint32_t base = std::min(s[0], uint32_t(sourceWidth - 8));
    uint64_t pattern = 0;
    for (int j = 0; j < 8; ++j) pattern |= uint64_t(s[j] - base) << (8 * j);
    c.bases.push_back(base);
    c.patterns.push_back(pattern);
  }
  return c;
}

#ifdef W32_BLIT_AVX2
W32_AVX2 inline __m256i Load(const uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
W32_AVX2 inline __m256i Shuffle(__m256i pixels, uint64_t pattern) {
  return _mm256_permutevar8x32_epi32(pixels, _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(int64_t(pattern))));
}

// Asks for the two cache lines at p, which the next row will need: rows
// further apart than a page each start a new stream that the hardware
// prefetcher would otherwise first have to miss on.
W32_AVX2 inline void Prefetch(const uint32_t* p) {
  _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
  _mm_prefetch(reinterpret_cast<const char*>(p + 16), _MM_HINT_T0);
}

// Where destination rows go: one row, or several below each other (a
// stride apart) that show the same source row, each vector built stored to
// all of them. Passed and kept by value: a vector store may alias anything,
// so state reached through a pointer would be loaded again after each one.
struct OneRow {
  uint32_t* first;
  W32_AVX2 void Store(size_t at, __m256i v) const { _mm256_storeu_si256(reinterpret_cast<__m256i*>(first + at), v); }
};
struct SomeRows {
  uint32_t* first;
  size_t stride;  // in pixels
  int rows;
  W32_AVX2 void Store(size_t at, __m256i v) const {
    uint32_t* p = first + at;
    for (int r = 0; r < rows; ++r, p += stride) _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }
};

// Groups of 8 pixels from `in` to `out`, pixel for pixel, prefetching the
// same span of the next row (nextOut) and of where it reads (nextIn).
W32_AVX2 void CopyGroups(uint32_t* out, const uint32_t* in, size_t groups, const uint32_t* nextOut,
                         const uint32_t* nextIn) {
  const OneRow o{out};
  size_t g = 0;
  for (; g + 4 <= groups; g += 4) {
    Prefetch(nextOut + 8 * g);
    Prefetch(nextIn + 8 * g);
    const __m256i a = Load(in + 8 * g), b = Load(in + 8 * g + 8), c = Load(in + 8 * g + 16), d = Load(in + 8 * g + 24);
    o.Store(8 * g, a);
    o.Store(8 * g + 8, b);
    o.Store(8 * g + 16, c);
    o.Store(8 * g + 24, d);
  }
  for (; g < groups; ++g) o.Store(8 * g, Load(in + 8 * g));
}

// A whole multiple K of the width: blocks of 8 source pixels from `in`,
// each shown as K groups of 8, from one load and K fixed shuffles.
template <int K, class Out>
W32_AVX2 void FactorBlocks(const Out o, size_t at, const uint32_t* in, size_t blocks) {
  __m256i shuffle[K];
#pragma GCC unroll 8
  for (int j = 0; j < K; ++j)
    shuffle[j] = _mm256_setr_epi32((8 * j) / K, (8 * j + 1) / K, (8 * j + 2) / K, (8 * j + 3) / K, (8 * j + 4) / K,
                                   (8 * j + 5) / K, (8 * j + 6) / K, (8 * j + 7) / K);
  for (size_t b = 0; b < blocks; ++b) {
    const __m256i p = Load(in + 8 * b);
#pragma GCC unroll 8
    for (int j = 0; j < K; ++j) o.Store(at + 8 * (K * b + size_t(j)), _mm256_permutevar8x32_epi32(p, shuffle[j]));
  }
}

// Twice the width, the commonest: two blocks a step, their loads ahead of
// their stores.
template <class Out>
W32_AVX2 void DoubleBlocks(const Out o, size_t at, const uint32_t* in, size_t blocks) {
  const __m256i first = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3), second = _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7);
  size_t b = 0;
  for (; b + 2 <= blocks; b += 2) {
    const __m256i p = Load(in + 8 * b), q = Load(in + 8 * b + 8);
    o.Store(at + 16 * b, _mm256_permutevar8x32_epi32(p, first));
    o.Store(at + 16 * b + 8, _mm256_permutevar8x32_epi32(p, second));
    o.Store(at + 16 * b + 16, _mm256_permutevar8x32_epi32(q, first));
    o.Store(at + 16 * b + 24, _mm256_permutevar8x32_epi32(q, second));
  }
  if (b < blocks) {
    const __m256i p = Load(in + 8 * b);
    o.Store(at + 16 * b, _mm256_permutevar8x32_epi32(p, first));
    o.Store(at + 16 * b + 8, _mm256_permutevar8x32_epi32(p, second));
  }
}

template <class Out>
W32_AVX2 void FactorBlocks(int k, const Out o, size_t at, const uint32_t* in, size_t blocks) {
  switch (k) {
    case 2: return DoubleBlocks(o, at, in, blocks);
    case 3: return FactorBlocks<3>(o, at, in, blocks);
    case 4: return FactorBlocks<4>(o, at, in, blocks);
    case 5: return FactorBlocks<5>(o, at, in, blocks);
    case 6: return FactorBlocks<6>(o, at, in, blocks);
    case 7: return FactorBlocks<7>(o, at, in, blocks);
    default: return FactorBlocks<8>(o, at, in, blocks);
  }
}

// Any other scale: per group, a base in the source row and a pattern.
template <class Out>
W32_AVX2 void TableGroups(const Out o, size_t at, const uint32_t* in, const uint32_t* bases, const uint64_t* patterns,
                          size_t groups) {
  for (size_t g = 0; g < groups; ++g) o.Store(at + 8 * g, Shuffle(Load(in + bases[g]), patterns[g]));
}
#endif

// Pixels [x1, x2) of `rows` rows from `first` down, `stride` apart, all the
// same source pixels: in[x + shift].
void CopySpan(uint32_t* first, size_t stride, int rows, const uint32_t* in, int64_t x1, int64_t x2,
              const uint32_t* nextOut, const uint32_t* nextIn) {
  const size_t n = size_t(x2 - x1);
#ifdef W32_BLIT_AVX2
  if (HasAvx2() && rows == 1 && nextOut) {
    // Rows far apart, one at a time: copy along with prefetching the next.
    const size_t whole = n / 8 * 8;
    CopyGroups(first + x1, in, n / 8, nextOut, nextIn);
    if (whole < n) std::memcpy(first + x1 + whole, in + whole, (n - whole) * sizeof(uint32_t));
    return;
  }
#else
  (void)nextOut;
  (void)nextIn;
#endif
  for (int r = 0; r < rows; ++r) std::memcpy(first + size_t(r) * stride + x1, in, n * sizeof(uint32_t));
}

// Destination columns [x1, x2) of `rows` rows from `first` down, from the
// source row `in`.
template <class Out>
void StretchSpanInto(const Out o, uint32_t* first, size_t stride, int rows, const uint32_t* in, const Columns& c,
                     int64_t x1, int64_t x2) {
  auto pixel = [&](int64_t x) {
    const uint32_t v = in[c.source[size_t(x - c.left)]];
    uint32_t* p = first + x;
    for (int r = 0; r < rows; ++r, p += stride) *p = v;
  };
  int64_t x = x1;
#ifdef W32_BLIT_AVX2
  if (c.factor) {
    // Whole blocks inside [x1, x2).
    const int64_t span = 8 * int64_t(c.factor);
    const int64_t b0 = x1 > c.blockLeft ? (x1 - c.blockLeft + span - 1) / span : 0;
    const int64_t b1 = std::min<int64_t>(int64_t(c.blocks), x2 > c.blockLeft ? (x2 - c.blockLeft) / span : 0);
    if (b0 < b1) {
      const int64_t start = c.blockLeft + span * b0;
      for (; x < start; ++x) pixel(x);
      FactorBlocks(c.factor, o, size_t(start), in + c.blockBase + 8 * b0, size_t(b1 - b0));
      x = start + span * (b1 - b0);
    }
  } else {
    // Whole groups inside [x1, x2), among those that can be built.
    const int64_t g0 = x1 > c.groupLeft ? (x1 - c.groupLeft + 7) / 8 : 0;
    const int64_t g1 = std::min<int64_t>(int64_t(c.groups), x2 > c.groupLeft ? (x2 - c.groupLeft) / 8 : 0);
    if (g0 < g1) {
      const int64_t start = c.groupLeft + 8 * g0;
      for (; x < start; ++x) pixel(x);
      TableGroups(o, size_t(start), in, &c.bases[size_t(g0)], &c.patterns[size_t(g0)], size_t(g1 - g0));
      x = start + 8 * (g1 - g0);
    }
  }
#else
  (void)o;
#endif
  for (; x < x2; ++x) pixel(x);
}

void StretchSpan(uint32_t* first, size_t stride, int rows, const uint32_t* in, const Columns& c, int64_t x1,
                 int64_t x2) {
#ifdef W32_BLIT_AVX2
  if (rows == 1) return StretchSpanInto(OneRow{first}, first, stride, 1, in, c, x1, x2);
  return StretchSpanInto(SomeRows{first, stride, rows}, first, stride, rows, in, c, x1, x2);
#else
  StretchSpanInto(0, first, stride, rows, in, c, x1, x2);
#endif
}

void Stretch(pixman_image_t* dst, const RECT& to, pixman_image_t* src, const RECT& from,
             const pixman_region32_t* area, const pixman_box32_t* boxes, int n) {
  const int64_t dw = int64_t(to.right) - to.left, dh = int64_t(to.bottom) - to.top;
  const int64_t sw = int64_t(from.right) - from.left, sh = int64_t(from.bottom) - from.top;
  const bool sameWidth = sw == dw;
  const pixman_box32_t* ext = pixman_region32_extents(area);
  Columns columns;
  if (!sameWidth) columns = MapColumns(to, from, ext->x1, ext->x2, pixman_image_get_width(src));
  // When the width is kept, destination column x shows source column x + shift.
  const int64_t shift = sameWidth ? int64_t(from.left) - to.left : 0;

  const Rows out(dst), in(src);
  // Rows that lie far apart each start a stream that the hardware
  // prefetcher first misses on: copies then ask for the next row ahead.
  const bool prefetch = pixman_image_get_stride(dst) - 4 * int64_t(ext->x2 - ext->x1) > 256 ||
                        pixman_image_get_stride(src) - 4 * int64_t(ext->x2 - ext->x1) > 256;
  // Boxes come in bands of equal y, sorted by y, and the source row only
  // grows with y: the rows of a band that show the same source row are
  // built once. Within the caches the first is built and copied to the
  // others (a string copy from a row just written); beyond them each vector
  // built is stored to all of them, so no row is read back from memory.
  const size_t stride = size_t(pixman_image_get_stride(dst)) / 4;
  constexpr int64_t kCached = 16 << 20;  // bytes
  const bool storeToAll = int64_t(ext->x2 - ext->x1) * (ext->y2 - ext->y1) * 4 > kCached;
  for (int i = 0; i < n;) {
    int end = i;
    while (end < n && boxes[end].y1 == boxes[i].y1) ++end;
    const int y1 = boxes[i].y1, y2 = boxes[i].y2;
    Walker rows(int64_t(y1) - to.top, sh, dh);
    for (int y = y1; y < y2;) {
      const int64_t sy = from.top + rows.Value();
      int last = y + 1;  // one past the rows showing source row sy
      for (rows.Next(); last < y2 && from.top + rows.Value() == sy; rows.Next()) ++last;
      const int64_t next = last < y2 ? from.top + rows.Value() : -1;
      const uint32_t* line = in[sy];
      const int together = storeToAll ? last - y : 1;
      for (int b = i; b < end; ++b) {
        const int64_t x1 = boxes[b].x1, x2 = boxes[b].x2;
        if (sameWidth)
          CopySpan(out[y], stride, together, line + (x1 + shift), x1, x2,
                   prefetch && next >= 0 ? out[last] + x1 : nullptr, next >= 0 ? in[next] + (x1 + shift) : nullptr);
        else
          StretchSpan(out[y], stride, together, line, columns, x1, x2);
        for (int r = y + together; r < last; ++r) std::memcpy(out[r] + x1, out[y] + x1, size_t(x2 - x1) * 4);
      }
      y = last;
    }
    i = end;
  }
}

// The first offset of `destSize` whose source offset is `s` or more.
int64_t FirstShowing(int64_t s, int64_t sourceSize, int64_t destSize) {
  const int64_t num = 2 * destSize * s - sourceSize, den = 2 * sourceSize;
  if (num <= 0) return 0;
  return std::min(destSize, (num + den - 1) / den);
}

}  // namespace

void BlitFill(pixman_image_t* dst, const pixman_region32_t* area, uint32_t pixel) {
  int n = 0;
  pixman_box32_t* boxes = pixman_region32_rectangles(const_cast<pixman_region32_t*>(area), &n);
  if (n == 0) return;
  const pixman_color_t color = ToPixmanColor(pixel);
  pixman_image_fill_boxes(PIXMAN_OP_SRC, dst, &color, n, boxes);
}

void BlitStretch(pixman_image_t* dst, const RECT& to, pixman_image_t* src, const RECT& from,
                 const pixman_region32_t* area) {
  int n = 0;
  const pixman_box32_t* boxes = pixman_region32_rectangles(const_cast<pixman_region32_t*>(area), &n);
  if (n == 0) return;
  pixman_image_t* copy = nullptr;
  RECT source = from;
  if (src == dst) {
    copy = Snapshot(src, from);
    if (!copy) return;
    src = copy;
    source = RECT{0, 0, from.right - from.left, from.bottom - from.top};
  }
  Stretch(dst, to, src, source, area, boxes, n);
  if (copy) pixman_image_unref(copy);
}

void ShownIn(const RECT& to, const RECT& from, const pixman_region32_t* changed, pixman_region32_t* shown) {
  pixman_region32_clear(shown);
  const int64_t dw = int64_t(to.right) - to.left, dh = int64_t(to.bottom) - to.top;
  const int64_t sw = int64_t(from.right) - from.left, sh = int64_t(from.bottom) - from.top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  int n = 0;
  const pixman_box32_t* boxes = pixman_region32_rectangles(const_cast<pixman_region32_t*>(changed), &n);
  for (int i = 0; i < n; ++i) {
    const int64_t x1 = std::max<int64_t>(boxes[i].x1, from.left) - from.left;
    const int64_t x2 = std::min<int64_t>(boxes[i].x2, from.right) - from.left;
    const int64_t y1 = std::max<int64_t>(boxes[i].y1, from.top) - from.top;
    const int64_t y2 = std::min<int64_t>(boxes[i].y2, from.bottom) - from.top;
    if (x1 >= x2 || y1 >= y2) continue;
    // Destination columns (rows) from the first that shows x1 (y1) to the
    // first that shows x2 (y2), kept within int for the region.
    auto clamp = [](int64_t v) { return std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2); };
    const int64_t l = clamp(to.left + FirstShowing(x1, sw, dw)), r = clamp(to.left + FirstShowing(x2, sw, dw));
    const int64_t t = clamp(to.top + FirstShowing(y1, sh, dh)), b = clamp(to.top + FirstShowing(y2, sh, dh));
    if (l < r && t < b) pixman_region32_union_rect(shown, shown, int(l), int(t), unsigned(r - l), unsigned(b - t));
  }
}

}  // namespace w32
