// The program's main(): picks a host (TARVELMIN_HOST, or the first that
// opens), then starts the program as Windows would. When no host can show
// it, one line says why and the process ends before WinMain with exit code 1.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "internal.h"
#include "startup.h"

int main(int argc, char** argv) {
  std::string why;
  w32::Host* host = w32::OpenHost(&why);
  if (!host) {
    std::fprintf(stderr, "tarvelmin: %s\n", why.c_str());
    return 1;
  }
  w32::SetHost(host);
  const int code = w32::StartWinMain(argc - 1, argv + 1);
#ifdef __EMSCRIPTEN__
  // In a page, main already returned at the program's first wait (Asyncify):
  // this return would reach no one, and the page would never hear the code.
  exit(code);
#endif
  return code;
}
