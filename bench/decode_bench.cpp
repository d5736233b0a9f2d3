// Decoding a large photo-like picture: DecodeScan against libjpeg-turbo (integer
// slow IDCT, no fancy upsampling) on the same bytes, in the same run. Both time
// what a caller pays: creating the output picture and decoding into it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

#include "decode/decode_scan.h"
#include "support/analysed_jpeg.h"
#include "support/libjpeg_peer.h"

namespace {

using vorn::testing::EncodeOptions;

struct Picture {
  std::vector<uint8_t> jpeg;
  vorn::testing::AnalysedJpeg analysed;
};

// 4000 x 3000 4:2:0 and 4000 x 4000 4:4:4, quality 90; encoded once per run.
const Picture& Photo(int layout) {
  static std::map<int, Picture> pictures;
  auto it = pictures.find(layout);
  if (it != pictures.end()) return it->second;
  EncodeOptions o;
  o.width = 4000;
  o.height = layout == 420 ? 3000 : 4000;
  o.h0 = o.v0 = layout == 420 ? 2 : 1;
  o.quality = 90;
  Picture p;
  p.jpeg = vorn::testing::EncodePhotoLike(o);
  p.analysed = vorn::testing::AnalyseJpeg(p.jpeg);
  if (!p.analysed.completed) std::fprintf(stderr, "analysis of the %d picture did not complete\n", layout);
  return pictures.emplace(layout, std::move(p)).first->second;
}

// Arguments: the layout, and 1 for the one-thread decode (the transform beside
// the Huffman decoding on one core), 0 for the automatic choice.
void BM_DecodeScan(benchmark::State& state) {
  const Picture& p = Photo(static_cast<int>(state.range(0)));
  const auto threads = state.range(1) == 1 ? vorn::DecodeThreads::One : vorn::DecodeThreads::Automatic;
  auto decode = std::make_unique<vorn::DecodeState>();
  for (auto _ : state) {
    vorn::testing::CreateDecodeStores(p.analysed.rec, *decode);
    const vorn::DecodeStatus status =
        vorn::DecodeScan(p.analysed.file, p.analysed.rec, p.analysed.scanDataEnd, *decode, threads);
    if (status != vorn::DecodeStatus::Ok) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(decode->ImagePixels.data());
  }
  state.counters["MB"] = static_cast<double>(p.jpeg.size()) / 1e6;
}

void BM_Libjpeg(benchmark::State& state) {
  const Picture& p = Photo(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const auto picture = vorn::testing::DecodeWithLibjpeg(p.jpeg);
    if (!picture.ok) state.SkipWithError("libjpeg failed");
    benchmark::DoNotOptimize(picture.rgb.data());
  }
}

BENCHMARK(BM_DecodeScan)
    ->Args({420, 0})
    ->Args({444, 0})
    ->Args({420, 1})
    ->Args({444, 1})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(BM_Libjpeg)->Arg(420)->Arg(444)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
