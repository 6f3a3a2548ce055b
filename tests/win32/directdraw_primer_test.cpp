// The DirectDraw primer on the platform: set-up, release, drawing on the
// back surface through GDI, and presenting it into the window, checked on
// the pixels read back through Lock.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "directdraw_primer.h"
#include "support/recorder.h"
#include "support/surface.h"

namespace {

const uint32_t kBlack = 0x000000, kRed = 0xFF0000, kWhite = 0xFFFFFF;

// Opens the primer's fields to the tests.
class Probe : public DirectDrawPrimer {
 public:
  using DirectDrawPrimer::DirectDrawPrimer;
  using DirectDrawPrimer::m_hDC;
  using DirectDrawPrimer::m_pBack;
  using DirectDrawPrimer::m_pClipper;
  using DirectDrawPrimer::m_pDD;
  using DirectDrawPrimer::m_pPrimary;
};

std::string ClassName() {
  static int serial = 0;
  return "ddprimer-" + std::to_string(++serial);
}

class DirectDrawPrimerTest : public testing::Test {
 protected:
  void SetUp() override { DrainQueue(); }
  void TearDown() override {
    if (m_app && m_app->GetHWnd() && IsWindow(m_app->GetHWnd())) {
      m_app->ReleaseObjects();
      DestroyWindow(m_app->GetHWnd());
    }
    delete m_app;
    DrainQueue();
  }
  Probe& Open(int width, int height) {
    m_name = ClassName();
    m_app = new Probe(GetModuleHandleA(NULL), m_name.c_str(), RecordingProc);
    EXPECT_EQ(1, m_app->Create("dd", SW_SHOWNORMAL, GetModuleHandleA(NULL), width, height));
    return *m_app;
  }
  // Makes the client area exactly width x height.
  void SetClientSize(int width, int height) {
    RECT outer, client;
    GetWindowRect(m_app->GetHWnd(), &outer);
    GetClientRect(m_app->GetHWnd(), &client);
    MoveWindow(m_app->GetHWnd(), outer.left, outer.top, width + (outer.right - outer.left) - client.right,
               height + (outer.bottom - outer.top) - client.bottom, TRUE);
    UpdateWindow(m_app->GetHWnd());  // the repaint comes now, not over the next frame
  }
  POINT ClientOrigin() { return ::ClientOrigin(m_app->GetHWnd()); }
  SurfacePixels Back() {
    SurfacePixels s;
    EXPECT_TRUE(ReadSurface(m_app->m_pBack, &s));
    return s;
  }

