// Run from the source tree on a clang build (-DZUR_BUILD_FUZZ=ON), with a
// scratch corpus seeded from fuzz/corpus/codetable and the installed file
// resources/USR/FR2024/Res/Tabelle/Table.xml:
//   build-fuzz/bin/fuzz_codetable CORPUS_DIR
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return zurfuzz::CodeTable(data, size);
}
