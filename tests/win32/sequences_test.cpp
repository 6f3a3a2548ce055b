// The messages a window procedure receives, in Windows' order, for the
// window manager's work: creating, showing, moving, sizing, minimising,
// maximising, activation, hiding and destroying. Each table is what Windows
// sends (checked under Wine, which reproduces it), for a visible window with
// a caption and a sizing border of 640 x 480 client pixels at (0, 0).
#include <gtest/gtest.h>

#include "support/rect.h"
#include "support/recorder.h"
#include "support/sequence.h"

namespace {

const int kWidth = 648, kHeight = 507;  // outer size for a 640 x 480 client area
const LPARAM kClientSize = MAKELPARAM(640, 480);
const LPARAM kClientOrigin = MAKELPARAM(4, 23);  // frame 4, caption 19

// The show that follows the window's creation, or a later SW_SHOW: the
// window is activated while it is placed, erased at once, and hears WM_SIZE
// and WM_MOVE at the end the first time it is shown.
const Sequence kFirstShow = {
    {WM_SHOWWINDOW, kWParam, TRUE},
    {WM_WINDOWPOSCHANGING},
    {WM_ACTIVATEAPP, kWParam, TRUE},
    {WM_NCACTIVATE, kWParam, TRUE},
    {WM_ACTIVATE, kWParam, WA_ACTIVE},
    {WM_SETFOCUS, kDefProc},
    {WM_NCPAINT},
    {WM_ERASEBKGND},
    {WM_WINDOWPOSCHANGED},
    {WM_SIZE, kWParam | kLParam, SIZE_RESTORED, kClientSize},
    {WM_MOVE, kLParam, 0, kClientOrigin},
};

Sequence Then(Sequence a, const Sequence& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// CreateWindowExA of a visible window: the creation messages, then the show.
const Sequence kCreateVisible = Then({{WM_GETMINMAXINFO}, {WM_NCCREATE}, {WM_NCCALCSIZE, kWParam, FALSE}, {WM_CREATE}},
                                     kFirstShow);

// CreateWindowExA of a hidden window: no WM_SIZE or WM_MOVE yet.
const Sequence kCreateHidden = {{WM_GETMINMAXINFO}, {WM_NCCREATE}, {WM_NCCALCSIZE, kWParam, FALSE}, {WM_CREATE},
                                {WM_SHOWWINDOW, kNever}, {WM_SIZE, kNever}, {WM_MOVE, kNever}};

// WM_CREATE answered -1: the window never was, so no WM_DESTROY.
const Sequence kCreateRefused = {{WM_GETMINMAXINFO}, {WM_NCCREATE}, {WM_NCCALCSIZE}, {WM_CREATE},
                                 {WM_DESTROY, kNever}, {WM_NCDESTROY}};

// Nothing happens, nothing is painted.
const Sequence kQuiet = {{WM_SHOWWINDOW, kNever}, {WM_WINDOWPOSCHANGING, kNever}, {WM_SIZE, kNever},
                         {WM_MOVE, kNever},       {WM_PAINT, kNever},             {WM_ERASEBKGND, kNever}};

// MoveWindow to another place, same size: WM_MOVE only, the pixels go along.
const Sequence kMoveOnly = {{WM_WINDOWPOSCHANGING},
                            {WM_GETMINMAXINFO, kDefProc},
                            {WM_NCCALCSIZE, kNever},
                            {WM_WINDOWPOSCHANGED},
                            {WM_MOVE, kDefProc | kLParam, 0, MAKELPARAM(14, 43)},
                            {WM_SIZE, kNever},
                            {WM_ERASEBKGND, kNever},
                            {WM_PAINT, kNever}};

// MoveWindow to another place and size: WM_MOVE before WM_SIZE, both from
// the default handling of WM_WINDOWPOSCHANGED; erased at once, painted later.
const Sequence kMoveAndSize = {{WM_WINDOWPOSCHANGING},
                               {WM_GETMINMAXINFO, kDefProc},
                               {WM_NCCALCSIZE, kWParam, TRUE},
                               {WM_ERASEBKGND},
                               {WM_WINDOWPOSCHANGED},
                               {WM_MOVE, kDefProc | kLParam, 0, MAKELPARAM(34, 63)},
                               {WM_SIZE, kDefProc | kWParam | kLParam, SIZE_RESTORED, MAKELPARAM(492, 373)},
                               {WM_PAINT, kNever}};
const Sequence kPaintLater = {{WM_PAINT, kPosted}, {WM_ERASEBKGND, kNever}};

// The same, for a procedure that handles WM_WINDOWPOSCHANGED itself.
const Sequence kMoveAndSizeHandled = {{WM_WINDOWPOSCHANGING}, {WM_WINDOWPOSCHANGED}, {WM_MOVE, kNever}, {WM_SIZE, kNever}};

// Minimised: the focus goes first; the window keeps no client area.
const Sequence kMinimize = {{WM_KILLFOCUS},
                            {WM_WINDOWPOSCHANGING},
                            {WM_GETMINMAXINFO, kDefProc},
                            {WM_NCCALCSIZE, kWParam, TRUE},
                            {WM_ERASEBKGND, kNever},
                            {WM_WINDOWPOSCHANGED},
                            {WM_MOVE, kDefProc},
                            {WM_SIZE, kDefProc | kWParam | kLParam, SIZE_MINIMIZED, 0}};
// SW_SHOWMINIMIZED activates, SW_SHOWMINNOACTIVE leaves activation alone:
// an active window stays active either way.
const Sequence kStaysActive = {{WM_NCACTIVATE, kNever}, {WM_ACTIVATE, kNever}, {WM_ACTIVATEAPP, kNever}};
// SW_MINIMIZE hands activation on; with no other window of ours, to the
// shell: the application is no longer active.
const Sequence kMinimizeHandsOn = {{WM_NCACTIVATE, kWParam, FALSE},
                                   {WM_ACTIVATE, kWParam, MAKEWPARAM(WA_INACTIVE, TRUE)},
                                   {WM_ACTIVATEAPP, kWParam, FALSE}};
// Restored from an icon while still active: asked first, then the focus.
const Sequence kRestoreActive = {{WM_QUERYOPEN},
                                 {WM_WINDOWPOSCHANGING},
                                 {WM_GETMINMAXINFO, kDefProc},
                                 {WM_NCCALCSIZE, kWParam, TRUE},
                                 {WM_ERASEBKGND},
                                 {WM_WINDOWPOSCHANGED},
                                 {WM_MOVE, kDefProc | kLParam, 0, kClientOrigin},
                                 {WM_SIZE, kDefProc | kWParam | kLParam, SIZE_RESTORED, kClientSize},
                                 {WM_SETFOCUS}};

// Maximised, then restored.
const Sequence kMaximize = {{WM_GETMINMAXINFO},
                            {WM_WINDOWPOSCHANGING},
                            {WM_GETMINMAXINFO, kDefProc},
                            {WM_NCCALCSIZE, kWParam, TRUE},
                            {WM_ERASEBKGND},
                            {WM_WINDOWPOSCHANGED},
                            {WM_MOVE, kDefProc},
                            {WM_SIZE, kDefProc | kWParam, SIZE_MAXIMIZED}};
const Sequence kRestoreFromMaximized = {{WM_WINDOWPOSCHANGING},
                                        {WM_GETMINMAXINFO, kDefProc},
                                        {WM_NCCALCSIZE, kWParam, TRUE},
                                        {WM_ERASEBKGND},
                                        {WM_WINDOWPOSCHANGED},
                                        {WM_MOVE, kDefProc | kLParam, 0, kClientOrigin},
                                        {WM_SIZE, kDefProc | kWParam | kLParam, SIZE_RESTORED, kClientSize}};

// Losing activation to another application, and getting it back.
const Sequence kDeactivated = {{WM_NCACTIVATE, kWParam, FALSE},
                               {WM_ACTIVATE, kWParam, WA_INACTIVE},
                               {WM_ACTIVATEAPP, kWParam, FALSE},
                               {WM_KILLFOCUS}};
const Sequence kReactivated = {{WM_ACTIVATEAPP, kWParam, TRUE},
                               {WM_NCACTIVATE, kWParam, TRUE},
                               {WM_ACTIVATE, kWParam, WA_ACTIVE},
                               {WM_SETFOCUS, kDefProc}};

// SW_HIDE, and DestroyWindow of the active window: hidden (destruction says
// no WM_SHOWWINDOW), then activation and focus go, then the end.
const Sequence kHide = Then({{WM_SHOWWINDOW, kWParam, FALSE}, {WM_WINDOWPOSCHANGING}, {WM_WINDOWPOSCHANGED}},
                            kDeactivated);
const Sequence kDestroy = Then(Then({{WM_SHOWWINDOW, kNever}, {WM_WINDOWPOSCHANGING}, {WM_WINDOWPOSCHANGED}},
                                    kDeactivated),
                               {{WM_DESTROY}, {WM_NCDESTROY}});

// The user drags the caption: the default procedure's move loop, the
// window following the pointer (one step here), nothing sized.
const Sequence kDragCaption = {{WM_NCLBUTTONDOWN, kPosted | kWParam, HTCAPTION},
                               {WM_SYSCOMMAND, kDefProc | kWParam, SC_MOVE + HTCAPTION},
                               {WM_GETMINMAXINFO, kDefProc},
                               {WM_ENTERSIZEMOVE, kDefProc},
                               {WM_MOVING, kDefProc},
                               {WM_WINDOWPOSCHANGING, kDefProc},
                               {WM_WINDOWPOSCHANGED, kDefProc},
                               {WM_MOVE, kDefProc | kLParam, 0, MAKELPARAM(64, 53)},
                               {WM_SIZE, kNever},
                               {WM_CAPTURECHANGED, kDefProc},
                               {WM_EXITSIZEMOVE, kDefProc}};

// The user drags the bottom-right corner: the size loop; the client area
// keeps its place, so WM_SIZE without WM_MOVE.
const Sequence kDragCorner = {{WM_NCLBUTTONDOWN, kPosted | kWParam, HTBOTTOMRIGHT},
                              {WM_SYSCOMMAND, kDefProc | kWParam, SC_SIZE + WMSZ_BOTTOMRIGHT},
                              {WM_GETMINMAXINFO, kDefProc},
                              {WM_ENTERSIZEMOVE, kDefProc},
                              {WM_SIZING, kDefProc | kWParam, WMSZ_BOTTOMRIGHT},
                              {WM_WINDOWPOSCHANGING, kDefProc},
                              {WM_GETMINMAXINFO, kDefProc},
                              {WM_NCCALCSIZE, kDefProc},
                              {WM_WINDOWPOSCHANGED, kDefProc},
                              {WM_MOVE, kNever},
                              {WM_SIZE, kDefProc | kWParam | kLParam, SIZE_RESTORED, MAKELPARAM(590, 450)},
                              {WM_CAPTURECHANGED, kDefProc},
                              {WM_EXITSIZEMOVE, kDefProc}};

// A double-click on the caption: the first press runs the move loop (a
// maximised window does not move), the second is the double-click, which
// the default procedure turns into maximising or restoring only where the
// window has a maximise box.
Sequence DoubleClickOnCaption(bool loop, std::vector<Expect> after) {
  Sequence s = {{WM_NCLBUTTONDOWN, kPosted | kWParam, HTCAPTION},
                {WM_SYSCOMMAND, kDefProc | kWParam, SC_MOVE + HTCAPTION},
                {WM_ENTERSIZEMOVE, loop ? unsigned(kDefProc) : kNever},
                {WM_EXITSIZEMOVE, loop ? unsigned(kDefProc) : kNever},
                {WM_NCLBUTTONDBLCLK, kPosted | kWParam, HTCAPTION}};
  s.insert(s.end(), after.begin(), after.end());
  return s;
}

class Sequences : public testing::Test {
 protected:
  void SetUp() override {
    g_createResult = 0;
    g_handlePosChanged = false;
    DrainQueue();
  }
  void TearDown() override {
    g_createResult = 0;
    g_handlePosChanged = false;
    AnotherApplicationQuits();
    DrainQueue();
  }
};

TEST_F(Sequences, CreateShowPaintAndTheFirstPumpAsTheProgramDoesThem) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  ASSERT_TRUE(w.hwnd());
  EXPECT_TRUE(SawSequence(kCreateVisible, "CreateWindowExA, visible"));
  ShowWindow(w.hwnd(), SW_SHOWNORMAL);  // already so: nothing happens
  EXPECT_TRUE(SawSequence(kQuiet, "SW_SHOWNORMAL on a shown window"));
  UpdateWindow(w.hwnd());
  EXPECT_TRUE(SawSequence({{WM_PAINT}, {WM_ERASEBKGND, kNever}}, "UpdateWindow"));
  Pump();
  EXPECT_TRUE(SawSequence(kQuiet, "the first pump"));
}

TEST_F(Sequences, ShowingAsksForAPaletteOnlyOnWindows) {
  // Windows asks a window taking the focus to realise its palette; our
  // screen is 32-bit colour and has none to realise.
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  EXPECT_TRUE(SawSequence({{WM_SHOWWINDOW}, {WM_QUERYNEWPALETTE}, {WM_ACTIVATEAPP}}, "CreateWindowExA, visible",
                          DiffersOnPurpose{"no palette to realise"}));
}

TEST_F(Sequences, AHiddenWindowHearsOfItsSizeWhenFirstShown) {
  TestWindow w(kFramedStyle & ~WS_VISIBLE, 0, 0, kWidth, kHeight);
  EXPECT_TRUE(SawSequence(kCreateHidden, "CreateWindowExA, hidden"));
  ShowWindow(w.hwnd(), SW_SHOWDEFAULT);
  EXPECT_TRUE(SawSequence(kFirstShow, "SW_SHOWDEFAULT"));
  ShowWindow(w.hwnd(), SW_HIDE);
  EXPECT_TRUE(SawSequence(kHide, "SW_HIDE"));
  ShowWindow(w.hwnd(), SW_SHOW);  // not the first show: no WM_SIZE, WM_MOVE
  Sequence again(kFirstShow.begin(), kFirstShow.end() - 2);
  again.push_back({WM_SIZE, kNever});
  EXPECT_TRUE(SawSequence(again, "SW_SHOW again"));
}

TEST_F(Sequences, ARefusedCreationEndsWithoutWmDestroy) {
  g_createResult = -1;
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  EXPECT_EQ(NULL, w.hwnd());
  EXPECT_TRUE(SawSequence(kCreateRefused, "WM_CREATE answered -1"));
}

TEST_F(Sequences, MovingAndSizing) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  UpdateWindow(w.hwnd());
  SeenMessages().clear();
  MoveWindow(w.hwnd(), 10, 20, kWidth, kHeight, TRUE);
  Pump();
  EXPECT_TRUE(SawSequence(kMoveOnly, "MoveWindow, same size"));
  MoveWindow(w.hwnd(), 30, 40, 500, 400, TRUE);
  EXPECT_TRUE(SawSequence(kMoveAndSize, "MoveWindow, new place and size"));
  Pump();
  EXPECT_TRUE(SawSequence(kPaintLater, "the pump after it"));
  g_handlePosChanged = true;
  MoveWindow(w.hwnd(), 0, 0, 600, 450, TRUE);
  EXPECT_TRUE(SawSequence(kMoveAndSizeHandled, "MoveWindow, WM_WINDOWPOSCHANGED handled"));
}

