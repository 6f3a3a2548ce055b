// wsprintfA as the program uses it, and its 1024-byte output limit.
#include <gtest/gtest.h>

#include <cstring>

#include "win32.h"

namespace {

TEST(Wsprintf, FormatsAsTheProgramUsesIt) {
  char buf[256];
  EXPECT_EQ(35, wsprintfA(buf, "Direct Draw Init Failed (%08lx)\n", 0x88760096UL));
  EXPECT_STREQ("Direct Draw Init Failed (88760096)\n", buf);
  EXPECT_EQ(8, wsprintfA(buf, "%08lx", 0UL));
  EXPECT_STREQ("00000000", buf);
  wsprintfA(buf, "%d|%5d|%-5d|%05d|%x|%X|%u|%c|%%|%ld|%lu|%3s|%s", 42, 42, 42, -42, 255, 255, 4000000000u, 'q',
            -5L, 7UL, "ab", "tail");
  EXPECT_STREQ("42|   42|42   |-0042|ff|FF|4000000000|q|%|-5|7| ab|tail", buf);
  wsprintfA(buf, "[%s]", static_cast<const char*>(NULL));
  EXPECT_STREQ("[(null)]", buf);
}

TEST(Wsprintf, StopsAt1024Bytes) {
  static char big[2000];
  static char out[4096];
  std::memset(big, 'a', sizeof big - 1);
  std::memset(out, 'Z', sizeof out);
  wsprintfA(out, "%s", big);
  EXPECT_EQ(1023u, std::strlen(out));
  EXPECT_EQ('Z', out[1024]);  // nothing written past the cap
}

}  // namespace
