// One libFuzzer program per target: VORN_FUZZ_TARGET names the body it runs. A
// broken invariant aborts, so libFuzzer keeps the input like any crash.
#include <cstdio>
#include <cstdlib>

#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure = vorn::fuzz::VORN_FUZZ_TARGET(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "invariant broken: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
