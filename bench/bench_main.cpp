// vorn_bench is one program for every file in bench/.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
