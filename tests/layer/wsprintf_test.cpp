// wsprintfA on our layer: bounded reads and widths.
#include <gtest/gtest.h>

#include "win32.h"

namespace {

TEST(Wsprintf, PrecisionBoundsTheReadAndHugeWidthsAreCapped) {
  char unterminated[3] = {'a', 'b', 'c'};
  char out[2048];
  EXPECT_EQ(3, wsprintfA(out, "%.3s", unterminated));  // never reads past the three bytes
  EXPECT_STREQ("abc", out);
  EXPECT_EQ(1023, wsprintfA(out, "%999999999d", 5));
  EXPECT_EQ(' ', out[0]);
  EXPECT_EQ(1023, wsprintfA(out, "%99999999999999999999d|%.99999999999999999999d", 5, 6));
}

}  // namespace
