// tarvelmin-wakeup: the floor under any timer. It does nothing but sleep
// 100 ms and wake, until it is ended; bench/cpu-use measures it beside the
// program, in the same windows, as what a bare wake-up costs on this machine.
//
// Usage: tarvelmin-wakeup [--resident MIB]
//   --resident  first make this much memory resident (and keep it), for the
//               cost of a wake-up of a process as big as another one: on
//               some virtual machines a wake-up costs more the more the
//               process has mapped
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  double mib = 0;
  if (argc == 3 && std::strcmp(argv[1], "--resident") == 0) {
    char* end = nullptr;
    mib = std::strtod(argv[2], &end);
    if (end == argv[2] || *end || !(mib > 0 && mib <= 4096)) {
      std::fprintf(stderr, "tarvelmin-wakeup: --resident takes MiB from 0 to 4096, not '%s'\n", argv[2]);
      return 2;
    }
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: tarvelmin-wakeup [--resident MIB]\n");
    return 2;
  }
  // Written once, every page: resident from now on.
  std::vector<unsigned char> resident(size_t(mib * 1024 * 1024), 1);
  const timespec period{0, 100 * 1000000L};
  for (;;) {
    const int failed = clock_nanosleep(CLOCK_MONOTONIC, 0, &period, nullptr);
    if (failed && failed != EINTR) {
      std::perror("tarvelmin-wakeup: clock_nanosleep");
      return 1;
    }
  }
}