  std::string m_name;
  Probe* m_app = nullptr;
};

TEST_F(DirectDrawPrimerTest, FreshObjectDrawsNothingAndReleasesNothing) {
  m_name = ClassName();
  m_app = new Probe(GetModuleHandleA(NULL), m_name.c_str(), RecordingProc);
  EXPECT_FALSE(m_app->Clear());
  EXPECT_FALSE(m_app->DrawLine(255, 1, 1, 1, 1));
  EXPECT_FALSE(m_app->DrawString(0, 0, "x"));
  m_app->ReleaseObjects();
  EXPECT_EQ(NULL, m_app->m_pDD);
  EXPECT_EQ(NULL, m_app->m_pPrimary);
}

TEST_F(DirectDrawPrimerTest, SetUpMakesEveryObjectAndStartsTimerOne) {
  Probe& app = Open(640, 480);
  EXPECT_TRUE(app.m_pDD && app.m_pPrimary && app.m_pBack && app.m_pClipper);
  EXPECT_EQ(NULL, app.m_hDC);
  // The Clear during WM_CREATE came before any device context.
  EXPECT_EQ(1u, CountSeen(WM_CREATE));
  MSG msg;
  ASSERT_EQ(1, GetMessageA(&msg, app.GetHWnd(), WM_TIMER, WM_TIMER));
  EXPECT_EQ(1u, msg.wParam);
  SurfacePixels back = Back();
  EXPECT_EQ(640, back.width);
  EXPECT_EQ(480, back.height);
}

TEST_F(DirectDrawPrimerTest, ReleaseTwiceAfterSetUpIsHarmless) {
  Probe& app = Open(64, 48);
  app.ReleaseObjects();
  EXPECT_EQ(NULL, app.m_pDD);
  EXPECT_EQ(NULL, app.m_pPrimary);
  app.ReleaseObjects();
  EXPECT_EQ(NULL, app.m_pDD);
  // Nothing left to draw on or present.
  EXPECT_FALSE(app.GetBackDC());
  EXPECT_NE(DD_OK, app.Present());
}

TEST_F(DirectDrawPrimerTest, DrawingStopsWhenTheContextIsHandedBack) {
  Probe& app = Open(64, 48);
  ASSERT_TRUE(app.GetBackDC());
  EXPECT_TRUE(app.Clear());
  app.ReleaseBackDC();
  EXPECT_EQ(NULL, app.m_hDC);
  EXPECT_FALSE(app.Clear());
  EXPECT_FALSE(app.DrawLine(255, 1, 1, 1, 1));
}

TEST_F(DirectDrawPrimerTest, ClearCoversTheClientAreaOnly) {
  Probe& app = Open(640, 480);
  ASSERT_TRUE(FillSurface(app.m_pBack, RECT{0, 0, 640, 480}, kWhite));
  SetClientSize(320, 200);
  ASSERT_TRUE(app.GetBackDC());
  EXPECT_TRUE(app.Clear());
  app.ReleaseBackDC();
  SurfacePixels back = Back();
  EXPECT_EQ(kBlack, back.at(0, 0));
  EXPECT_EQ(kBlack, back.at(319, 199));
  EXPECT_EQ(kWhite, back.at(320, 0));
  EXPECT_EQ(kWhite, back.at(0, 200));
  EXPECT_EQ(kWhite, back.at(639, 479));

  SetClientSize(700, 500);  // larger than the surface: cut at its edge
  ASSERT_TRUE(app.GetBackDC());
  EXPECT_TRUE(app.Clear());
  app.ReleaseBackDC();
  back = Back();
  EXPECT_EQ(kBlack, back.at(639, 479));
}

TEST_F(DirectDrawPrimerTest, DrawStringLeavesItsColoursSet) {
  Probe& app = Open(200, 60);
  ASSERT_TRUE(app.GetBackDC());
  app.Clear();
  EXPECT_TRUE(app.DrawString(10, 10, "Hello"));
  EXPECT_EQ(0x00FF0000u, SetBkColor(app.m_hDC, 0));
  EXPECT_EQ(0x0000FFFFu, SetTextColor(app.m_hDC, 0));
  app.ReleaseBackDC();
  SurfacePixels back = Back();
  int blue = 0, yellow = 0;
  for (uint32_t p : back.pixels) {
    blue += (p & 0xFFFFFF) == 0x0000FF;
    yellow += (p & 0xFFFFFF) == 0xFFFF00;
  }
  EXPECT_GT(blue, 50);    // the opaque box behind the text
  EXPECT_GT(yellow, 10);  // the letters
  EXPECT_EQ(kBlack, back.at(5, 5));  // nothing left of or above the text
}

TEST_F(DirectDrawPrimerTest, DrawLineLeavesTheContextAsItFoundIt) {
  // Every frame draws lines: a pen left selected or alive is one more GDI
  // object a tick.
  Probe& app = Open(64, 48);
  ASSERT_TRUE(app.GetBackDC());
  app.Clear();
  HPEN mine = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
  HGDIOBJ original = SelectObject(app.m_hDC, mine);
  const size_t objects = GdiObjectCount();
  for (int y = 20; y < 23; ++y) EXPECT_TRUE(app.DrawLine(RGB(255, 0, 0), 10, y, 50, y));
  EXPECT_EQ(objects, GdiObjectCount()) << "a line's pen is left behind";
  EXPECT_EQ(mine, SelectObject(app.m_hDC, original)) << "a line's pen is still selected";
  EXPECT_TRUE(DeleteObject(mine));
  app.ReleaseBackDC();
  EXPECT_EQ(kRed, Back().at(30, 21));
}

// The screen as the user sees it, read through GDI.
uint32_t ScreenAt(int x, int y) {
  HDC dc = GetDC(NULL);
  COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(NULL, dc);
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

struct Expected {
  int x, y;  // on the screen
  uint32_t colour;
};

// The first point where the screen shows something else, or "" if none.
std::string ScreenMismatch(const std::vector<Expected>& points) {
  for (const Expected& e : points) {
    uint32_t seen = ScreenAt(e.x, e.y);
    if (seen != e.colour) {
      char text[80];
      snprintf(text, sizeof text, "(%d, %d) shows %06x, not %06x", e.x, e.y, unsigned(seen), unsigned(e.colour));
      return text;
    }
  }
  return "";
}

// Serves messages until the screen shows the points, for ten seconds at
// most: some platforms put a frame on the screen only a moment after it is
// drawn, and a busy machine makes that moment long. Answers what still
// differs, "" if nothing.
std::string AwaitScreen(const std::vector<Expected>& points) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    std::string mismatch = ScreenMismatch(points);
    if (mismatch.empty() || GetTickCount() - start > 10000) return mismatch;
    Sleep(10);
  }
}

