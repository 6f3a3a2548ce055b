// The operations on kernel32 and the fault injection the layer keeps with
// it: the clock, failing the next call, module handles, string lengths, beeps
// and the last error. "cursor and module" and "misc" also make the user32
// calls a program makes along the way: a cursor, system metrics, a message box.
#include <string>

#include "harness.h"
#include "headless.h"

namespace layer_fuzz {

void Program::Clock() {
  if (m_in.Bit())
    Sleep(m_in.Int());
  else
    GetTickCount();
}

void Program::FailNext() {
  // Sometimes a call the host does not know: it must be ignored.
  const uint8_t b = m_in.Byte();
  int call = b < 0xF0 ? b % 10 : int(m_in.U32());
  headless::FailNext(headless::Call(call), m_in.Int());
}

void Program::CursorAndModule() {
  const uint8_t b = m_in.Byte();
  if (b & 1) Keep(kOther, LoadCursorA(nullptr, MAKEINTRESOURCEA(32512 + (b >> 1))));
  if (b & 2) Keep(kOther, GetModuleHandleA(nullptr));
  if (b & 4) {
    std::string s = m_in.Text();
    lstrlenA(m_in.Bit() ? s.c_str() : nullptr);
  }
}

void Program::Misc() {
  const uint8_t b = m_in.Byte();
  if (b & 1) {
    DWORD frequency = m_in.U32(), duration = m_in.U32();
    Beep(frequency, duration);
  }
  if (b & 2) GetSystemMetrics(m_in.Int());
  if (b & 4) GetLastError();
  if (b & 8) SetLastError(m_in.U32());
  if (b & 16) {
    HWND owner = Window();
    std::string message = m_in.Text();
    const UINT type = m_in.Flags({MB_OK, MB_OKCANCEL | MB_ICONERROR});
    MessageBoxA(owner, (b & 32) ? nullptr : message.c_str(), (b & 64) ? nullptr : "fuzz", type);
  }
}

}  // namespace layer_fuzz
