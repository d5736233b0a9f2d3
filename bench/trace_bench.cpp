// The scan tracer on a photo-like 4:2:0 picture (quality 90): a three-MCU trace
// without listing, as each trial of the single-bit search runs it, and a one-MCU
// trace with listing, as the MCU check runs it. The search runs several hundred of
// the former, so its cost bounds the search.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "decode/decode_scan.h"
#include "inspect/mcu_pointer.h"
#include "inspect/tracer.h"
#include "support/analysed_jpeg.h"
#include "support/libjpeg_peer.h"

namespace {

using namespace vorn;

struct DecodedPicture {
  testing::AnalysedJpeg analysed;
  DecodeState decode;
  bool ok = false;
};

const DecodedPicture& Picture() {
  static const std::unique_ptr<DecodedPicture> picture = [] {
    auto p = std::make_unique<DecodedPicture>();
    testing::EncodeOptions options;
    options.width = 1024;
    options.height = 1024;
    options.quality = 90;
    p->analysed = testing::AnalyseJpeg(testing::EncodePhotoLike(options));
    testing::CreateDecodeStores(p->analysed.rec, p->decode);
    p->ok = p->analysed.completed && DecodeScan(p->analysed.file, p->analysed.rec, p->analysed.scanDataEnd,
                                                p->decode) == DecodeStatus::Ok;
    if (!p->ok) std::fprintf(stderr, "the benchmark picture did not decode\n");
    return p;
  }();
  return *picture;
}

// range(0): the traced MCUs' row in percent of the rows; they start in mid-row.
void Trace(benchmark::State& state, int16_t lastMcu, bool listing) {
  const DecodedPicture& p = Picture();
  if (!p.ok) {
    state.SkipWithError("no picture");
    return;
  }
  const McuStartTable& starts = p.decode.McuStarts;
  const int32_t column = starts.Columns / 2;
  const int32_t row = static_cast<int32_t>(state.range(0)) * (starts.Rows - 2) / 100;
  const McuStart& start = starts.At(column, row);
  const McuPointerState pointer = PointerToMcu(start, column, row);
  const TraceInputs in{
      p.analysed.file,     p.analysed.rec,         p.decode.Plan, p.decode.BitMask,
      p.decode.IdctMatrix, p.analysed.scanDataEnd, pointer,       {start.Dc[0], start.Dc[1], start.Dc[2]},
      ByteOverride{}};
  McuBuffer pixels;
  pixels.Reset(16, 16, lastMcu + 1);
  std::array<int32_t, 3> mcuEnd{};
  window::ListBox LOG;
  AnalysisState analysis;
  TraceListing sink{LOG, analysis};
  for (auto _ : state) {
    const TraceResult result = TraceMcus(in, mcuEnd, pixels, lastMcu, listing ? &sink : nullptr);
    if (result != TraceResult::Done) state.SkipWithError("the trace did not complete");
    benchmark::DoNotOptimize(pixels.pixels.data());
  }
  if (lastMcu > 0) state.counters["firstMcuBytes"] = static_cast<double>(mcuEnd[0] - pointer.BytePos);
}

void BM_TraceThreeMcus(benchmark::State& state) {
  Trace(state, 2, false);
}
void BM_TraceOneMcuListed(benchmark::State& state) {
  Trace(state, 0, true);
}

BENCHMARK(BM_TraceThreeMcus)->Arg(0)->Arg(50)->Arg(99)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TraceOneMcuListed)->Arg(50)->Unit(benchmark::kMicrosecond);

}  // namespace
