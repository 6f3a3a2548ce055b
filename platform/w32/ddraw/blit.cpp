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
// A stretch builds the pixels of a destination row from its source row once
// for all the rows below it that show the same source row. Where the CPU
// has vectors and the picture does not shrink, a row is built in groups of
// 16 pixels (AVX-512) or 8 (AVX2), each one shuffle of as many source
// pixels by a table of offsets; a window of several groups shares one load
// of the source when they all fall within it (a whole multiple of the width
// does so every time). The tables depend only on the geometry and are kept
// from one blit to the next. Elsewhere pixel by pixel.
//
// Where the cost goes, within the caches: the stores of the destination,
// which a fill of the same area pays too, and the reads of the source, which
// take the same way between the caches and do not overlap with them (a
// 640 x 480 source adds about a quarter to a fill of 1366 x 768); the
// shuffles add less than a tenth. Each vector built is
// stored to every row that shows it, so no row is read back. A destination
// larger than the caches is written one row at a time, each from a buffer
// built once, with stores that go past the caches: rows written side by
// side there compete for memory, and nothing reads them back soon.
#include "blit.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#define W32_BLIT_AVX2 1
#define W32_AVX2 __attribute__((target("avx2")))
#define W32_BLIT_AVX512 1
#define W32_AVX512 __attribute__((target("avx512f,avx2")))
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

int CpuVectorBits() {
#if defined(W32_BLIT_AVX512)
  static const int bits = __builtin_cpu_supports("avx512f") ? 512 : __builtin_cpu_supports("avx2") ? 256 : 0;
#elif defined(W32_BLIT_AVX2)
  static const int bits = __builtin_cpu_supports("avx2") ? 256 : 0;
#else
  const int bits = 0;
#endif
  return bits;
}
int g_vectorLimit = 512;
int VectorBits() { return std::min(CpuVectorBits(), g_vectorLimit); }

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

// Where the destination columns [left, right) take their pixels from, for
// one geometry; kept for the next blit with the same one (a program
// presents the same way every frame).
struct Columns {
  RECT to{}, from{};
  int64_t left = 0, right = 0, sourceWidth = 0;
  int bits = -1;                 // the vectors it was made for
  std::vector<uint32_t> source;  // per column: its source column
  // With vectors (when the picture does not shrink): groups of `lanes`
  // columns from `left`, the last perhaps reaching past `right`. Each window
  // of `share` groups reads one vector of `lanes` source pixels from its
  // base, and each group is a shuffle of that vector: per column, its
  // offset from the base, a byte. A whole multiple of the width makes wide
  // windows (three groups from one load at three times), other scales
  // narrower ones.
  int lanes = 0;
  int share = 1;
  std::vector<uint32_t> bases;  // per window
  std::vector<uint8_t> index;   // per column, and `lanes` more to read past the last
};

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

const Columns& MapColumns(const RECT& to, const RECT& from, int64_t left, int64_t right, int64_t sourceWidth) {
  static Columns c;
  const int bits = VectorBits();
  if (c.bits == bits && c.left == left && c.right == right && c.sourceWidth == sourceWidth && SameRect(c.to, to) &&
      SameRect(c.from, from))
    return c;
  c.to = to;
  c.from = from;
  c.left = left;
  c.right = right;
  c.sourceWidth = sourceWidth;
  c.bits = bits;
  const int64_t dw = int64_t(to.right) - to.left, sw = int64_t(from.right) - from.left;
  const size_t n = size_t(right - left);
  c.source.resize(n);
  Walker w(left - to.left, sw, dw);
  for (uint32_t& s : c.source) {
    s = uint32_t(from.left + w.Value());
    w.Next();
  }
  c.lanes = 0;
  c.share = 1;
  c.bases.clear();
  c.index.clear();
  const int lanes = bits / 32;
  if (lanes == 0 || dw < sw || sourceWidth < lanes) return c;
  // Near the right edge a window loads the row's last `lanes` pixels.
  auto base = [&](size_t first) { return std::min(c.source[first], uint32_t(sourceWidth - lanes)); };
  auto fits = [&](int share) {
    const size_t span = size_t(share) * size_t(lanes);
    for (size_t first = 0; first < n; first += span)
      if (c.source[std::min(n, first + span) - 1] - base(first) >= uint32_t(lanes)) return false;
    return true;
  };
  int share = 8;
  while (share > 0 && !fits(share)) --share;
  if (share == 0) return c;
  c.lanes = lanes;
  c.share = share;
  const size_t span = size_t(share) * size_t(lanes);
  c.index.assign(n + size_t(lanes) * 2, 0);
  for (size_t first = 0; first < n; first += span) {
    const uint32_t b = base(first);
    c.bases.push_back(b);
    for (size_t x = first; x < std::min(n, first + span); ++x) c.index[x] = uint8_t(c.source[x] - b);
  }
  return c;
}