TEST_F(Sequences, MinimisingAndRestoring) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  HWND h = w.hwnd();
  Pump();
  SeenMessages().clear();
  for (int show : {SW_SHOWMINIMIZED, SW_SHOWMINNOACTIVE}) {
    SCOPED_TRACE(show);
    ShowWindow(h, show);
    EXPECT_TRUE(IsIconic(h));
    EXPECT_EQ(h, GetActiveWindow());
    EXPECT_TRUE(SawSequence(Then(kMinimize, kStaysActive), "minimised, staying active"));
    ShowWindow(h, SW_RESTORE);
    EXPECT_TRUE(SawSequence(kRestoreActive, "SW_RESTORE"));
    Pump();
    SeenMessages().clear();
  }
  ShowWindow(h, SW_MINIMIZE);
  RECT r;
  GetWindowRect(h, &r);
  if (UnderWine()) {
    // Wine's virtual desktop has no shell to hand activation to, so the
    // window stays active there, and icons sit at its bottom edge.
    EXPECT_TRUE(SawSequence(kMinimize, "SW_MINIMIZE"));
  } else {
    EXPECT_TRUE(SawSequence(Then(kMinimize, kMinimizeHandsOn), "SW_MINIMIZE"));
    EXPECT_EQ(NULL, GetActiveWindow());
    EXPECT_EQ(-32000, r.left);
    EXPECT_EQ(-32000, r.top);
  }
}

