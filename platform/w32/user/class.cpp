// user32: window classes, cursors and system metrics.
#include "internal.h"

namespace w32 {

namespace {

bool IsAtom(LPCSTR name) {
  return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

}  // namespace

WindowClass* FindClass(LPCSTR name) {
  if (!name) return nullptr;
  if (IsAtom(name)) {
    ATOM atom = ATOM(reinterpret_cast<uintptr_t>(name));
    for (auto& kv : S().classes)
      if (kv.second.atom == atom) return &kv.second;
    return nullptr;
  }
  auto it = S().classes.find(Lower(name));
  return it == S().classes.end() ? nullptr : &it->second;
}

}  // namespace w32

using namespace w32;

ATOM RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc ||
      (!IsAtom(wc->lpszClassName) && wc->lpszClassName[0] == '\0') || IsAtom(wc->lpszClassName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string key = Lower(wc->lpszClassName);
  if (S().classes.count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  WindowClass& c = S().classes[key];
  c.record = *wc;
  c.name = wc->lpszClassName;
  c.menuName = wc->lpszMenuName && !IsAtom(wc->lpszMenuName) ? wc->lpszMenuName : "";
  c.record.lpszClassName = c.name.c_str();
  c.record.lpszMenuName = c.menuName.empty() ? nullptr : c.menuName.c_str();
  c.atom = 0;
  // Atoms come from 0xC000..0xFFFF; after many cycles of registering and
  // unregistering, look for one that is free.
  for (int tries = 0; tries < 0x4000 && !c.atom; ++tries) {
    ATOM candidate = S().nextAtom;
    S().nextAtom = candidate == 0xFFFF ? 0xC000 : candidate + 1;
    bool taken = false;
    for (auto& kv : S().classes) taken |= kv.second.atom == candidate;
    if (!taken) c.atom = candidate;
  }
  if (!c.atom) {
    S().classes.erase(key);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  return c.atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  WindowClass* c = FindClass(className);
  if (!c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  bool inUse = false;
  S().windows.ForEach([&](uintptr_t, Window* w) { inUse |= Lower(w->className.c_str()) == Lower(c->name.c_str()); });
  if (inUse) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  S().classes.erase(Lower(c->name.c_str()));
  return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE hInstance, LPCSTR name) {
  // Only the system cursors exist here; they are shared handles.
  uintptr_t id = reinterpret_cast<uintptr_t>(name);
  if (hInstance != nullptr || id < 32512 || id > 32651) {
    SetLastError(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
    return nullptr;
  }
  return As<HCURSOR>(FixedHandle(HandleKind::Cursor, uint32_t(id)));
}

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return ScreenWidth();
    case SM_CYSCREEN:
      return ScreenHeight();
    case SM_CYCAPTION:
      return kCaption;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return kFrame;
    case SM_CXMINTRACK:
      return kMinTrackWidth;
    case SM_CYMINTRACK:
      return kMinTrackHeight;
    default:
      return 0;
  }
}
