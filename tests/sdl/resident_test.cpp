// Letting go of start-up's pages: read-only file mappings leave the page
// tables and read back unchanged; a mapping with a page of its own (written
// once, then made read-only, as relocated data is) keeps that page.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "resident.h"

namespace {

const size_t kPage = 4096;
const size_t kPages = 64;

// Kilobytes of the mapping at `at` in our page tables.
long ResidentKb(const void* at) {
  FILE* f = std::fopen("/proc/self/smaps", "re");
  if (!f) return -1;
  char line[4096];
  bool inside = false;
  long kb = -1;
  while (std::fgets(line, sizeof line, f)) {
    unsigned long start, end;
    if (std::sscanf(line, "%lx-%lx ", &start, &end) == 2 && std::strchr(line, '-') < std::strchr(line, ' '))
      inside = uintptr_t(at) >= start && uintptr_t(at) < end;
    else if (inside && std::sscanf(line, "Rss: %ld kB", &kb) == 1)
      break;
  }
  std::fclose(f);
  return kb;
}

TEST(DropUntouchedFilePages, UnmapsCleanReadOnlyFilePagesAndKeepsWhatTheProcessWrote) {
  char path[] = "/tmp/tarvelmin-resident-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  unlink(path);
  std::vector<unsigned char> content(kPages * kPage);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<unsigned char>(i * 7 + i / kPage);
  ASSERT_EQ(write(fd, content.data(), content.size()), ssize_t(content.size()));

  auto* clean = static_cast<unsigned char*>(mmap(nullptr, content.size(), PROT_READ, MAP_PRIVATE, fd, 0));
  auto* own = static_cast<unsigned char*>(mmap(nullptr, content.size(), PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0));
  close(fd);
  ASSERT_NE(clean, MAP_FAILED);
  ASSERT_NE(own, MAP_FAILED);
  unsigned sum = 0;
  for (size_t i = 0; i < content.size(); i += kPage) sum += clean[i] + own[i];
  own[5] = 0xA5;  // a page of the process's own, then read-only
  ASSERT_EQ(mprotect(own, content.size(), PROT_READ), 0);
  ASSERT_EQ(ResidentKb(clean), long(kPages * kPage / 1024)) << sum;

  EXPECT_GE(w32::DropUntouchedFilePages(), kPages * kPage);
  EXPECT_EQ(ResidentKb(clean), 0);
  EXPECT_EQ(std::memcmp(clean, content.data(), content.size()), 0);
  EXPECT_EQ(own[5], 0xA5);
  EXPECT_EQ(std::memcmp(own + kPage, content.data() + kPage, content.size() - kPage), 0);
  munmap(clean, content.size());
  munmap(own, content.size());
}

}  // namespace