TEST_F(Sequences, MaximisingAndRestoring) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  SeenMessages().clear();
  ShowWindow(w.hwnd(), SW_MAXIMIZE);
  EXPECT_TRUE(SawSequence(kMaximize, "SW_MAXIMIZE"));
  ShowWindow(w.hwnd(), SW_RESTORE);
  EXPECT_TRUE(SawSequence(kRestoreFromMaximized, "SW_RESTORE"));
}

TEST_F(Sequences, AnotherApplicationTakesActivationAndGivesItBack) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  Pump();
  SeenMessages().clear();
  AnotherApplicationTakesOver();
  EXPECT_TRUE(SawSequence(kDeactivated, "another application comes to the front"));
  BackTo(w.hwnd());
  EXPECT_TRUE(SawSequence(kReactivated, "back to ours"));
}

TEST_F(Sequences, DestroyingTheActiveWindow) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  Pump();
  SeenMessages().clear();
  PostMessageA(w.hwnd(), WM_APP, 0, 0);
  DestroyWindow(w.hwnd());
  EXPECT_TRUE(SawSequence(kDestroy, "DestroyWindow"));
  // What was posted to it went with it.
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, NULL, WM_APP, WM_APP, PM_REMOVE));
}

TEST_F(Sequences, TheUserDragsTheCaptionAndTheCorner) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  HWND h = w.hwnd();
  Pump();
  SeenMessages().clear();
  UserDrags(h, HTCAPTION, POINT{100, 10}, POINT{160, 40}, 1);
  EXPECT_TRUE(SawSequence(kDragCaption, "the caption dragged"));
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ((RECT{60, 30, 60 + kWidth, 30 + kHeight}), r);

  MoveWindow(h, 0, 0, kWidth, kHeight, TRUE);
  Pump();
  SeenMessages().clear();
  UserDrags(h, HTBOTTOMRIGHT, POINT{kWidth - 2, kHeight - 2}, POINT{kWidth - 52, kHeight - 32}, 1);
  EXPECT_TRUE(SawSequence(kDragCorner, "the corner dragged"));
  GetWindowRect(h, &r);
  EXPECT_EQ((RECT{0, 0, kWidth - 50, kHeight - 30}), r);
}