// Stretches columns [x1, x2) of `rows` rows, `stride` pixels apart, from
// source row `in`; `out` is column x1 of the first.
using SpanFn = void (*)(uint32_t* out, size_t stride, int rows, const uint32_t* in, const Columns& c, int64_t x1,
                        int64_t x2);

// Pixel by pixel, for scales that shrink and CPUs without vectors; also the
// ends of spans that do not fill a whole group.
void PixelSpan(uint32_t* out, size_t stride, int rows, const uint32_t* in, const Columns& c, int64_t x1, int64_t x2) {
  const uint32_t* source = c.source.data() + (x1 - c.left);
  for (int r = 0; r < rows; ++r, out += stride)
    for (int64_t i = 0; i < x2 - x1; ++i) out[i] = in[source[i]];
}

#ifdef W32_BLIT_AVX512
// GCC 12 takes the undefined vector its AVX-512 intrinsics start from for an
// uninitialised one.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// Each vector built is stored to all N rows that show the same source row.
template <int N>
W32_AVX512 inline void Put512(uint32_t* p, size_t stride, __m512i v) {
  for (int r = 0; r < N; ++r) _mm512_storeu_si512(p + size_t(r) * stride, v);
}
template <int N>
W32_AVX512 inline void Put512(uint32_t* p, size_t stride, __m512i v, __mmask16 mask) {
  for (int r = 0; r < N; ++r) _mm512_mask_storeu_epi32(p + size_t(r) * stride, mask, v);
}
W32_AVX512 inline __m512i Indices512(const uint8_t* index) {
  return _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(index)));
}

// Columns [a, b) (from c.left) of a span one group at a time, each up to the
// end of its group: a masked store, so no pixel outside the span is written.
template <int N>
W32_AVX512 void Singles512(uint32_t* out, size_t stride, const uint32_t* in, const Columns& c, size_t a, size_t b,
                           size_t from, size_t window) {
  while (a < b) {
    const size_t end = std::min(b, (a / 16 + 1) * 16);
    const __m512i v = _mm512_permutexvar_epi32(Indices512(&c.index[a]), _mm512_loadu_si512(in + c.bases[a / window]));
    Put512<N>(out + (a - from), stride, v, __mmask16((1u << (end - a)) - 1));
    a = end;
  }
}

// 16 pixels a group: whole windows of M groups inside the span from one
// load each, the groups before and after one by one.
template <int M, int N>
W32_AVX512 void Span512(uint32_t* out, size_t stride, int, const uint32_t* in, const Columns& c, int64_t x1,
                        int64_t x2) {
  constexpr size_t kWindow = 16 * M;
  const size_t a = size_t(x1 - c.left), b = size_t(x2 - c.left);
  const size_t w0 = (a + kWindow - 1) / kWindow, w1 = b / kWindow;
  if (w0 >= w1) return Singles512<N>(out, stride, in, c, a, b, a, kWindow);
  Singles512<N>(out, stride, in, c, a, w0 * kWindow, a, kWindow);
  // Kept in locals: a store through `out` might otherwise be taken to change
  // them.
  const uint32_t* bases = c.bases.data();
  const uint8_t* index = c.index.data();
  for (size_t w = w0; w < w1; ++w) {
    const __m512i s = _mm512_loadu_si512(in + bases[w]);
    uint32_t* p = out + (w * kWindow - a);
#pragma GCC unroll 8
    for (int j = 0; j < M; ++j)
      Put512<N>(p + 16 * j, stride, _mm512_permutexvar_epi32(Indices512(index + w * kWindow + 16 * j), s));
  }
  Singles512<N>(out, stride, in, c, w1 * kWindow, b, a, kWindow);
}

