// One libFuzzer program per target: VORN_FUZZ_TARGET names the body it runs. A
// broken invariant aborts, so libFuzzer keeps the input like any crash; so does an
// input that takes more CPU time than VORN_FUZZ_CPU_SECONDS (default 20; the
// sanitizers make the programs several times slower than the bound of 2 s that
// the normal build keeps). CPU time, unlike libFuzzer's -timeout, does not grow
// when the machine is busy or the fuzzer runs at a low priority.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "fuzz_targets.h"

namespace {

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double CpuLimit() {
  const char* text = std::getenv("VORN_FUZZ_CPU_SECONDS");
  const double limit = text ? std::atof(text) : 0;
  return limit > 0 ? limit : 20;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const double limit = CpuLimit();
  const double start = ThreadCpuSeconds();
  const std::string failure = vorn::fuzz::VORN_FUZZ_TARGET(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "invariant broken: %s\n", failure.c_str());
    std::abort();
  }
  if (const double used = ThreadCpuSeconds() - start; used > limit) {
    std::fprintf(stderr, "invariant broken: the input took %.1f s of CPU time (limit %.0f s)\n", used, limit);
    std::abort();
  }
  return 0;
}