TEST_F(Sequences, AWindowIsNoSmallerThanItsTrackingSize) {
  // The limits a captioned, sizable window is held to, by the user and by
  // the program alike; our metrics are Wine's classic ones.
  const LONG cx = GetSystemMetrics(SM_CXMINTRACK), cy = GetSystemMetrics(SM_CYMINTRACK);
#ifdef _WIN32
  const bool styled = !UnderWine();  // on Windows itself the visual style decides
#else
  const bool styled = false;
#endif
  if (!styled) EXPECT_EQ((POINT{116, 27}), (POINT{cx, cy}));
  TestWindow w(kFramedStyle, 0, 0, 3, 1);
  RECT r;
  GetWindowRect(w.hwnd(), &r);
  EXPECT_EQ((RECT{0, 0, cx, cy}), r) << "created";
  MoveWindow(w.hwnd(), 0, 0, kWidth, kHeight, TRUE);
  UserDrags(w.hwnd(), HTBOTTOMRIGHT, POINT{kWidth - 2, kHeight - 2}, POINT{5, 5}, 1);
  GetWindowRect(w.hwnd(), &r);
  EXPECT_EQ((RECT{0, 0, cx, cy}), r) << "dragged";
  MoveWindow(w.hwnd(), 10, 20, 3, 1, TRUE);
  GetWindowRect(w.hwnd(), &r);
  EXPECT_EQ((RECT{10, 20, 10 + cx, 20 + cy}), r) << "MoveWindow";
}