// `n` pixels from `from` to `to`, whole 64-byte lines past the caches.
W32_AVX512 void Stream512(uint32_t* to, const uint32_t* from, size_t n) {
  const size_t head = std::min(n, ((64 - (reinterpret_cast<uintptr_t>(to) & 63)) & 63) / 4);
  __mmask16 mask = __mmask16((1u << head) - 1);
  _mm512_mask_storeu_epi32(to, mask, _mm512_maskz_loadu_epi32(mask, from));
  size_t x = head;
  for (; x + 16 <= n; x += 16) _mm512_stream_si512(reinterpret_cast<__m512i*>(to + x), _mm512_loadu_si512(from + x));
  mask = __mmask16((1u << (n - x)) - 1);
  _mm512_mask_storeu_epi32(to + x, mask, _mm512_maskz_loadu_epi32(mask, from + x));
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

#ifdef W32_BLIT_AVX2
W32_AVX2 inline __m256i Load256(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
template <int N>
W32_AVX2 inline void Put256(uint32_t* p, size_t stride, __m256i v) {
  for (int r = 0; r < N; ++r) _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + size_t(r) * stride), v);
}
W32_AVX2 inline __m256i Indices256(const uint8_t* index) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(index)));
}

// Group g alone, from its window's base.
W32_AVX2 inline __m256i Group256(const uint32_t* in, const Columns& c, size_t g, size_t share) {
  return _mm256_permutevar8x32_epi32(Load256(in + c.bases[g / share]), Indices256(&c.index[8 * g]));
}

// 8 pixels a group, as Span512; the pixels of groups that the span only
// partly covers are written one by one.
template <int M, int N>
W32_AVX2 void Span256(uint32_t* out, size_t stride, int, const uint32_t* in, const Columns& c, int64_t x1,
                      int64_t x2) {
  constexpr size_t kWindow = 8 * M;
  const size_t a = size_t(x1 - c.left), b = size_t(x2 - c.left);
  const size_t g0 = (a + 7) / 8, g1 = b / 8;  // whole groups
  if (g0 >= g1) return PixelSpan(out, stride, N, in, c, x1, x2);
  PixelSpan(out, stride, N, in, c, x1, c.left + int64_t(8 * g0));
  const size_t w0 = std::min(g1, (g0 + M - 1) / M * M), w1 = std::max(w0, g1 / M * M);  // windows' groups
  for (size_t g = g0; g < w0; ++g) Put256<N>(out + (8 * g - a), stride, Group256(in, c, g, M));
  for (size_t w = w0 / M; w < w1 / M; ++w) {
    const __m256i s = Load256(in + c.bases[w]);
    const uint8_t* index = &c.index[w * kWindow];
    uint32_t* p = out + (w * kWindow - a);
#pragma GCC unroll 8
    for (int j = 0; j < M; ++j) Put256<N>(p + 8 * j, stride, _mm256_permutevar8x32_epi32(s, Indices256(index + 8 * j)));
  }
  for (size_t g = w1; g < g1; ++g) Put256<N>(out + (8 * g - a), stride, Group256(in, c, g, M));
  PixelSpan(out + (8 * g1 - a), stride, N, in, c, c.left + int64_t(8 * g1), x2);
}

