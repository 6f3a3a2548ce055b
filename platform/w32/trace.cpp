// The layer's edge: the functions the program calls (windows.h and ddraw.h
// declare them in namespace w32_edge for every source but the layer's own),
// and stand-ins for the DirectDraw objects the program holds, whose methods
// it calls through pointers. Each passes the call on to the layer; while
// anyone listens it records the call first, and the window procedure's
// messages under it (trace.h).
//
// All of it is made from the call tables: a row gives the function, the
// names of its parameters and how each is shown (decode.h). Only wsprintfA
// (any number of arguments) and IUnknown's three methods are written out.
//
// The stand-ins: the program gets a stand-in for every DirectDraw object
// the layer hands it, and the layer gets the real object back wherever the
// program hands one in. A stand-in lives while the program holds references
// through it (it forwards AddRef and Release and counts them), so it never
// outlives its object, and the same object always has the same stand-in.
#include "trace.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <type_traits>

#include "decode.h"
#include "internal.h"

namespace w32 {
namespace trace {
namespace {

constexpr int kMostParameters = 12;

struct Param {
  const char* name;
  Kind kind;
};

struct Signature {
  const char* name;
  Kind result;
  const Param* params;
  int count;
};

#define W32_PARAM(type, name, shown) Param{#name, Kind::shown}

// Anything to record: a listener, or events still running. The one branch
// every call pays.
bool g_on = false;

struct Open {
  Event event;
  const Signature* signature = nullptr;  // null for a message
  Raw raw[kMostParameters] = {};
  int first = 0;  // fields before the parameters ("this")
  bool sawMessage = false;  // a window procedure ran under this call
  char name[16] = {};       // an unnamed message's label
};

struct State {
  std::vector<Listener*> listeners;
  std::vector<std::unique_ptr<Open>> open;  // [0, depth) run now; kept for reuse
  size_t depth = 0;
  std::vector<int> procs;  // each window procedure running since recording began: its event's depth, or -1
  uint64_t serial = 0;
  int aside = 0;
};

// Never destroyed: the program may call the layer from its global destructors.
State& S() {
  static State* s = new State;
  return *s;
}

void Update() {
  const State& s = S();
  g_on = !s.listeners.empty() || s.depth > 0 || !s.procs.empty();
}

template <class F>
void Notify(F heard, const Event& e) {
  State& s = S();
  ++s.aside;  // what listeners do is not the program's
  for (size_t i = 0; i < s.listeners.size(); ++i) (s.listeners[i]->*heard)(e);
  --s.aside;
}

bool Recording() {
  const State& s = S();
  return !s.listeners.empty() && s.aside == 0;
}

Open& Push(EventKind kind, const char* name) {
  State& s = S();
  if (s.depth == s.open.size()) s.open.push_back(std::make_unique<Open>());
  Open& o = *s.open[s.depth];
  Event& e = o.event;
  e.kind = kind;
  e.serial = ++s.serial;
  e.depth = int(s.depth);
  e.time = CurrentHost().Now();
  e.name = name;
  e.fields.clear();
  e.returned = false;
  e.result.clear();
  e.posted = false;
  e.hwnd = nullptr;
  e.message = 0;
  e.wParam = 0;
  e.lParam = 0;
  e.lresult = 0;
  o.signature = nullptr;
  o.first = 0;
  o.sawMessage = false;
  ++s.depth;
  return o;
}

// Closes the event at `slot` (and whatever was left open above it).
void Pop(size_t slot) {
  State& s = S();
  Notify(&Listener::Returned, s.open[slot]->event);
  s.depth = slot;
}

std::string ObjectText(const void* object) {
  const char* label = ObjectLabel(object);
  return label ? label : "?";
}

// A call begins: its event's depth, or -1 when it is not recorded.
int Begin(const Signature& signature, const void* self, const Raw* raw) {
  if (!Recording()) return -1;
  Open& o = Push(EventKind::Call, signature.name);
  o.signature = &signature;
  std::copy(raw, raw + signature.count, o.raw);
  if (self) o.event.fields.push_back(Field{"this", ObjectText(self)});
  o.first = int(o.event.fields.size());
  for (int i = 0; i < signature.count; ++i) {
    const Param& p = signature.params[i];
    o.event.fields.push_back(
        Field{p.name, ReadBefore(p.kind) ? Show(p.kind, o.raw, signature.count, i, Raw{0, nullptr}) : std::string()});
  }
  Notify(&Listener::Began, o.event);
  return o.event.depth;
}

void End(int slot, Raw result) {
  State& s = S();
  if (slot >= 0 && size_t(slot) < s.depth) {
    Open& o = *s.open[size_t(slot)];
    const Signature& signature = *o.signature;
    for (int i = 0; i < signature.count; ++i) {
      const Kind kind = signature.params[i].kind;
      if (!ReadAfter(kind)) continue;
      std::string& value = o.event.fields[size_t(o.first + i)].value;
      std::string after = Show(kind, o.raw, signature.count, i, result);
      if (!ReadBefore(kind))
        value = std::move(after);
      else if (after != value)
        value += " => " + after;
    }
    if (signature.result != Kind::None) o.event.result = ShowResult(signature.result, result);
    o.event.returned = true;
    Pop(size_t(slot));
  }
  Update();
}

void MessageBegan(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  State& s = S();
  if (!Recording()) {
    s.procs.push_back(-1);
    return;
  }
  // Posted: the message DispatchMessageA hands on, the first under it. The
  // records lParam points to are read only in messages the layer made.
  bool posted = false, programMade = false;
  if (s.depth > 0 && s.open[s.depth - 1]->signature) {
    Open& parent = *s.open[s.depth - 1];
    const bool dispatch = std::strcmp(parent.signature->name, "DispatchMessageA") == 0;
    if (dispatch && !parent.sawMessage) {
      const MSG* m = static_cast<const MSG*>(parent.raw[0].p);
      posted = m && m->hwnd == hwnd && m->message == message;
    }
    programMade = dispatch || std::strcmp(parent.signature->name, "SendMessageA") == 0;
    parent.sawMessage = true;
  }
  char label[16];
  const char* name = MessageLabel(message, label);
  Open& o = Push(EventKind::Message, name);
  if (name == label) {
    std::memcpy(o.name, label, sizeof label);
    o.event.name = o.name;
  }
  Event& e = o.event;
  e.posted = posted;
  e.hwnd = hwnd;
  e.message = message;
  e.wParam = wParam;
  e.lParam = lParam;
  ShowMessage(hwnd, message, wParam, lParam, !programMade, &e.fields);
  s.procs.push_back(e.depth);
  Notify(&Listener::Began, e);
}

void MessageReturned(LRESULT result) {
  State& s = S();
  if (!s.procs.empty()) {
    const int slot = s.procs.back();
    s.procs.pop_back();
    if (slot >= 0 && size_t(slot) < s.depth) {
      Event& e = s.open[size_t(slot)]->event;
      e.lresult = result;
      e.result = std::to_string(static_cast<long long>(result));
      e.returned = true;
      Pop(size_t(slot));
    }
  }
  Update();
}

// ---- Passing calls on -------------------------------------------------------------

template <class T>
Raw ToRaw(const T& v) {
  if constexpr (std::is_pointer_v<T>) {
    if constexpr (std::is_convertible_v<T, const void*>)
      return Raw{uint64_t(reinterpret_cast<uintptr_t>(v)), static_cast<const void*>(v)};
    else  // a procedure
      return Raw{uint64_t(reinterpret_cast<uintptr_t>(v)), nullptr};
  } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    return Raw{uint64_t(int64_t(v)), nullptr};
  } else {
    return Raw{0, &v};  // a record passed by reference
  }
}

// The stand-ins, and the objects they stand for.
template <class I>
class Edge;

template <class I>
std::vector<Edge<I>*>& Live() {
  static auto* live = new std::vector<Edge<I>*>;
  return *live;
}

template <class I>
I* Inner(I* object) {
  for (Edge<I>* e : Live<I>())
    if (static_cast<I*>(e) == object) return e->Inner();
  return object;  // not ours: the layer refuses it
}

template <class I>
I* Adopt(I* inner);

// What the program hands in goes to the layer as the real object...
inline IDirectDrawSurface* Unwrap(IDirectDrawSurface* s) {
  return Inner(s);
}
inline IDirectDrawClipper* Unwrap(IDirectDrawClipper* c) {
  return Inner(c);
}
template <class T>
T Unwrap(T v) {
  return v;
}

// ... and what the layer hands out comes to the program as its stand-in.
inline void Rewrap(IDirectDraw** out) {
  if (out && *out) *out = Adopt(*out);
}
inline void Rewrap(IDirectDrawSurface** out) {
  if (out && *out) *out = Adopt(*out);
}
inline void Rewrap(IDirectDrawClipper** out) {
  if (out && *out) *out = Adopt(*out);
}
template <class T>
void Rewrap(const T&) {}

template <class R, class Impl, class... A>
R Plain(Impl& impl, A... args) {
  if constexpr (std::is_void_v<R>) {
    impl(args...);
    (Rewrap(args), ...);
  } else {
    R r = impl(args...);
    (Rewrap(args), ...);
    return r;
  }
}

template <class R, class Impl, class... A>
__attribute__((noinline)) R Recorded(const Signature& signature, const void* self, Impl& impl, A... args) {
  const Raw raw[] = {ToRaw(args)..., Raw{0, nullptr}};
  const int slot = Begin(signature, self, raw);
  if constexpr (std::is_void_v<R>) {
    Plain<R>(impl, args...);
    End(slot, Raw{0, nullptr});
  } else {
    R r = Plain<R>(impl, args...);
    End(slot, ToRaw(r));
    return r;
  }
}

template <class R, class Impl, class... A>
inline R Through(const Signature& signature, const void* self, Impl impl, A... args) {
  if (__builtin_expect(!g_on, 1)) return Plain<R>(impl, args...);
  return Recorded<R>(signature, self, impl, args...);
}

// ---- The stand-ins ----------------------------------------------------------------

template <class I>
struct Names;
#define W32_EDGE_NAMES(I, label)                                                                     \
  template <>                                                                                        \
  struct Names<I> {                                                                                  \
    static constexpr const char* kLabel = label;                                                     \
    static constexpr Param kQueryParams[] = {{"riid", Kind::Iid}, {"object", Kind::OutObject}};       \
    static constexpr Signature kQuery{#I "::QueryInterface", Kind::HResult, kQueryParams, 2};              \
    static constexpr Signature kAddRef{#I "::AddRef", Kind::Count, nullptr, 0};                            \
    static constexpr Signature kRelease{#I "::Release", Kind::Count, nullptr, 0};                          \
  };
W32_EDGE_NAMES(IDirectDraw, "ddraw")
W32_EDGE_NAMES(IDirectDrawSurface, "surface")
W32_EDGE_NAMES(IDirectDrawClipper, "clipper")

int& Made(const char* label) {
  static int ddraws = 0, surfaces = 0, clippers = 0;
  return label[0] == 'd' ? ddraws : label[0] == 's' ? surfaces : clippers;
}

template <class I>
class EdgeBase : public I {
 public:
  explicit EdgeBase(I* inner) : m_inner(inner) {
    m_label = std::string(Names<I>::kLabel) + "#" + std::to_string(++Made(Names<I>::kLabel));
  }
  virtual ~EdgeBase() = default;

  I* Inner() const { return m_inner; }
  const std::string& Label() const { return m_label; }
  void Held() { ++m_held; }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    return Through<HRESULT>(Names<I>::kQuery, Self(),
                            [this](const IID& r, void** out) {
                              HRESULT hr = m_inner->QueryInterface(r, out);
                              // The layer answers with the object itself: the program gets us.
                              if (SUCCEEDED(hr) && out && *out == static_cast<void*>(m_inner)) {
                                *out = static_cast<I*>(this);
                                ++m_held;
                              }
                              return hr;
                            },
                            riid, object);
  }
  ULONG AddRef() override {
    return Through<ULONG>(Names<I>::kAddRef, Self(), [this] {
      ++m_held;
      return m_inner->AddRef();
    });
  }
  ULONG Release() override {
    return Through<ULONG>(Names<I>::kRelease, Self(), [this] {
      const ULONG left = m_inner->Release();
      if (--m_held == 0) {
        auto& live = Live<I>();
        live.erase(std::find(live.begin(), live.end(), this));
        delete this;
      }
      return left;
    });
  }

 protected:
  const void* Self() const { return static_cast<const I*>(this); }

  I* m_inner;
  ULONG m_held = 1;  // references the program holds through us
  std::string m_label;
};

#define W32_EDGE_METHOD(label, result, shown, name, ...)                                               \
  result name(W32_EACH(W32_PARAMETER, __VA_ARGS__)) override {                                         \
    static constexpr Param kParams[] = {W32_EACH(W32_PARAM, __VA_ARGS__)};                        \
    static constexpr Signature kSignature{label, Kind::shown, kParams, int(std::size(kParams))};                 \
    return Through<result>(kSignature, Self(), [this](auto... a) { return m_inner->name(Unwrap(a)...); }, \
                           W32_EACH(W32_ARGUMENT, __VA_ARGS__));                                        \
  }
#define W32_EDGE_METHOD0(label, result, shown, name)                            \
  result name() override {                                                      \
    static constexpr Signature kSignature{label, Kind::shown, nullptr, 0};                \
    return Through<result>(kSignature, Self(), [this] { return m_inner->name(); }); \
  }

#define W32_DIRECTDRAW_EDGE(result, shown, name, ...) \
  W32_EDGE_METHOD("IDirectDraw::" #name, result, shown, name, __VA_ARGS__)
#define W32_DIRECTDRAW_EDGE0(result, shown, name) W32_EDGE_METHOD0("IDirectDraw::" #name, result, shown, name)
#define W32_SURFACE_EDGE(result, shown, name, ...) \
  W32_EDGE_METHOD("IDirectDrawSurface::" #name, result, shown, name, __VA_ARGS__)
#define W32_SURFACE_EDGE0(result, shown, name) W32_EDGE_METHOD0("IDirectDrawSurface::" #name, result, shown, name)
#define W32_CLIPPER_EDGE(result, shown, name, ...) \
  W32_EDGE_METHOD("IDirectDrawClipper::" #name, result, shown, name, __VA_ARGS__)
#define W32_CLIPPER_EDGE0(result, shown, name) W32_EDGE_METHOD0("IDirectDrawClipper::" #name, result, shown, name)

template <>
class Edge<IDirectDraw> final : public EdgeBase<IDirectDraw> {
 public:
  using EdgeBase::EdgeBase;
  W32_DIRECTDRAW_METHODS(W32_DIRECTDRAW_EDGE, W32_DIRECTDRAW_EDGE0)
};

template <>
class Edge<IDirectDrawSurface> final : public EdgeBase<IDirectDrawSurface> {
 public:
  using EdgeBase::EdgeBase;
  W32_SURFACE_METHODS(W32_SURFACE_EDGE, W32_SURFACE_EDGE0)
};

template <>
class Edge<IDirectDrawClipper> final : public EdgeBase<IDirectDrawClipper> {
 public:
  using EdgeBase::EdgeBase;
  W32_CLIPPER_METHODS(W32_CLIPPER_EDGE, W32_CLIPPER_EDGE0)
};

template <class I>
I* Adopt(I* inner) {
  for (Edge<I>* e : Live<I>()) {
    if (e->Inner() != inner) continue;
    e->Held();
    return e;
  }
  auto* e = new Edge<I>(inner);
  Live<I>().push_back(e);
  return e;
}

template <class I>
const char* LabelIn(const void* object) {
  for (const Edge<I>* e : Live<I>())
    if (static_cast<const void*>(static_cast<const I*>(e)) == object) return e->Label().c_str();
  return nullptr;
}

template <class I>
void Drop() {
  for (Edge<I>* e : Live<I>()) delete e;
  Live<I>().clear();
}

}  // namespace

const char* ObjectLabel(const void* object) {
  if (!object) return nullptr;
  if (const char* label = LabelIn<IDirectDraw>(object)) return label;
  if (const char* label = LabelIn<IDirectDrawSurface>(object)) return label;
  return LabelIn<IDirectDrawClipper>(object);
}

void AddListener(Listener* listener) {
  State& s = S();
  if (listener && std::find(s.listeners.begin(), s.listeners.end(), listener) == s.listeners.end())
    s.listeners.push_back(listener);
  Update();
}

void RemoveListener(Listener* listener) {
  State& s = S();
  s.listeners.erase(std::remove(s.listeners.begin(), s.listeners.end(), listener), s.listeners.end());
  Update();
}

Aside::Aside() {
  ++S().aside;
}
Aside::~Aside() {
  --S().aside;
}

std::string Line(const Event& e) {
  std::string out = e.name ? e.name : "?";
  if (e.kind == EventKind::Message) {
    out += e.posted ? " posted" : " sent";
    for (const Field& f : e.fields) out += std::string(" ") + f.name + "=" + f.value;
  } else {
    out += "(";
    for (size_t i = 0; i < e.fields.size(); ++i)
      out += std::string(i ? ", " : "") + e.fields[i].name + "=" + e.fields[i].value;
    out += ")";
  }
  if (e.returned && (e.kind == EventKind::Message || !e.result.empty())) out += " -> " + e.result;
  return out;
}

void Reset() {
  State& s = S();
  s.listeners.clear();
  s.depth = 0;
  s.procs.clear();
  s.serial = 0;
  // The layer has just destroyed the objects themselves.
  Drop<IDirectDraw>();
  Drop<IDirectDrawSurface>();
  Drop<IDirectDrawClipper>();
  Made("ddraw") = Made("surface") = Made("clipper") = 0;
  Update();
}

IDirectDrawSurface* LayerObject(IDirectDrawSurface* surface) {
  return Inner(surface);
}

}  // namespace trace

// The window manager tells the host of every window procedure call; the
// trace hears of it first.
void Host::ProcEntered(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (__builtin_expect(trace::g_on, 0)) trace::MessageBegan(hwnd, message, wParam, lParam);
  WindowProcEntered(hwnd, message, wParam, lParam);
}

void Host::ProcReturned(LRESULT result) {
  WindowProcReturned(result);
  if (__builtin_expect(trace::g_on, 0)) trace::MessageReturned(result);
}

}  // namespace w32

// ---- The functions the program calls -------------------------------------------------

#define W32_EDGE_CALL(result, shown, name, ...)                                                          \
  result name(W32_EACH(W32_PARAMETER, __VA_ARGS__)) {                                                    \
    static constexpr Param kParams[] = {W32_EACH(W32_PARAM, __VA_ARGS__)};                          \
    static constexpr Signature kSignature{#name, Kind::shown, kParams, int(std::size(kParams))};                   \
    return Through<result>(kSignature, nullptr, [](auto... a) { return ::name(Unwrap(a)...); },             \
                           W32_EACH(W32_ARGUMENT, __VA_ARGS__));                                          \
  }
#define W32_EDGE_CALL0(result, shown, name)                                        \
  result name() {                                                                  \
    static constexpr Signature kSignature{#name, Kind::shown, nullptr, 0};                   \
    return Through<result>(kSignature, nullptr, [] { return ::name(); });               \
  }

namespace w32_edge {
using namespace w32::trace;

W32_KERNEL32_CALLS(W32_EDGE_CALL, W32_EDGE_CALL0)
W32_USER32_CALLS(W32_EDGE_CALL, W32_EDGE_CALL0)
W32_GDI32_CALLS(W32_EDGE_CALL, W32_EDGE_CALL0)
W32_DDRAW_CALLS(W32_EDGE_CALL, W32_EDGE_CALL0)

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  static constexpr Param kParams[] = {{"buffer", Kind::OutText}, {"format", Kind::Text}};
  static constexpr Signature kSignature{"wsprintfA", Kind::Int, kParams, 2};
  va_list args;
  va_start(args, format);
  const int written =
      Through<int>(kSignature, nullptr, [&](LPSTR b, LPCSTR f) { return ::wvsprintfA(b, f, args); }, buffer, format);
  va_end(args);
  return written;
}

}  // namespace w32_edge
