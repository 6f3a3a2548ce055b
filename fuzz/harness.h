// What layer_fuzz's operations share with its harness (layer_fuzz.cpp): the
// input they read their arguments from, and the program whose handles and
// COM references they use and add to. The operations themselves are in
// ops_user.cpp, ops_gdi.cpp, ops_ddraw.cpp and ops_kernel.cpp, one file for
// each module of the layer; layer_fuzz.cpp numbers them in its table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "win32.h"

namespace layer_fuzz {

constexpr size_t kMaxWindows = 16;
constexpr size_t kMaxObjects = 16;  // per kind of DirectDraw object
constexpr int kMaxPumped = 8;       // messages per pump
constexpr int kReactionBudget = 64;
// The layer refuses sides above 16384, but below that a surface of a
// gigabyte is legal: it costs only time and memory, so we stay under this.
constexpr uint64_t kMaxSurfacePixels = uint64_t(1) << 20;

// Reports a finding and stops: for what the layer may never do, whatever the
// input.
[[noreturn]] void Fail(const char* format, ...);

// ---- Reading the input -----------------------------------------------------

// The bytes after an operation's own, as its arguments. Past the end they
// read as zeros.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : m_p(data), m_end(data + size) {}

  bool Empty() const { return m_p == m_end; }
  size_t Left() const { return size_t(m_end - m_p); }
  uint8_t Byte() { return m_p < m_end ? *m_p++ : 0; }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(Byte()) << (8 * i);
    return v;
  }
  bool Bit() { return Byte() & 1; }

  // Mostly around a 320 x 240 screen, sometimes the edges of int, sometimes
  // anything at all.
  int32_t Int();
  // Sizes of surfaces: mostly small, sometimes the limits.
  uint32_t Size();
  // A flag word: one of the given values, or anything.
  uint32_t Flags(std::initializer_list<uint32_t> usual);
  // A copy of the next bytes in a buffer of exactly that size, so reading
  // past it is caught.
  std::vector<char> Bytes();
  std::string Text();
  RECT Rect();

 private:
  const uint8_t* m_p;
  const uint8_t* m_end;
};

// ---- What the program holds ------------------------------------------------

enum Kind { kWindow, kDc, kPen, kBrush, kStock, kOther, kKinds };

// ---- Checking results (results.cpp) -----------------------------------------

// [l, r) x [t, b) in 64 bits, so that no sum of the fuzzer's values wraps.
struct Box {
  int64_t l = 0, t = 0, r = 0, b = 0;
  bool Empty() const { return l >= r || t >= b; }
};

// A surface's or the screen's pixels, 0x00RRGGBB row by row.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
// Read straight from memory, telling the layer nothing; false for anything
// but a live surface.
bool ReadPicture(IDirectDrawSurface* surface, Picture* out);

// What a device context of ours draws on, as far as the harness can tell.
struct DcTarget {
  IDirectDrawSurface* surface = nullptr;  // a surface's DC; else one on the screen
  Box area;                  // on the screen: what its clip lies within
  POINT origin{0, 0};        // where its (0, 0) is on the screen
  bool exact = false;        // on the screen: its clip is all of `area`
  bool cutOff = false;       // its surface was lost under it
};
// The colour of a brush we made or took from the stock; this one for the hollow brush.
constexpr COLORREF kHollow = 0xFFFFFFFF;

template <class T>
struct Held {
  T* p;
  ULONG refs;  // the references we own
};

// How many messages the window procedure can be told to react to
// (kReactTo in layer_fuzz.cpp).
constexpr size_t kReactions = 15;

struct Reaction {
  uint8_t action = 0;
  uint8_t arg = 0;
};

// What the windows and timers the program makes call back into.
LRESULT CALLBACK FuzzWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void CALLBACK FuzzTimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

class Program {
 public:
  // What an input's operation byte chooses, modulo the number of entries.
  struct Operation {
    const char* name;
    void (Program::*run)();
  };
  static const Operation kOperations[];
  static const Operation& OperationFor(uint8_t op);

  explicit Program(Input& in) : m_in(in) {}

  void Run();

