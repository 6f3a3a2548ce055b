// The start-up code: what Windows does between starting a process and
// calling the program's WinMain.
#pragma once

namespace w32 {

// Calls WinMain with the module handle, no previous instance, the command
// line made of args[0..count) (quoted as Windows quotes them), and the
// current host's show command; returns what WinMain returns.
int StartWinMain(int count, const char* const* args);

}  // namespace w32