// `n` pixels from `from` to `to`, whole 32-byte halves of lines past the caches.
W32_AVX2 void Stream256(uint32_t* to, const uint32_t* from, size_t n) {
  size_t x = 0;
  for (; x < n && (reinterpret_cast<uintptr_t>(to + x) & 31); ++x) to[x] = from[x];
  for (; x + 8 <= n; x += 8) _mm256_stream_si256(reinterpret_cast<__m256i*>(to + x), Load256(from + x));
  for (; x < n; ++x) to[x] = from[x];
}
#endif

// The span functions for windows of `share` groups (1 to 8) and `rows`
// rows (1 to 4).
#define W32_SPANS(Span, M) {Span<M, 1>, Span<M, 2>, Span<M, 3>, Span<M, 4>}
#define W32_SHARES(Span)                                                                                      \
  {                                                                                                           \
    W32_SPANS(Span, 1), W32_SPANS(Span, 2), W32_SPANS(Span, 3), W32_SPANS(Span, 4), W32_SPANS(Span, 5),      \
        W32_SPANS(Span, 6), W32_SPANS(Span, 7), W32_SPANS(Span, 8)                                            \
  }
SpanFn PickSpan(const Columns& c, int rows) {
#ifdef W32_BLIT_AVX512
  static const SpanFn wide[8][4] = W32_SHARES(Span512);
  if (c.lanes == 16) return wide[c.share - 1][rows - 1];
#endif
#ifdef W32_BLIT_AVX2
  static const SpanFn narrow[8][4] = W32_SHARES(Span256);
  if (c.lanes == 8) return narrow[c.share - 1][rows - 1];
#endif
  (void)c;
  (void)rows;
  return PixelSpan;
}
#undef W32_SHARES
#undef W32_SPANS

// Copies `n` pixels to a row that nothing reads soon: past the caches
// where the CPU can.
void StreamRow(uint32_t* to, const uint32_t* from, size_t n, int bits) {
#ifdef W32_BLIT_AVX512
  if (bits >= 512) return Stream512(to, from, n);
#endif
#ifdef W32_BLIT_AVX2
  if (bits >= 256) return Stream256(to, from, n);
#endif
  (void)bits;
  std::memcpy(to, from, n * sizeof(uint32_t));
}

#ifdef W32_BLIT_AVX2
// Asks for the two cache lines at p, which the next row will need: rows
// further apart than a page each start a new stream that the hardware
// prefetcher would otherwise first have to miss on.
W32_AVX2 inline void Prefetch(const uint32_t* p) {
  _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
  _mm_prefetch(reinterpret_cast<const char*>(p + 16), _MM_HINT_T0);
}

// Groups of 8 pixels from `in` to `out`, pixel for pixel, prefetching the
// same span of the next row (nextOut) and of where it reads (nextIn).
W32_AVX2 void CopyGroups(uint32_t* out, const uint32_t* in, size_t groups, const uint32_t* nextOut,
                         const uint32_t* nextIn) {
  size_t g = 0;
  for (; g + 4 <= groups; g += 4) {
    Prefetch(nextOut + 8 * g);
    Prefetch(nextIn + 8 * g);
    const __m256i a = Load256(in + 8 * g), b = Load256(in + 8 * g + 8), c = Load256(in + 8 * g + 16),
                  d = Load256(in + 8 * g + 24);
    Put256<1>(out + 8 * g, 0, a);
    Put256<1>(out + 8 * g + 8, 0, b);
    Put256<1>(out + 8 * g + 16, 0, c);
    Put256<1>(out + 8 * g + 24, 0, d);
  }
  for (; g < groups; ++g) Put256<1>(out + 8 * g, 0, Load256(in + 8 * g));
}
#endif

