// One tick of the program as the trace shows it, from the recorder and from
// a listener alike: the timer message, posted, and under it the calls of a
// frame, the first one (angle 50: the disc at (371, 301)) in a 640 x 480
// client area at (4, 23) on the screen. The message loop's DispatchMessageA
// first, then what nests in it, two spaces a level.
#pragma once

#include <string>
#include <vector>

inline const std::vector<std::string> kOneTick = {
    "DispatchMessageA(msg={hwnd#1, WM_TIMER, 1, NULL}) -> 0",
    "  WM_TIMER posted hwnd=hwnd#1 wParam=1 lParam=NULL -> 0",
    // the device context of the back surface, and the fill
    "    IDirectDrawSurface::GetDC(this=surface#2, hdc=hdc#1) -> DD_OK",
    "    GetClientRect(hwnd=hwnd#1, rect={0,0,640,480}) -> TRUE",
    "    GetStockObject(object=BLACK_BRUSH) -> BLACK_BRUSH",
    "    FillRect(hdc=hdc#1, rect={0,0,640,480}, brush=BLACK_BRUSH) -> 1",
    // the pen made and selected, the stroke, the pen deselected and deleted
    "    CreatePen(style=PS_SOLID, width=5, color=RGB(255,0,0)) -> pen#5",
    "    SelectObject(hdc=hdc#1, object=pen#5) -> BLACK_PEN",
    "    MoveToEx(hdc=hdc#1, x=371, y=301, previous=NULL) -> TRUE",
    "    LineTo(hdc=hdc#1, x=371, y=301) -> TRUE",
    "    SelectObject(hdc=hdc#1, object=BLACK_PEN) -> pen#5",
    "    DeleteObject(object=pen#5) -> TRUE",
    // the context released, the client rectangle to the screen, the blit
    "    IDirectDrawSurface::ReleaseDC(this=surface#2, hdc=hdc#1) -> DD_OK",
    "    ClientToScreen(hwnd=hwnd#1, point={0,0} => {4,23}) -> TRUE",
    "    GetClientRect(hwnd=hwnd#1, rect={0,0,640,480}) -> TRUE",
    "    OffsetRect(rect={0,0,640,480} => {4,23,644,503}, dx=4, dy=23) -> TRUE",
    "    IDirectDrawSurface::Blt(this=surface#1, destRect={4,23,644,503}, source=surface#2, sourceRect=NULL, "
    "flags=DDBLT_WAIT, fx=NULL) -> DD_OK",
    // and the message's return, through the default procedure
    "    DefWindowProcA(hwnd=hwnd#1, message=WM_TIMER, wParam=1, lParam=NULL) -> 0",
};
