// What changed on an image our layer draws on, so that work on pixels that
// did not change can be skipped: a fill of a surface that already has that
// colour, a blit of a frame of which only a disc moved.
//
// For every image it keeps what is known of its pixels (one colour all over
// but for some region) and what changed since its last reader looked. Every
// write to such an image goes through one of the calls below; an image not
// seen yet is simply not known.
#pragma once

#include <pixman.h>

namespace w32 {

// A solid fill of `area` (image coordinates) with `pixel`: reduces `area` to
// the part that may not hold `pixel` already, which the caller then fills.
void PlanFill(pixman_image_t* image, pixman_region32_t* area, uint32_t pixel);
// Pixels of `area` were written with other values.
void Wrote(pixman_image_t* image, const pixman_region32_t* area);
void Wrote(pixman_image_t* image, const pixman_box32_t& box);
// Anything at all may have changed (the memory was handed out).
void WroteAll(pixman_image_t* image);
// What of `image` changed since `reader` last looked, into `changed` (image
// coordinates). False when another reader looked last, or none did, or the
// image is not known: then anything may have changed. Either way `reader`
// is the last to have looked from now on.
bool TakeChanges(pixman_image_t* image, const void* reader, pixman_region32_t* changed);

}  // namespace w32
