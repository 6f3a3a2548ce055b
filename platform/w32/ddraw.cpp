// ddraw: the DirectDraw object, surfaces and clippers.
#include "internal.h"

namespace w32 {

size_t LiveDirectDrawObjectCount() {
  return 0;
}

void ResetDirectDraw() {}

}  // namespace w32
