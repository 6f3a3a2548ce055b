// kernel32: last error, beeps, the clock, module handles, string length; and
// the layer-wide pieces that belong to no DLL: the current host, fault
// injection and the records tests read back.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../internal.h"

namespace w32 {
namespace {
DWORD g_lastError = 0;
struct Fault {
  bool armed = false;
  int skip = 0;
};
Fault g_faults[size_t(Call::Count)];
Host* g_host = nullptr;
}  // namespace

#ifdef __EMSCRIPTEN__
// Windows never maps the first 64 KiB, so a class name's address below
// 0x10000 is taken for an atom, here as there. The web build places its data
// from 64 KiB on (-sGLOBAL_BASE); one that does not would refuse every class
// registered by name, so it stops here, saying why.
[[maybe_unused]] const bool g_lowMemoryUnused = [] {
  static const char kProbe[] = "tarvelmin";
  if (reinterpret_cast<uintptr_t>(kProbe) < 0x10000) {
    std::fprintf(stderr, "w32: this build has data below 64 KiB, where names would be taken for atoms "
                         "(link with -sGLOBAL_BASE=65536)\n");
    std::abort();
  }
  return true;
}();
#endif

Host* NewHeadlessHost();  // hosts/headless.cpp

Host& CurrentHost() {
  if (!g_host) g_host = NewHeadlessHost();
  return *g_host;
}

void SetHost(Host* host) {
  g_host = host;
}

// Made on first use: a global constructor may beep before ours run.
Records& TheRecords() {
  static Records* records = new Records;
  return *records;
}

void FailNext(Call call, int skip) {
  if (call < Call(0) || call >= Call::Count) return;  // not a call we know
  g_faults[size_t(call)] = Fault{true, skip < 0 ? 0 : skip};
}

bool TakeFault(Call call) {
  Fault& f = g_faults[size_t(call)];
  if (!f.armed) return false;
  if (f.skip > 0) {
    --f.skip;
    return false;
  }
  f.armed = false;
  return true;
}

void ClearFaults() {
  for (Fault& f : g_faults) f = Fault{};
}

void ResetKernel() {
  g_lastError = 0;
  TheRecords() = Records{};
  ClearFaults();
}

}  // namespace w32

using namespace w32;

DWORD GetLastError() {
  return g_lastError;
}

void SetLastError(DWORD error) {
  g_lastError = error;
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  // Only the program's own module exists here.
  if (moduleName != nullptr) {
    SetLastError(126);  // ERROR_MOD_NOT_FOUND
    return nullptr;
  }
  return As<HMODULE>(FixedHandle(HandleKind::Instance, 1));
}

BOOL Beep(DWORD frequency, DWORD duration) {
  TheRecords().beeps++;
  TheRecords().beepArgs.emplace_back(frequency, duration);
  CurrentHost().Beep(frequency, duration);
  return TRUE;
}

DWORD GetTickCount() {
  return CurrentHost().Now();
}

void Sleep(DWORD milliseconds) {
  CurrentHost().Sleep(milliseconds);
}

int lstrlenA(LPCSTR text) {
  // Windows answers 0 for a null pointer instead of faulting.
  return text ? int(std::strlen(text)) : 0;
}
