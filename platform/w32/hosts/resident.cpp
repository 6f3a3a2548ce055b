#include "resident.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace w32 {

namespace {

struct Mapping {
  unsigned long start = 0, end = 0;
  bool candidate = false;  // file-backed, not writable
  long rssKb = 0, anonymousKb = -1;  // anonymous: pages of its own (copied on write)
};

}  // namespace

size_t DropUntouchedFilePages() {
  FILE* f = std::fopen("/proc/self/smaps", "re");
  if (!f) return 0;
  std::vector<Mapping> found;
  char line[4096];
  while (std::fgets(line, sizeof line, f)) {
    unsigned long start, end;
    char perms[8] = "";
    int pathAt = 0;
    // A mapping's first line: start-end perms offset dev inode [path]
    if (std::sscanf(line, "%lx-%lx %7s %*x %*s %*u %n", &start, &end, perms, &pathAt) == 3 && pathAt > 0 &&
        std::strlen(perms) == 4) {
      Mapping m;
      m.start = start;
      m.end = end;
      m.candidate = line[pathAt] == '/' && perms[0] == 'r' && perms[1] != 'w';
      found.push_back(m);
      continue;
    }
    if (found.empty()) continue;
    long kb;
    if (std::sscanf(line, "Rss: %ld kB", &kb) == 1) found.back().rssKb = kb;
    if (std::sscanf(line, "Anonymous: %ld kB", &kb) == 1) found.back().anonymousKb = kb;
  }
  std::fclose(f);
  size_t dropped = 0;
  for (const Mapping& m : found) {
    if (!m.candidate || m.rssKb <= 0 || m.anonymousKb != 0) continue;
    if (madvise(reinterpret_cast<void*>(m.start), m.end - m.start, MADV_DONTNEED) == 0)
      dropped += size_t(m.rssKb) * 1024;
  }
  return dropped;
}

}  // namespace w32
