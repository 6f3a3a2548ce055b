// Blt's pixel work: pixman stores the pixels and fills; copies and stretches
// are ours. pixman's nearest filter steps through the source with a truncated
// 16.16 scale, so at many sizes some destination columns take the neighbour
// of the pixel under their centre, and it costs several times the plain
// writing of the destination.
//
// Every destination pixel is compared with what it is about to get as it is
// copied: the program blits a whole frame onto the screen on every tick
// while only a few pixels of it change, so an unchanged row costs two reads
// and no write, and the display is told only about what changed.
//
// A stretch builds a destination row from its source row once and copies it
// to the rows below that show the same source row. A row is built in groups
// of 8 destination pixels, each a shuffle of 8 source pixels, where the CPU
// has AVX2 and the scale does not shrink; elsewhere pixel by pixel.
#include "ddraw_blit.h"

#include <algorithm>
#include <climits>

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

// SourceOffset(i), SourceOffset(i + 1), ... without a division per step.
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

// The changed pixels of one destination row: columns first..last.
struct Span {
  int64_t first = INT64_MAX, last = INT64_MIN;
  bool Empty() const { return first > last; }
  void Add(int64_t a, int64_t b) {
    first = std::min(first, a);
    last = std::max(last, b);
  }
};

// Changed rows merged into bands of consecutive rows, each reported by its
// bounding box.
class Bands {
 public:
  explicit Bands(std::vector<RECT>* out) : m_out(out) {}
  void AddRow(int64_t y, const Span& s) {
    if (s.Empty()) return Close();
    if (m_open && m_box.bottom == y) {
      m_box.left = LONG(std::min<int64_t>(m_box.left, s.first));
      m_box.right = LONG(std::max<int64_t>(m_box.right, s.last + 1));
      m_box.bottom = LONG(y + 1);
      return;
    }
    Close();
    m_box = RECT{LONG(s.first), LONG(y), LONG(s.last + 1), LONG(y + 1)};
    m_open = true;
  }
  void Close() {
    if (m_open && m_out) m_out->push_back(m_box);
    m_open = false;
  }

 private:
  std::vector<RECT>* m_out;
  bool m_open = false;
  RECT m_box{};
};

// out[i] = value, when it differs; `x` is the destination column of out[i].
inline void Put(uint32_t* out, size_t i, uint32_t value, int64_t x, Span& s) {
  if (out[i] != value) {
    out[i] = value;
    s.Add(x, x);
  }
}

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
  // Exactly twice the width: every group shows 4 source pixels twice each,
  // so two groups come from one load and two fixed shuffles.
  bool doubled = false;
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
  // Groups start at multiples of 8 from the left edge of `to`, so that at
  // twice the width each starts on a source pixel.
  c.groupLeft = to.left + (left - to.left + 7) / 8 * 8;
  c.doubled = dw == 2 * sw;
  const uint32_t* first = c.source.data() + (c.groupLeft - left);
  for (int64_t g = 0; c.groupLeft + 8 * (g + 1) <= right; ++g, ++c.groups) {
    const uint32_t* s = first + 8 * g;
    if (s[7] - s[0] > 7 || int64_t(s[0]) + 8 > sourceWidth) break;
    uint64_t pattern = 0;
    for (int j = 0; j < 8; ++j) pattern |= uint64_t(s[j] - s[0]) << (8 * j);
    c.bases.push_back(s[0]);
    c.patterns.push_back(pattern);
  }
  return c;
}

#ifdef W32_BLIT_AVX2
// The first and last changed pixel of a run of vectors, from a bit per
// pixel (set: changed) of each vector or block of vectors that changed.
class Changes {
 public:
  void Note(size_t i, unsigned changed) {
    if (m_first == SIZE_MAX) m_first = i + size_t(__builtin_ctz(changed));
    m_lastAt = i;
    m_lastChanged = changed;
  }
  void Into(int64_t x0, Span& s) const {
    if (m_first != SIZE_MAX) s.Add(x0 + int64_t(m_first), x0 + int64_t(m_lastAt) + 31 - __builtin_clz(m_lastChanged));
  }

 private:
  size_t m_first = SIZE_MAX, m_lastAt = 0;
  unsigned m_lastChanged = 0;
};

W32_AVX2 inline __m256i Load(const uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
W32_AVX2 inline void Store(uint32_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
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

// One bit per pixel of four vectors of 8, in order: set where they differ
// from the 32 pixels at `out`.
W32_AVX2 inline unsigned Differs32(__m256i a0, __m256i a1, __m256i a2, __m256i a3, const uint32_t* out) {
  // Packing interleaves the 128-bit lanes; the permutation puts the pixels
  // back in order.
  const __m256i e01 = _mm256_packs_epi32(_mm256_cmpeq_epi32(a0, Load(out)), _mm256_cmpeq_epi32(a1, Load(out + 8)));
  const __m256i e23 =
      _mm256_packs_epi32(_mm256_cmpeq_epi32(a2, Load(out + 16)), _mm256_cmpeq_epi32(a3, Load(out + 24)));
  const __m256i e =
      _mm256_permutevar8x32_epi32(_mm256_packs_epi16(e01, e23), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
  return ~unsigned(_mm256_movemask_epi8(e));
}

W32_AVX2 inline unsigned Differs8(__m256i a, const uint32_t* out) {
  return ~unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(a, Load(out))))) & 0xFFu;
}

