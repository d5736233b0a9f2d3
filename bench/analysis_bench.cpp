// The marker analysis of a large photo: one pass over every byte of the file plus
// the parsers. It runs before every decode, so it should stay far below the
// decode's own time (a few milliseconds for a 4000 x 3000 file of some MB).
#include <benchmark/benchmark.h>

#include "analysis/marker_analysis.h"
#include "app/analyze.h"
#include "support/libjpeg_peer.h"
#include "window/dialogs.h"

namespace {

const std::vector<uint8_t>& LargePhoto() {
  static const std::vector<uint8_t> jpeg = [] {
    vorn::testing::EncodeOptions o;
    o.width = 4000;
    o.height = 3000;
    o.quality = 95;
    o.restartInterval = 8;  // restart markers the scan must pass over
    return vorn::testing::EncodePhotoLike(o);
  }();
  return jpeg;
}

void BM_AnalyzeMarkers(benchmark::State& state) {
  vorn::window::ScriptedDialogs dialogs;
  vorn::AppState app{dialogs};
  vorn::FillMarkerName(app.analysis);
  app.file.bytes = LargePhoto();
  for (auto _ : state) {
    const bool completed = vorn::AnalyzeMarkers(app);
    benchmark::DoNotOptimize(completed);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(app.file.bytes.size()));
}
BENCHMARK(BM_AnalyzeMarkers)->Unit(benchmark::kMillisecond);

}  // namespace
