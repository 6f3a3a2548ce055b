// The messages a window procedure receives, in Windows' order, as tables:
// what Windows sends (checked under Wine, which reproduces it) for a visible
// window with a caption and a sizing border of 640 x 480 client pixels at
// (0, 0). The Win32-behaviour tests check them on every platform; the trace
// tests find them in the program's own trace.
#pragma once

#include "support/sequence.h"

inline const int kWidth = 648, kHeight = 507;  // outer size for a 640 x 480 client area
inline const LPARAM kClientSize = MAKELPARAM(640, 480);
inline const LPARAM kClientOrigin = MAKELPARAM(4, 23);  // frame 4, caption 19

// The show that follows the window's creation, or a later SW_SHOW: the
// window is activated while it is placed, erased at once, and hears WM_SIZE
// and WM_MOVE at the end the first time it is shown.
inline const Sequence kFirstShow = {
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

inline Sequence Then(Sequence a, const Sequence& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// CreateWindowExA of a visible window: the creation messages, then the show.
inline const Sequence kCreateVisible =
    Then({{WM_GETMINMAXINFO}, {WM_NCCREATE}, {WM_NCCALCSIZE, kWParam, FALSE}, {WM_CREATE}}, kFirstShow);

// CreateWindowExA of a hidden window: no WM_SIZE or WM_MOVE yet.
inline const Sequence kCreateHidden = {{WM_GETMINMAXINFO}, {WM_NCCREATE},           {WM_NCCALCSIZE, kWParam, FALSE},
                                       {WM_CREATE},        {WM_SHOWWINDOW, kNever}, {WM_SIZE, kNever},
                                       {WM_MOVE, kNever}};

// WM_CREATE answered -1: the window never was, so no WM_DESTROY.
inline const Sequence kCreateRefused = {{WM_GETMINMAXINFO}, {WM_NCCREATE},        {WM_NCCALCSIZE},
                                        {WM_CREATE},        {WM_DESTROY, kNever}, {WM_NCDESTROY}};

// Nothing happens, nothing is painted.
inline const Sequence kQuiet = {{WM_SHOWWINDOW, kNever}, {WM_WINDOWPOSCHANGING, kNever},
                                {WM_SIZE, kNever},       {WM_MOVE, kNever},
                                {WM_PAINT, kNever},      {WM_ERASEBKGND, kNever}};

// MoveWindow to another place, same size: WM_MOVE only, the pixels go along.
inline const Sequence kMoveOnly = {{WM_WINDOWPOSCHANGING},
                                   {WM_GETMINMAXINFO, kDefProc},
                                   {WM_NCCALCSIZE, kNever},
                                   {WM_WINDOWPOSCHANGED},
                                   {WM_MOVE, kDefProc | kLParam, 0, MAKELPARAM(14, 43)},
                                   {WM_SIZE, kNever},
                                   {WM_ERASEBKGND, kNever},
                                   {WM_PAINT, kNever}};

// MoveWindow to another place and size: WM_MOVE before WM_SIZE, both from
// the default handling of WM_WINDOWPOSCHANGED; erased at once, painted later.
inline const Sequence kMoveAndSize = {{WM_WINDOWPOSCHANGING},
                                      {WM_GETMINMAXINFO, kDefProc},
                                      {WM_NCCALCSIZE, kWParam, TRUE},
                                      {WM_ERASEBKGND},
                                      {WM_WINDOWPOSCHANGED},
                                      {WM_MOVE, kDefProc | kLParam, 0, MAKELPARAM(34, 63)},
                                      {WM_SIZE, kDefProc | kWParam | kLParam, SIZE_RESTORED, MAKELPARAM(492, 373)},
                                      {WM_PAINT, kNever}};
inline const Sequence kPaintLater = {{WM_PAINT, kPosted}, {WM_ERASEBKGND, kNever}};

// The same, for a procedure that handles WM_WINDOWPOSCHANGED itself.
inline const Sequence kMoveAndSizeHandled = {
    {WM_WINDOWPOSCHANGING}, {WM_WINDOWPOSCHANGED}, {WM_MOVE, kNever}, {WM_SIZE, kNever}};

// Minimised: the focus goes first; the window keeps no client area.
inline const Sequence kMinimize = {{WM_KILLFOCUS},
                                   {WM_WINDOWPOSCHANGING},
                                   {WM_GETMINMAXINFO, kDefProc},
                                   {WM_NCCALCSIZE, kWParam, TRUE},
                                   {WM_ERASEBKGND, kNever},
                                   {WM_WINDOWPOSCHANGED},
                                   {WM_MOVE, kDefProc},
                                   {WM_SIZE, kDefProc | kWParam | kLParam, SIZE_MINIMIZED, 0}};
// SW_SHOWMINIMIZED activates, SW_SHOWMINNOACTIVE leaves activation alone:
// an active window stays active either way.
inline const Sequence kStaysActive = {{WM_NCACTIVATE, kNever}, {WM_ACTIVATE, kNever}, {WM_ACTIVATEAPP, kNever}};
// SW_MINIMIZE hands activation on; with no other window of ours, to the
// shell: the application is no longer active.
inline const Sequence kMinimizeHandsOn = {{WM_NCACTIVATE, kWParam, FALSE},
                                          {WM_ACTIVATE, kWParam, MAKEWPARAM(WA_INACTIVE, TRUE)},
                                          {WM_ACTIVATEAPP, kWParam, FALSE}};
// Restored from an icon while still active: asked first, then the focus.
inline const Sequence kRestoreActive = {{WM_QUERYOPEN},
                                        {WM_WINDOWPOSCHANGING},
                                        {WM_GETMINMAXINFO, kDefProc},
                                        {WM_NCCALCSIZE, kWParam, TRUE},
                                        {WM_ERASEBKGND},
                                        {WM_WINDOWPOSCHANGED},
                                        {WM_MOVE, kDefProc | kLParam, 0, kClientOrigin},
                                        {WM_SIZE, kDefProc | kWParam | kLParam, SIZE_RESTORED, kClientSize},
                                        {WM_SETFOCUS}};

// Maximised, then restored.
inline const Sequence kMaximize = {{WM_GETMINMAXINFO},
                                   {WM_WINDOWPOSCHANGING},
                                   {WM_GETMINMAXINFO, kDefProc},
                                   {WM_NCCALCSIZE, kWParam, TRUE},
                                   {WM_ERASEBKGND},
                                   {WM_WINDOWPOSCHANGED},
                                   {WM_MOVE, kDefProc},
                                   {WM_SIZE, kDefProc | kWParam, SIZE_MAXIMIZED}};
inline const Sequence kRestoreFromMaximized = {{WM_WINDOWPOSCHANGING},
                                               {WM_GETMINMAXINFO, kDefProc},
                                               {WM_NCCALCSIZE, kWParam, TRUE},
                                               {WM_ERASEBKGND},
                                               {WM_WINDOWPOSCHANGED},
                                               {WM_MOVE, kDefProc | kLParam, 0, kClientOrigin},
                                               {WM_SIZE, kDefProc | kWParam | kLParam, SIZE_RESTORED, kClientSize}};

// Losing activation to another application, and getting it back.
inline const Sequence kDeactivated = {{WM_NCACTIVATE, kWParam, FALSE},
                                      {WM_ACTIVATE, kWParam, WA_INACTIVE},
                                      {WM_ACTIVATEAPP, kWParam, FALSE},
                                      {WM_KILLFOCUS}};
inline const Sequence kReactivated = {{WM_ACTIVATEAPP, kWParam, TRUE},
                                      {WM_NCACTIVATE, kWParam, TRUE},
                                      {WM_ACTIVATE, kWParam, WA_ACTIVE},
                                      {WM_SETFOCUS, kDefProc}};

// SW_HIDE, and DestroyWindow of the active window: hidden (destruction says
// no WM_SHOWWINDOW), then activation and focus go, then the end.
inline const Sequence kHide =
    Then({{WM_SHOWWINDOW, kWParam, FALSE}, {WM_WINDOWPOSCHANGING}, {WM_WINDOWPOSCHANGED}}, kDeactivated);
inline const Sequence kDestroy =
    Then(Then({{WM_SHOWWINDOW, kNever}, {WM_WINDOWPOSCHANGING}, {WM_WINDOWPOSCHANGED}}, kDeactivated),
         {{WM_DESTROY}, {WM_NCDESTROY}});

// The user drags the caption: the default procedure's move loop, the
// window following the pointer (one step here), nothing sized.
inline const Sequence kDragCaption = {{WM_NCLBUTTONDOWN, kPosted | kWParam, HTCAPTION},
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
inline const Sequence kDragCorner = {{WM_NCLBUTTONDOWN, kPosted | kWParam, HTBOTTOMRIGHT},
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
inline Sequence DoubleClickOnCaption(bool loop, std::vector<Expect> after) {
  Sequence s = {{WM_NCLBUTTONDOWN, kPosted | kWParam, HTCAPTION},
                {WM_SYSCOMMAND, kDefProc | kWParam, SC_MOVE + HTCAPTION},
                {WM_ENTERSIZEMOVE, loop ? unsigned(kDefProc) : kNever},
                {WM_EXITSIZEMOVE, loop ? unsigned(kDefProc) : kNever},
                {WM_NCLBUTTONDBLCLK, kPosted | kWParam, HTCAPTION}};
  s.insert(s.end(), after.begin(), after.end());
  return s;
}