// Where groups of 8 pixels come from, one after the other, four at a time
// or one.
struct CopyGroups {  // straight from a row
  const uint32_t* in;
  W32_AVX2 void Next4(__m256i v[4]) {
    for (int i = 0; i < 4; ++i) v[i] = Load(in + 8 * i);
    in += 32;
  }
  W32_AVX2 __m256i Next() {
    const __m256i v = Load(in);
    in += 8;
    return v;
  }
};

struct DoubleGroups {  // twice the width: each source pixel twice
  const uint32_t* in;
  W32_AVX2 static __m256i First(__m256i p) {
    return _mm256_permutevar8x32_epi32(p, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
  }
  W32_AVX2 static __m256i Second(__m256i p) {
    return _mm256_permutevar8x32_epi32(p, _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7));
  }
  W32_AVX2 void Next4(__m256i v[4]) {
    const __m256i a = Load(in), b = Load(in + 8);
    v[0] = First(a);
    v[1] = Second(a);
    v[2] = First(b);
    v[3] = Second(b);
    in += 16;
  }
  W32_AVX2 __m256i Next() {
    const __m256i v = First(Load(in));
    in += 4;
    return v;
  }
};

struct TableGroups {  // any other scale: a base and a pattern per group
  const uint32_t* in;
  const uint32_t* bases;
  const uint64_t* patterns;
  W32_AVX2 __m256i Next() { return Shuffle(Load(in + *bases++), *patterns++); }
  W32_AVX2 void Next4(__m256i v[4]) {
    for (int i = 0; i < 4; ++i) v[i] = Next();
  }
};

// out[0, 8 * groups) = the groups `from` yields, where they differ; out[0]
// is destination column x0. nextOut and nextIn, unless null: the same span
// of the next row and of where it reads, prefetched along.
template <class Groups>
W32_AVX2 void PutGroups(uint32_t* out, Groups from, size_t groups, int64_t x0, Span& s, const uint32_t* nextOut,
                        const uint32_t* nextIn) {
  Changes c;
  size_t g = 0;
  for (; g + 4 <= groups; g += 4) {
    uint32_t* o = out + 8 * g;
    if (nextOut) {
      Prefetch(nextOut + 8 * g);
      Prefetch(nextIn + 8 * g);
    }
    __m256i v[4];
    from.Next4(v);
    const unsigned changed = Differs32(v[0], v[1], v[2], v[3], o);
    if (changed) {
      for (int i = 0; i < 4; ++i) Store(o + 8 * i, v[i]);
      c.Note(8 * g, changed);
    }
  }
  for (; g < groups; ++g) {
    const __m256i v = from.Next();
    const unsigned changed = Differs8(v, out + 8 * g);
    if (changed) {
      Store(out + 8 * g, v);
      c.Note(8 * g, changed);
    }
  }
  c.Into(x0, s);
}
#endif

// out[0, n) = in[0, n) where they differ; out[0] is destination column x0.
// nextOut and nextIn, unless null: the same span of the next row and of its
// source, to prefetch.
void CopyChanged(uint32_t* out, const uint32_t* in, size_t n, int64_t x0, Span& s, const uint32_t* nextOut,
                 const uint32_t* nextIn) {
  size_t i = 0;
#ifdef W32_BLIT_AVX2
  if (HasAvx2()) {
    i = n / 8 * 8;
    PutGroups(out, CopyGroups{in}, n / 8, x0, s, nextOut, nextIn);
  }
#else
  (void)nextOut;
  (void)nextIn;
#endif
  for (; i < n; ++i) Put(out, i, in[i], x0 + int64_t(i), s);
}

