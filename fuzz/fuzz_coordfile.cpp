// Run from the source tree on a clang build (-DZUR_BUILD_FUZZ=ON), with a
// scratch corpus seeded from resources/USR/FR2024/Res/CoordStp:
//   build-fuzz/bin/fuzz_coordfile CORPUS_DIR
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return zurfuzz::CoordFile(data, size);
}