  LRESULT React(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void TimerTick(HWND hwnd) { React(hwnd, WM_TIMER, 0, 0); }

 private:
  Input& m_in;
  std::vector<uintptr_t> m_handles[kKinds];
  std::vector<ATOM> m_atoms;
  std::vector<UINT_PTR> m_threadTimers;
  std::vector<int> m_covers;
  std::vector<Held<IDirectDraw>> m_dds;
  std::vector<Held<IDirectDrawSurface>> m_surfaces;
  std::vector<Held<IDirectDrawClipper>> m_clippers;
  std::vector<void*> m_gone;  // COM pointers we gave up: arguments only
  std::map<uintptr_t, DcTarget> m_dcTargets;
  std::map<uintptr_t, COLORREF> m_brushColours;
  Box m_screen;  // the screen when last looked at
  Reaction m_reactions[kReactions];
  int m_reactionBudget = kReactionBudget;
  int m_depth = 0;
  bool m_cleaningUp = false;

  // ---- Picking arguments ----

  void Keep(Kind kind, uintptr_t handle);
  template <class H>
  void Keep(Kind kind, H handle) {
    Keep(kind, reinterpret_cast<uintptr_t>(handle));
  }

  // Mostly one of ours of the kind asked for (live or dead), else one of
  // another kind, null, or a made-up value.
  uintptr_t PickRaw(Kind kind);
  // A real handle with one part changed: the likeliest made-up value.
  uintptr_t NearHandle();
  template <class H>
  H Pick(Kind kind) {
    return reinterpret_cast<H>(PickRaw(kind));
  }
  HWND Window() { return Pick<HWND>(kWindow); }
  HDC Dc() { return Pick<HDC>(kDc); }

  // A COM pointer as an argument: ours of that kind, one we gave up, one of
  // another kind, null, or made up. Never called through.
  template <class T>
  T* ObjectArg(const std::vector<Held<T>>& own) {
    const uint8_t b = m_in.Byte();
    if (b < 0x90 && !own.empty()) return own[b % own.size()].p;
    if (b < 0xB0 && !m_gone.empty()) return static_cast<T*>(m_gone[b % m_gone.size()]);
    if (b < 0xC0 && !m_dds.empty()) return reinterpret_cast<T*>(m_dds[b % m_dds.size()].p);
    if (b < 0xC8 && !m_surfaces.empty()) return reinterpret_cast<T*>(m_surfaces[b % m_surfaces.size()].p);
    if (b < 0xD0 && !m_clippers.empty()) return reinterpret_cast<T*>(m_clippers[b % m_clippers.size()].p);
    if (b < 0xF0) return nullptr;
    return reinterpret_cast<T*>(uintptr_t(m_in.U32()) | 1);
  }

  template <class T>
  Held<T>* Choose(std::vector<Held<T>>& list) {
    uint8_t b = m_in.Byte();
    return list.empty() ? nullptr : &list[b % list.size()];
  }

  // ---- COM bookkeeping ----

  template <class T>
  void Gained(std::vector<Held<T>>& list, T* p) {
    for (Held<T>& h : list)
      if (h.p == p) {
        ++h.refs;
        return;
      }
    list.push_back(Held<T>{p, 1});
  }

  // Our references are all there are on DirectDraw objects and surfaces;
  // clippers are also held by the surfaces they are set on.
  template <class T>
  void Release(std::vector<Held<T>>& list, size_t i, bool exact) {
    T* p = list[i].p;
    ULONG left = p->Release();
    ULONG ours = --list[i].refs;
    if (exact ? left != ours : left < ours) Fail("Release returned %u while we still hold %u", left, ours);
    if (ours == 0) {
      m_gone.push_back(static_cast<void*>(p));
      list.erase(list.begin() + std::ptrdiff_t(i));
    }
  }
  template <class T>
  void AddRef(Held<T>& h, bool exact) {
    ULONG n = h.p->AddRef();
    ++h.refs;
    if (exact ? n != h.refs : n < h.refs) Fail("AddRef returned %u while we hold %u", n, h.refs);
  }
  template <class T>
  void ReleaseAll(std::vector<Held<T>>& list, bool exact) {
    while (!list.empty()) Release(list, list.size() - 1, exact);
  }

  // ---- Checking results (results.cpp) ----

  // Notes what a context we were handed draws on: a surface's, or else the
  // screen's for `hwnd` (null: the whole screen).
  void NoteDc(HDC hdc, IDirectDrawSurface* surface, HWND hwnd, bool painting);
  // After each operation: what happened to the screen and the surfaces meanwhile.
  void NoteChanges();
  bool ReadTarget(const DcTarget& t, Picture* out) const;
  // True when nothing can hide part of `client` (hwnd's, on the screen).
  bool ClearView(HWND hwnd, const Box& client) const;
  void CheckBlt(HRESULT hr, IDirectDrawSurface* dest, const Picture& before, const RECT* destRect,
                const Picture& source, const RECT* sourceRect, DWORD flags, const DDBLTFX* fx);
  // FillRect, checked when the harness knows the context and the brush.
  void CheckedFillRect(HDC hdc, const RECT* rect, HBRUSH brush);

  // ---- Operations ----

  // layer_fuzz.cpp
  void CleanUp();
  void SetReaction();

  // ops_user.cpp
  void RegisterClass();
  void UnregisterClass();
  HWND CreateWindow(bool nested);
  void CreateTopLevel() { CreateWindow(false); }
  void Show();
  void Move();
  void Destroy();
  void WindowQuery();
  void Painting();
  void TakeDc();
  void GiveDcBack();
  void Paint();
  void Rects();
  void Format();
  void SendOrPost();
  void Pump();
  void GetMessages();
  // The window and message range a look at the queue asks for, from `b`.
  void ReadFilter(uint8_t b, HWND* filter, UINT* lo, UINT* hi);
  void DispatchMade();
  void Timers();
  void UserAction();

  // ops_gdi.cpp
  void GdiObjects();
  void Select();
  void Delete();
  void Fill();
  void Lines();
  void Colours();
  void Text();

  // ops_ddraw.cpp
  void DirectDrawCreateOp();
  void Cooperate();
  void CreateSurface();
  void ClipperOp();
  void SurfaceClipper();
  void SurfaceDc();
  void Blt();
  void Lock();
  void ComOp();
  void ReleaseDirectDraw(size_t i);
  void SetUp();

  // ops_kernel.cpp
  void Clock();
  void FailNext();
  void CursorAndModule();
  void Misc();
};

}  // namespace layer_fuzz
