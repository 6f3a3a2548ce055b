// On our layer every test starts on a fresh headless host: no windows, no
// classes, an empty queue and the clock at 0.
#include <gtest/gtest.h>

#include "headless.h"

namespace {
class FreshHost : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { headless::Reset(); }
};

const bool g_registered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new FreshHost);
  return true;
}();
}  // namespace
