#include "damage.h"

#include <unordered_map>

namespace w32 {
namespace {

struct Known {
  bool solid = false;      // one colour all over, but for `notSolid`
  uint32_t colour = 0;
  pixman_region32_t notSolid;
  const void* reader = nullptr;  // who looked last
  bool everything = true;        // anything may have changed since
  pixman_region32_t changed;     // else: what did

  Known() {
    pixman_region32_init(&notSolid);
    pixman_region32_init(&changed);
  }
  ~Known() {
    pixman_region32_fini(&notSolid);
    pixman_region32_fini(&changed);
  }
  Known(const Known&) = delete;
  Known& operator=(const Known&) = delete;
};

// Never destroyed: images may be released from anyone's destructors at exit.
std::unordered_map<pixman_image_t*, Known>& Images() {
  static auto* images = new std::unordered_map<pixman_image_t*, Known>;
  return *images;
}

// Forgotten with the image itself, whoever releases it, so that a new image
// at the same address starts unknown.
void Forget(pixman_image_t* image, void*) {
  Images().erase(image);
}

Known& Of(pixman_image_t* image) {
  auto found = Images().find(image);
  if (found != Images().end()) return found->second;
  pixman_image_set_destroy_function(image, Forget, nullptr);
  return Images()[image];
}

// A record grown too intricate is worth less than it costs: give it up.
void Simplify(Known& k) {
  constexpr int kMostBoxes = 256;
  if (pixman_region32_n_rects(&k.changed) > kMostBoxes) {
    k.everything = true;
    pixman_region32_clear(&k.changed);
  }
  if (pixman_region32_n_rects(&k.notSolid) > kMostBoxes) {
    k.solid = false;
    pixman_region32_clear(&k.notSolid);
  }
}

bool Whole(pixman_image_t* image, const pixman_region32_t* area) {
  // Fills come row by row from wide lines: answer the plain cases without
  // making a region.
  pixman_region32_t* a = const_cast<pixman_region32_t*>(area);
  const pixman_box32_t* e = pixman_region32_extents(a);
  if (e->x1 > 0 || e->y1 > 0 || e->x2 < pixman_image_get_width(image) || e->y2 < pixman_image_get_height(image))
    return false;
  if (pixman_region32_n_rects(a) == 1) return true;
  pixman_region32_t all;
  pixman_region32_init_rect(&all, 0, 0, unsigned(pixman_image_get_width(image)),
                            unsigned(pixman_image_get_height(image)));
  pixman_region32_subtract(&all, &all, const_cast<pixman_region32_t*>(area));
  bool whole = !pixman_region32_not_empty(&all);
  pixman_region32_fini(&all);
  return whole;
}

}  // namespace

void PlanFill(pixman_image_t* image, pixman_region32_t* area, uint32_t pixel) {
  Known& k = Of(image);
  pixel &= 0x00FFFFFF;
  if (k.solid && k.colour == pixel) {
    // Only where it may differ; from now on it does not.
    pixman_region32_t asked;
    pixman_region32_init(&asked);
    pixman_region32_copy(&asked, area);
    pixman_region32_intersect(area, area, &k.notSolid);
    pixman_region32_subtract(&k.notSolid, &k.notSolid, &asked);
    pixman_region32_fini(&asked);
  } else if (Whole(image, area)) {
    k.solid = true;
    k.colour = pixel;
    pixman_region32_clear(&k.notSolid);
  } else if (k.solid) {
    pixman_region32_union(&k.notSolid, &k.notSolid, area);
  }
  if (!k.everything) pixman_region32_union(&k.changed, &k.changed, area);
  Simplify(k);
}

void Wrote(pixman_image_t* image, const pixman_region32_t* area) {
  Known& k = Of(image);
  if (k.solid) pixman_region32_union(&k.notSolid, &k.notSolid, const_cast<pixman_region32_t*>(area));
  if (!k.everything) pixman_region32_union(&k.changed, &k.changed, const_cast<pixman_region32_t*>(area));
  Simplify(k);
}

void Wrote(pixman_image_t* image, const pixman_box32_t& box) {
  if (box.x1 >= box.x2 || box.y1 >= box.y2) return;
  pixman_region32_t area;
  pixman_region32_init_rect(&area, box.x1, box.y1, unsigned(int64_t(box.x2) - box.x1),
                            unsigned(int64_t(box.y2) - box.y1));
  Wrote(image, &area);
  pixman_region32_fini(&area);
}

void WroteAll(pixman_image_t* image) {
  Known& k = Of(image);
  k.solid = false;
  pixman_region32_clear(&k.notSolid);
  k.everything = true;
  pixman_region32_clear(&k.changed);
}

bool TakeChanges(pixman_image_t* image, const void* reader, pixman_region32_t* changed) {
  Known& k = Of(image);
  const bool known = !k.everything && k.reader == reader;
  if (known) pixman_region32_copy(changed, &k.changed);
  k.reader = reader;
  k.everything = false;
  pixman_region32_clear(&k.changed);
  return known;
}

}  // namespace w32
