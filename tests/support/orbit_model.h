// The program's picture, worked out from its definition alone: where the
// stroke lands for an angle, what the 640 x 480 back surface holds after each
// frame, and what a client area of any size shows of it. It shares no code
// with the program or the layer, so tests can hold both to it.
//
// A frame drawn at angle a in a W x H client area blackens the rectangle
// (0, 0, W, H) of the surface, cut at its edge (nothing for an empty client
// area), then paints the 21 pixels of a zero-length stroke of a 5-pixel pen at
// the angle's point. A skipped frame changes nothing. Before the first clear
// (and after the surfaces were lost) the surface holds nothing defined: those
// pixels are kUnknown, and no check may depend on them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orbit {

constexpr int kSurfaceWidth = 640, kSurfaceHeight = 480;
constexpr uint32_t kBlack = 0x000000, kRed = 0xFF0000;  // as the screen shows them, 0xRRGGBB
constexpr uint32_t kUnknown = 0xFFFFFFFF;                // not a colour: nothing defined there
constexpr int kFirstAngle = 50;

struct Point {
  int x, y;
};

// trunc(cos(a * 3.1415927 / 180) * 80) + 320, and the same with sin + 240.
Point PointAt(int angle);
// The angle of the frame after one drawn at `angle`: two on, 0 after 360.
int NextAngle(int angle);
// Whether the pixel (dx, dy) away from the stroke's point is painted: its
// centre lies within 2.5 of the point's.
bool InDisc(int dx, int dy);
// The surface column client column x shows in a client area `clientWidth`
// wide (the pixel under the centre: floor((2x + 1) * 640 / (2 W))); the
// same for rows with 480.
int SurfaceColumn(int x, int clientWidth);
int SurfaceRow(int y, int clientHeight);

class Surface {
 public:
  Surface();  // nothing defined yet
  void Frame(int angle, int clientWidth, int clientHeight);
  void Forget();  // the surfaces were lost: nothing defined again
  const uint32_t& At(int x, int y) const { return m_pixels[size_t(y) * kSurfaceWidth + size_t(x)]; }
  // What client pixel (x, y) of a clientWidth x clientHeight client area shows.
  uint32_t Shown(int x, int y, int clientWidth, int clientHeight) const {
    return At(SurfaceColumn(x, clientWidth), SurfaceRow(y, clientHeight));
  }

 private:
  std::vector<uint32_t> m_pixels;
};

// Real hosts run on the real clock: which frames a picture shows is found,
// not known. A history is the last frame drawn in a 640 x 480 client area
// (at angle `first`), then `after` more drawn in a client area of the
// picture's own size, the last of them at angle `last`.
struct History {
  int first, after, last;
};
// Every history of at most `maxAfter` frames after the first whose picture
// is `client` exactly (w x h pixels, row by row, 0xRRGGBB; any other byte
// above is ignored), latest first.
std::vector<History> HistoriesShowing(const std::vector<uint32_t>& client, int w, int h, int maxAfter);
std::string Describe(const std::vector<History>& histories);

}  // namespace orbit