// A recognisable back surface: every pixel (below 256 x 256) its own colour.
uint32_t Mark(int x, int y) {
  return uint32_t((x & 0xFF) << 16 | (y & 0xFF) << 8 | ((x * 3 + y * 5) & 0xFF));
}
void Pattern(IDirectDrawSurface* s, int w, int h) {
  DDSURFACEDESC desc;
  memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  ASSERT_EQ(DD_OK, s->Lock(NULL, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, NULL));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(desc.lpSurface) + size_t(y) * desc.lPitch)[x] =
          Mark(x, y);
  s->Unlock(desc.lpSurface);
}
uint32_t PatternAt(int x, int y) {
  return Mark(x, y);
}

TEST_F(DirectDrawPrimerTest, PresentCopiesOneToOne) {
  Probe& app = Open(160, 120);
  Pattern(app.m_pBack, 160, 120);
  ASSERT_EQ(DD_OK, app.Present());
  POINT o = ClientOrigin();
  std::vector<Expected> copy;
  for (int y = 0; y < 120; y += 7)
    for (int x = 0; x < 160; x += 3) copy.push_back({o.x + x, o.y + y, PatternAt(x, y)});
  EXPECT_EQ("", AwaitScreen(copy));
}

// Whatever the sampling rule at cell edges, the centre of each stretched
// cell shows its source pixel.
std::vector<Expected> CellCentres(POINT o, int sw, int sh, int dw, int dh) {
  std::vector<Expected> centres;
  for (int sy = 0; sy < sh; sy += 3)
    for (int sx = 0; sx < sw; sx += 2)
      centres.push_back({o.x + (2 * sx + 1) * dw / (2 * sw), o.y + (2 * sy + 1) * dh / (2 * sh), PatternAt(sx, sy)});
  return centres;
}

TEST_F(DirectDrawPrimerTest, BlitsTakeTheDocumentedWaitingFlags) {
  // Asynchronous or not waiting for a busy blitter: documented flags, the
  // same copy.
  Probe& app = Open(160, 120);
  Pattern(app.m_pBack, 160, 120);
  POINT o = ClientOrigin();
  RECT r = {o.x, o.y, o.x + 160, o.y + 120};
  for (DWORD flags : {DWORD(DDBLT_ASYNC), DWORD(DDBLT_DONOTWAIT), DWORD(DDBLT_WAIT | DDBLT_ASYNC)})
    EXPECT_EQ(DD_OK, app.m_pPrimary->Blt(&r, app.m_pBack, NULL, flags, NULL)) << std::hex << flags;
  EXPECT_EQ("", AwaitScreen({{o.x + 9, o.y + 7, PatternAt(9, 7)}}));
}

TEST_F(DirectDrawPrimerTest, PresentStretchesToTheClientArea) {
  Probe& app = Open(160, 120);
  Pattern(app.m_pBack, 160, 120);
  SetClientSize(320, 240);
  ASSERT_EQ(DD_OK, app.Present());
  EXPECT_EQ("", AwaitScreen(CellCentres(ClientOrigin(), 160, 120, 320, 240)));
  SetClientSize(503, 377);  // an odd size
  ASSERT_EQ(DD_OK, app.Present());
  EXPECT_EQ("", AwaitScreen(CellCentres(ClientOrigin(), 160, 120, 503, 377)));
}

