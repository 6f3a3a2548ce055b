// The program's main(): picks a host (TARVELMIN_HOST, or the first that
// opens), then starts the program as Windows would. When no host can show
// it, one line says why and the process ends before WinMain with exit code 1.
// --version and --help as the first argument are answered here, before any
// host is opened; every other argument goes on to WinMain untouched.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "internal.h"
#include "startup.h"

namespace {

const char kHelp[] =
    "tarvelmin " TARVELMIN_VERSION ": a red disc orbiting the centre of a 640 x 480 window\n"
    "while it is the active application, a Win32 DirectDraw demo on a Win32 layer\n"
    "of its own. Close the window to end it.\n"
    "usage: tarvelmin [--version | --help]\n"
    "The window is shown by a host:\n"
    "  sdl       a real window on the X11 or Wayland display (the default)\n"
    "  headless  an in-memory screen nobody sees, on the real clock (only when named)\n"
    "TARVELMIN_HOST=sdl or =headless picks one; unset, the first that opens.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("tarvelmin " TARVELMIN_VERSION);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kHelp, stdout);
    return 0;
  }
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
