#include "orbit_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orbit {

Point PointAt(int angle) {
  const double theta = angle * 3.1415927 / 180.0;
  return Point{int(std::cos(theta) * 80.0) + 320, int(std::sin(theta) * 80.0) + 240};
}

int NextAngle(int angle) {
  return angle + 2 > 360 ? 0 : angle + 2;
}

bool InDisc(int dx, int dy) {
  return 4 * (dx * dx + dy * dy) <= 25;
}

int SurfaceColumn(int x, int clientWidth) {
  return int((2 * int64_t(x) + 1) * kSurfaceWidth / (2 * int64_t(clientWidth)));
}

int SurfaceRow(int y, int clientHeight) {
  return int((2 * int64_t(y) + 1) * kSurfaceHeight / (2 * int64_t(clientHeight)));
}

Surface::Surface() : m_pixels(size_t(kSurfaceWidth) * kSurfaceHeight, kUnknown) {}

void Surface::Frame(int angle, int clientWidth, int clientHeight) {
  const int w = std::min(clientWidth, kSurfaceWidth), h = std::min(clientHeight, kSurfaceHeight);
  static_assert(kBlack == 0, "cleared with memset");
  for (int y = 0; y < h; ++y) std::memset(&m_pixels[size_t(y) * kSurfaceWidth], 0, size_t(std::max(w, 0)) * 4);
  const Point p = PointAt(angle);
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx)
      if (InDisc(dx, dy)) m_pixels[size_t(p.y + dy) * kSurfaceWidth + size_t(p.x + dx)] = kRed;
}

void Surface::Forget() {
  std::fill(m_pixels.begin(), m_pixels.end(), kUnknown);
}

std::vector<History> HistoriesShowing(const std::vector<uint32_t>& client, int w, int h, int maxAfter) {
  std::vector<History> found;
  if (w < 1 || h < 1 || client.size() != size_t(w) * size_t(h)) return found;
  // What the picture says of each surface pixel it samples: -1 nothing, 0 black, 1 red.
  std::vector<int8_t> seen(size_t(kSurfaceWidth) * kSurfaceHeight, -1);
  int redSeen = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = client[size_t(y) * size_t(w) + size_t(x)] & 0xFFFFFF;
      if (c != kBlack && c != kRed) return found;
      int8_t& s = seen[size_t(SurfaceRow(y, h)) * kSurfaceWidth + size_t(SurfaceColumn(x, w))];
      if (s >= 0 && s != (c == kRed)) return found;
      redSeen += s < 0 && c == kRed;
      s = c == kRed;
    }
  // Each frame's clear wipes the earlier marks inside the client rectangle;
  // the marks outside it stay for good. `kept` stamps them per first angle.
  std::vector<int> kept(seen.size(), -1);
  const auto disc = [](int angle, auto&& visit) {
    const Point p = PointAt(angle);
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx)
        if (InDisc(dx, dy)) visit(p.x + dx, p.y + dy);
  };
  for (int first = 0; first <= 360; first += 2) {
    int keptRed = 0, angle = first;
    for (int after = 0; after <= maxAfter; ++after, angle = NextAngle(angle)) {
      bool fits = true;
      int red = keptRed;
      disc(angle, [&](int x, int y) {
        const size_t i = size_t(y) * kSurfaceWidth + size_t(x);
        if (seen[i] == 0) fits = false;
        red += seen[i] == 1 && kept[i] != first;
      });
      if (fits && red == redSeen) found.push_back(History{first, after, angle});
      bool wiped = false;
      disc(angle, [&](int x, int y) {
        const size_t i = size_t(y) * kSurfaceWidth + size_t(x);
        if ((x < w && y < h) || kept[i] == first) return;
        kept[i] = first;
        keptRed += seen[i] == 1;
        wiped |= seen[i] == 0;
      });
      if (wiped) break;  // a kept mark the picture lacks: it stays lacking
    }
  }
  std::sort(found.begin(), found.end(),
            [](const History& a, const History& b) { return a.after != b.after ? a.after < b.after : a.first < b.first; });
  return found;
}

std::string Describe(const std::vector<History>& histories) {
  if (histories.empty()) return "no history of the program's";
  std::string s;
  for (size_t i = 0; i < histories.size() && i < 6; ++i)
    s += (i ? ", " : "") + std::to_string(histories[i].first) + " then " + std::to_string(histories[i].after) +
         " to " + std::to_string(histories[i].last);
  if (histories.size() > 6) s += ", ... (" + std::to_string(histories.size()) + ")";
  return s;
}

}  // namespace orbit