TEST_F(DirectDrawPrimerTest, PresentStaysInsideTheVisiblePart) {
  Probe& app = Open(160, 120);
  POINT o = ClientOrigin();
  // Another window of ours over the top-left corner of the client area.
  TestWindow over(WS_VISIBLE | WS_POPUP, o.x, o.y, 20, 20);
  ASSERT_TRUE(over.hwnd());
  // Repaints come now, not over the white or the frame.
  UpdateWindow(over.hwnd());
  UpdateWindow(app.GetHWnd());
  HDC dc = GetDC(over.hwnd());
  RECT all = {0, 0, 20, 20};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(over.hwnd(), dc);
  Pattern(app.m_pBack, 160, 120);
  app.Present();
  EXPECT_EQ("", AwaitScreen({{o.x + 5, o.y + 5, kWhite},
                             {o.x + 30, o.y + 30, PatternAt(30, 30)},
                             {o.x + 30, o.y + 5, PatternAt(30, 5)}}));

  // Partly off the left of the screen: the visible part is right.
  RECT outer;
  GetWindowRect(app.GetHWnd(), &outer);
  MoveWindow(app.GetHWnd(), -40, 100, outer.right - outer.left, outer.bottom - outer.top, TRUE);
  UpdateWindow(app.GetHWnd());
  o = ClientOrigin();
  ASSERT_LT(o.x, 0);
  app.Present();
  EXPECT_EQ("", AwaitScreen({{0, o.y + 10, PatternAt(-o.x, 10)}, {o.x + 150, o.y + 10, PatternAt(150, 10)}}));
}

TEST_F(DirectDrawPrimerTest, PresentWhileMinimisedTouchesNothing) {
  // A black window of ours under the primer's place, so that what shows
  // there once the primer is minimised is known.
  TestWindow under(WS_VISIBLE | WS_POPUP, 0, 0, 200, 120);
  ASSERT_TRUE(under.hwnd());
  UpdateWindow(under.hwnd());
  Probe& app = Open(64, 48);
  ShowWindow(app.GetHWnd(), SW_MINIMIZE);
  std::vector<Expected> place;
  for (int y = 0; y < 80; y += 3)
    for (int x = 0; x < 100; x += 3) place.push_back({x, y, kBlack});
  ASSERT_EQ("", AwaitScreen(place)) << "the minimised window is still on the screen";
  Pattern(app.m_pBack, 64, 48);
  app.Present();
  // A frame presented by mistake would reach the screen no later than a
  // mark drawn after it.
  UpdateWindow(under.hwnd());
  HDC dc = GetDC(under.hwnd());
  RECT mark = {150, 90, 160, 100};
  FillRect(dc, &mark, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(under.hwnd(), dc);
  ASSERT_EQ("", AwaitScreen({{155, 95, kWhite}}));
  EXPECT_EQ("", ScreenMismatch(place));
}

// A display mode change loses the surfaces in display memory, the primary
// surface (the screen) among them. A context held on one stays a context:
// drawing through it succeeds and reaches nothing that is shown. The
// program's next frame restores the surfaces and goes on. (Wine keeps its
// surfaces across a mode change, and there the drawing lands.)
TEST_F(DirectDrawPrimerTest, ContextsHeldAcrossADisplayModeChangeDrawSafelyAndTheNextFrameRecovers) {
  Probe& app = Open(64, 48);
  ASSERT_TRUE(app.GetBackDC());
  HDC screenDc = NULL;
  ASSERT_EQ(DD_OK, app.m_pPrimary->GetDC(&screenDc));
  ASSERT_TRUE(DisplayModeChanges(800, 600));
  const bool lost = app.m_pPrimary->IsLost() == DDERR_SURFACELOST;
  EXPECT_EQ(lost, app.m_pBack->IsLost() == DDERR_SURFACELOST);
  HPEN pen = CreatePen(PS_SOLID, 5, RGB(255, 0, 0));
  HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
  const POINT at[] = {{10, 10}, {700, 500}};  // on the back surface, on the screen
  const HDC dcs[] = {app.m_hDC, screenDc};
  for (int i = 0; i < 2; ++i) {
    const RECT box = {at[i].x, at[i].y, at[i].x + 30, at[i].y + 30};
    HGDIOBJ old = SelectObject(dcs[i], pen);
    EXPECT_TRUE(MoveToEx(dcs[i], box.left, box.top, NULL));
    EXPECT_TRUE(LineTo(dcs[i], box.right, box.bottom));
    EXPECT_NE(0, FillRect(dcs[i], &box, brush));
    EXPECT_TRUE(TextOutA(dcs[i], box.left, box.top, "lost", 4));
    SelectObject(dcs[i], old);
  }
  EXPECT_EQ(DD_OK, app.m_pPrimary->ReleaseDC(screenDc));
  EXPECT_EQ(DD_OK, app.ReleaseBackDC());
  if (lost) {
    EXPECT_NE(kRed, ScreenAt(715, 515));
    EXPECT_NE(kRed, ScreenAt(702, 502));
  }
  EXPECT_EQ(DD_OK, app.Present());
  EXPECT_TRUE(app.GetBackDC());
  app.ReleaseBackDC();
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteObject(brush));
  DisplayModeBack();
}

}  // namespace
