// Run from the source tree on a clang build (-DZUR_BUILD_FUZZ=ON), with a
// scratch corpus seeded from fuzz/corpus/datapacket:
//   build-fuzz/bin/fuzz_datapacket -dict=fuzz/datapacket.dict CORPUS_DIR
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return zurfuzz::DataPacket(data, size);
}