TEST_F(Sequences, DoubleClickingTheCaptionMaximisesOnlyWithAMaximiseBox) {
  TestWindow w(kFramedStyle, 0, 0, kWidth, kHeight);
  Pump();
  SeenMessages().clear();
  UserDoubleClicks(w.hwnd(), HTCAPTION, POINT{100, 10});
  EXPECT_FALSE(IsZoomed(w.hwnd()));
  EXPECT_TRUE(SawSequence(DoubleClickOnCaption(true, {}), "no maximise box"));

  TestWindow boxed(kFramedStyle | WS_MAXIMIZEBOX, 0, 0, kWidth, kHeight);
  Pump();
  SeenMessages().clear();
  UserDoubleClicks(boxed.hwnd(), HTCAPTION, POINT{100, 10});
  EXPECT_TRUE(IsZoomed(boxed.hwnd()));
  EXPECT_TRUE(SawSequence(DoubleClickOnCaption(true, {{WM_SYSCOMMAND, kDefProc | kWParam, SC_MAXIMIZE}}),
                          "with a maximise box"));
  UserDoubleClicks(boxed.hwnd(), HTCAPTION, POINT{100, 10});
  EXPECT_FALSE(IsZoomed(boxed.hwnd()));
  EXPECT_TRUE(SawSequence(DoubleClickOnCaption(false, {{WM_SYSCOMMAND, kDefProc | kWParam, SC_RESTORE}}),
                          "maximised, with a maximise box"));
}

}  // namespace