// Pixels [x1, x2) of `rows` rows from `first` down, `stride` apart, all the
// same source pixels: in[x + shift].
void CopySpan(uint32_t* first, size_t stride, int rows, const uint32_t* in, int64_t x1, int64_t x2,
              const uint32_t* nextOut, const uint32_t* nextIn) {
  const size_t n = size_t(x2 - x1);
#ifdef W32_BLIT_AVX2
  if (VectorBits() >= 256 && rows == 1 && nextOut) {
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

// A row of pixels aligned for vector stores, kept between blits.
uint32_t* RowBuffer(size_t n) {
  static std::vector<uint32_t> buffer;
  if (buffer.size() < n + 16) buffer.resize(n + 16);
  const uintptr_t at = reinterpret_cast<uintptr_t>(buffer.data());
  return buffer.data() + ((64 - (at & 63)) & 63) / 4;
}

void Stretch(pixman_image_t* dst, const RECT& to, pixman_image_t* src, const RECT& from,
             const pixman_region32_t* area, const pixman_box32_t* boxes, int n) {
  const int64_t dw = int64_t(to.right) - to.left, dh = int64_t(to.bottom) - to.top;
  const int64_t sw = int64_t(from.right) - from.left, sh = int64_t(from.bottom) - from.top;
  const bool sameWidth = sw == dw;
  const pixman_box32_t* ext = pixman_region32_extents(area);
  const Columns* columns = sameWidth ? nullptr : &MapColumns(to, from, ext->x1, ext->x2, pixman_image_get_width(src));
  // When the width is kept, destination column x shows source column x + shift.
  const int64_t shift = sameWidth ? int64_t(from.left) - to.left : 0;

  const Rows out(dst), in(src);
  // Rows that lie far apart each start a stream that the hardware
  // prefetcher first misses on: copies then ask for the next row ahead.
  const bool prefetch = pixman_image_get_stride(dst) - 4 * int64_t(ext->x2 - ext->x1) > 256 ||
                        pixman_image_get_stride(src) - 4 * int64_t(ext->x2 - ext->x1) > 256;
  // Boxes come in bands of equal y, sorted by y, and the source row only
  // grows with y: the rows of a band that show the same source row are
  // built together. Within the caches each vector built is stored to all of
  // them (up to 4 at a time). Beyond the caches rows written side by side
  // compete for the memory, and what is written is not read again soon: a
  // row is built once into a buffer and copied to each past the caches.
  const size_t stride = size_t(pixman_image_get_stride(dst)) / 4;
  constexpr int64_t kCached = 16 << 20;  // bytes
  const int bits = VectorBits();
  const bool stream = bits > 0 && int64_t(ext->x2 - ext->x1) * (ext->y2 - ext->y1) * 4 > kCached;
  uint32_t* buffer = stream && !sameWidth ? RowBuffer(size_t(ext->x2 - ext->x1)) : nullptr;
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
      for (int b = i; b < end; ++b) {
        const int64_t x1 = boxes[b].x1, x2 = boxes[b].x2;
        const size_t width = size_t(x2 - x1);
        if (sameWidth) {
          const int together = stream ? last - y : 1;
          CopySpan(out[y], stride, together, line + (x1 + shift), x1, x2,
                   prefetch && next >= 0 ? out[last] + x1 : nullptr, next >= 0 ? in[next] + (x1 + shift) : nullptr);
          for (int r = y + together; r < last; ++r) std::memcpy(out[r] + x1, out[y] + x1, width * 4);
        } else if (buffer) {
          PickSpan(*columns, 1)(buffer, 0, 1, line, *columns, x1, x2);
          for (int r = y; r < last; ++r) StreamRow(out[r] + x1, buffer, width, bits);
        } else if (columns->lanes) {
          for (int r = y; r < last; r += 4) {
            const int rows = std::min(4, last - r);
            PickSpan(*columns, rows)(out[r] + x1, stride, rows, line, *columns, x1, x2);
          }
        } else {
          PixelSpan(out[y] + x1, stride, 1, line, *columns, x1, x2);
          for (int r = y + 1; r < last; ++r) std::memcpy(out[r] + x1, out[y] + x1, width * 4);
        }
      }
      y = last;
    }
    i = end;
  }
#ifdef W32_BLIT_AVX2
  if (stream) _mm_sfence();  // the streamed rows reach memory before anyone reads them
#endif
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

int BlitVectorBits() { return VectorBits(); }

void LimitBlitVectors(int bits) { g_vectorLimit = bits; }

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
