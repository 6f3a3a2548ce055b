// wsprintfA on our layer: a width beyond the output is held at its size, and
// the result counts what was stored (Wine answers 1024 for a cut output).
#include <gtest/gtest.h>

#include "win32.h"

namespace {

TEST(Wsprintf, HugeWidthsAreCapped) {
  char out[2048];
  EXPECT_EQ(1023, wsprintfA(out, "%999999999d", 5));
  EXPECT_EQ(' ', out[0]);
  EXPECT_EQ(1023, wsprintfA(out, "%99999999999999999999d|%.99999999999999999999d", 5, 6));
}

}  // namespace
