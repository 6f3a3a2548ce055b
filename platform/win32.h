// The one header app/ and framework/ include. On Windows it is the real thing;
// elsewhere it is our own subset of Win32, GDI and DirectDraw (platform/w32).
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <ddraw.h>
#else
#include "w32/windows.h"
#include "w32/ddraw.h"
#endif
