// tarvelmin-wakeup: the floor under any timer. It does nothing but sleep
// 100 ms and wake, until it is ended; bench/cpu-use measures it beside the
// program, in the same windows, as what a bare wake-up costs on this machine.
#include <time.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char**) {
  if (argc > 1) {
    std::fprintf(stderr, "tarvelmin-wakeup: takes no arguments; it sleeps 100 ms and wakes until it is ended\n");
    return 2;
  }
  const timespec period{0, 100 * 1000000L};
  for (;;) {
    const int failed = clock_nanosleep(CLOCK_MONOTONIC, 0, &period, nullptr);
    if (failed && failed != EINTR) {
      std::perror("tarvelmin-wakeup: clock_nanosleep");
      return 1;
    }
  }
}
