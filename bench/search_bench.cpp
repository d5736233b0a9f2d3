// The single-bit search on a 4000 x 4000 4:2:0 photo-like file: one full search
// (every 0 bit of the window tried with a three-MCU trace and rated) at MCUs at the
// start, the middle and the end of the picture. Target: well under 100 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "analysis/marker_analysis.h"
#include "app/analyze.h"
#include "app/inspect_handlers.h"
#include "inspect/mcu_pointer.h"
#include "support/libjpeg_peer.h"
#include "window/dialogs.h"

namespace {

using namespace vorn;

struct LoadedPicture {
  window::ScriptedDialogs dialogs;
  AppState app{dialogs};
  bool ok = false;
};

// Encoded, analysed and decoded once for all runs.
LoadedPicture& Picture() {
  static const std::unique_ptr<LoadedPicture> loaded = [] {
    auto p = std::make_unique<LoadedPicture>();
    testing::EncodeOptions options;
    options.width = 4000;
    options.height = 4000;
    options.h0 = 2;
    options.v0 = 2;
    options.quality = 90;
    const std::string path = "/tmp/vorn_search_bench_4000.jpg";
    testing::WriteFileBytes(path, testing::EncodePhotoLike(options));
    FillMarkerName(p->app.analysis);
    const LoadResult result = LoadFileImage(p->app, path, true);
    std::remove(path.c_str());
    p->ok = result.error.ok() && result.completed && p->app.decode.McuStarts.Columns > 0;
    return p;
  }();
  return *loaded;
}

// range(0): where the MCU lies, in percent of the MCU rows and columns.
void BM_FullSearch(benchmark::State& state) {
  LoadedPicture& p = Picture();
  if (!p.ok) {
    state.SkipWithError("the 4000 x 4000 picture did not load and decode");
    return;
  }
  const McuGeometry& g = p.app.decode.Geometry;
  const auto at = [&](int32_t count) {
    return std::min<int32_t>(count - 1, static_cast<int32_t>(int64_t{count - 1} * state.range(0) / 100));
  };
  // Keep three whole MCUs after the chosen one, so that every trial can complete.
  const int32_t column = std::min(at(g.McusPerRow), g.McusPerRow - 4), row = at(g.McuRows);
  p.app.inspect.McuPointer = PointerToMcu(p.app.decode.McuStarts.At(column, row), column, row);
  for (auto _ : state) {
    BITCHK_Click(p.app);
    benchmark::DoNotOptimize(p.app.inspect.BitCandidate);
  }
  state.counters["candidates"] = static_cast<double>(p.app.form.LOG.Count());
}
BENCHMARK(BM_FullSearch)->Arg(0)->Arg(50)->Arg(99)->Unit(benchmark::kMillisecond);

}  // namespace