// Destination columns [x1, x2) of `row` from the source row `in`.
void StretchChanged(uint32_t* row, const uint32_t* in, const Columns& c, int64_t x1, int64_t x2, Span& s) {
  int64_t x = x1;
#ifdef W32_BLIT_AVX2
  // Whole groups inside [x1, x2), among those that can be built.
  const int64_t g0 = x1 > c.groupLeft ? (x1 - c.groupLeft + 7) / 8 : 0;
  const int64_t g1 = std::min<int64_t>(int64_t(c.groups), x2 > c.groupLeft ? (x2 - c.groupLeft) / 8 : 0);
  if (g0 < g1) {
    const int64_t start = c.groupLeft + 8 * g0;
    for (; x < start; ++x) Put(row, size_t(x), in[c.source[size_t(x - c.left)]], x, s);
    const size_t n = size_t(g1 - g0);
    if (c.doubled)
      PutGroups(row + start, DoubleGroups{in + c.bases[size_t(g0)]}, n, start, s, nullptr, nullptr);
    else
      PutGroups(row + start, TableGroups{in, &c.bases[size_t(g0)], &c.patterns[size_t(g0)]}, n, start, s, nullptr,
                nullptr);
    x = start + 8 * int64_t(n);
  }
#endif
  for (; x < x2; ++x) Put(row, size_t(x), in[c.source[size_t(x - c.left)]], x, s);
}

void Stretch(pixman_image_t* dst, const RECT& to, pixman_image_t* src, const RECT& from,
             const pixman_region32_t* area, const pixman_box32_t* boxes, int n, std::vector<RECT>* changed) {
  const int64_t dw = int64_t(to.right) - to.left, dh = int64_t(to.bottom) - to.top;
  const int64_t sw = int64_t(from.right) - from.left, sh = int64_t(from.bottom) - from.top;
  const bool sameWidth = sw == dw;
  const pixman_box32_t* ext = pixman_region32_extents(area);
  Columns columns;
  if (!sameWidth) columns = MapColumns(to, from, ext->x1, ext->x2, pixman_image_get_width(src));
  // When the width is kept, destination column x shows source column x + shift.
  const int64_t shift = sameWidth ? int64_t(from.left) - to.left : 0;

  Bands bands(changed);
  const Rows out(dst), in(src);
  // Rows that lie far apart each start a stream that the hardware
  // prefetcher first misses on: copies then ask for the next row ahead.
  const bool prefetch = pixman_image_get_stride(dst) - 4 * int64_t(ext->x2 - ext->x1) > 256 ||
                        pixman_image_get_stride(src) - 4 * int64_t(ext->x2 - ext->x1) > 256;
  // Boxes come in bands of equal y, sorted by y, and the source row only
  // grows with y: a row that shows the same source row as the one above it
  // in the same band is a copy of that one.
  for (int i = 0; i < n;) {
    int end = i;
    while (end < n && boxes[end].y1 == boxes[i].y1) ++end;
    const int y1 = boxes[i].y1, y2 = boxes[i].y2;
    Walker rows(int64_t(y1) - to.top, sh, dh);
    int64_t sy = from.top + rows.Value();
    int64_t above = -1;  // the source row of the row above, in this band
    for (int y = y1; y < y2; ++y) {
      rows.Next();
      const int64_t next = y + 1 < y2 ? from.top + rows.Value() : -1;
      uint32_t* row = out[y];
      const bool repeat = sy == above;
      // Where this row's and the next row's pixels come from: column
      // x + shift of these rows (the next row's only for prefetching them).
      const uint32_t* line = repeat ? out[y - 1] : in[sy];
      const int64_t lineShift = repeat ? 0 : shift;
      uint32_t* nextRow = next < 0 ? row : out[y + 1];
      const bool nextFromSource = next >= 0 && next != sy;
      const uint32_t* nextLine = nextFromSource ? in[next] : row;
      const int64_t nextShift = nextFromSource ? shift : 0;
      Span s;
      for (int b = i; b < end; ++b) {
        const int64_t x1 = boxes[b].x1, x2 = boxes[b].x2;
        if (repeat || sameWidth)
          CopyChanged(row + x1, line + (x1 + lineShift), size_t(x2 - x1), x1, s, prefetch ? nextRow + x1 : nullptr,
                      nextLine + (x1 + nextShift));
        else
          StretchChanged(row, line, columns, x1, x2, s);
      }
      above = sy;
      sy = next;
      bands.AddRow(y, s);
    }
    i = end;
  }
  bands.Close();
}

}  // namespace

void BlitFill(pixman_image_t* dst, const pixman_region32_t* area, uint32_t pixel) {
  int n = 0;
  pixman_box32_t* boxes = pixman_region32_rectangles(const_cast<pixman_region32_t*>(area), &n);
  if (n == 0) return;
  pixman_color_t color{uint16_t(((pixel >> 16) & 0xFF) * 0x101), uint16_t(((pixel >> 8) & 0xFF) * 0x101),
                       uint16_t((pixel & 0xFF) * 0x101), 0xFFFF};
  pixman_image_fill_boxes(PIXMAN_OP_SRC, dst, &color, n, boxes);
}

void BlitStretch(pixman_image_t* dst, const RECT& to, pixman_image_t* src, const RECT& from,
                 const pixman_region32_t* area, std::vector<RECT>* changed) {
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
  Stretch(dst, to, src, source, area, boxes, n, changed);
  if (copy) pixman_image_unref(copy);
}

}  // namespace w32
