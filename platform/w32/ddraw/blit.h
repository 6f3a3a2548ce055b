// The pixel work behind IDirectDrawSurface::Blt, kept apart from the COM
// objects: fills, copies and stretches of bare images.
#pragma once

#include "../internal.h"

namespace w32 {

// Paints every box of `area` (destination coordinates) with an XRGB pixel.
void BlitFill(pixman_image_t* dst, const pixman_region32_t* area, uint32_t pixel);

// Copies the `from` rectangle of `src` onto the `to` rectangle of `dst`,
// writing only the pixels of `area` (destination coordinates, inside both
// `to` and `dst`). Each destination pixel takes the source pixel under its
// centre, measured against the whole of `to`, so clipping never changes the
// scale. `from` must lie inside `src`; `src` may be `dst`.
void BlitStretch(pixman_image_t* dst, const RECT& to, pixman_image_t* src, const RECT& from,
                 const pixman_region32_t* area);

// The widest vectors the stretch uses, in bits: 512 with AVX-512, 256 with
// AVX2, 0 (pixel by pixel) elsewhere. LimitBlitVectors lowers it, never
// above what the CPU has, so that tests and benchmarks run the narrower
// paths on a CPU that has the wider ones.
int BlitVectorBits();
void LimitBlitVectors(int bits);

// The destination pixels of a blit of `from` onto `to` that show some pixel
// of `changed` (source coordinates): where a change in the source shows.
void ShownIn(const RECT& to, const RECT& from, const pixman_region32_t* changed, pixman_region32_t* shown);

}  // namespace w32
