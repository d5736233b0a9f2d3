// Opening a real 12 MP photo as a user waits for it, beside libjpeg-turbo on the same
// file in the same run. Every iteration reads the file and pays for all it needs:
//   OpenPhoto      a fresh window state: file read, analysis, decode and the view's
//                  picture, every store allocated and touched for the first time
//                  (as a vorn-cli process or the window's first load does);
//   ReopenPhoto    the same loads into one window state, whose stores of the right
//                  size are kept from the last load (a second file of the same size);
//   LibjpegPhoto   the file read, then decoded to RGB (integer slow IDCT, no fancy
//                  upsampling) into a freshly allocated, unfilled picture, as a
//                  program that keeps the whole picture does;
//   LibjpegPhotoRows the same into one band of 16 rows used over and over, as djpeg
//                  does when it writes the picture out row by row.
// The photos are made by scripts/make-photos (build/photos/photo-12mp-420.jpg and
// photo-12mp-444.jpg, cjpeg -quality 90); without them these benchmarks are skipped.
// VORN_PHOTOS names another folder that holds them.
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/window_session.h"

namespace {

#ifndef VORN_SOURCE_DIR
#define VORN_SOURCE_DIR "."
#endif

std::string PhotoPath(int layout) {
  const char* folder = std::getenv("VORN_PHOTOS");
  const std::string dir = folder ? folder : std::string(VORN_SOURCE_DIR) + "/build/photos";
  return dir + "/photo-12mp-" + std::to_string(layout) + ".jpg";
}

// The photo's path, or "" after marking the benchmark skipped.
std::string PhotoOrSkip(benchmark::State& state) {
  const std::string path = PhotoPath(static_cast<int>(state.range(0)));
  if (std::filesystem::is_regular_file(path)) return path;
  state.SkipWithError((path + " is missing: make it with scripts/make-photos").c_str());
  return "";
}

void Report(benchmark::State& state, const std::string& path) {
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

// The file in one read, as both programs read it.
std::vector<uint8_t> ReadPhoto(const std::string& path) {
  std::vector<uint8_t> bytes(std::filesystem::file_size(path));
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  return bytes;
}

struct JpegError {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

// Decodes into picture (allocated here, rows top-down, RGB), or into a band of 16
// rows when band is set; false on an error.
bool DecodeWithLibjpeg(const std::vector<uint8_t>& jpeg, std::unique_ptr<uint8_t[]>& picture, bool band) {
  jpeg_decompress_struct cinfo{};
  JpegError err{};
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnJpegError;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.do_fancy_upsampling = FALSE;
  jpeg_start_decompress(&cinfo);
  const size_t stride = static_cast<size_t>(cinfo.output_width) * 3;
  picture.reset(new uint8_t[stride * (band ? 16 : cinfo.output_height)]);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[16];
    for (JDIMENSION i = 0; i < 16; ++i)
      rows[i] =
          picture.get() + stride * (band ? i : std::min(cinfo.output_scanline + i, cinfo.output_height - 1));
    jpeg_read_scanlines(&cinfo, rows, 16);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

void BM_OpenPhoto(benchmark::State& state) {
  const std::string path = PhotoOrSkip(state);
  if (path.empty()) return;
  for (auto _ : state) {
    auto session = std::make_unique<vorn::testing::WindowSession>();
    if (!session->LoadFile(path) || session->decode.ImagePixels.empty()) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(session->decode.ImagePixels.data());
    state.PauseTiming();  // the release of the stores is not what a user waits for
    session.reset();
    state.ResumeTiming();
  }
  Report(state, path);
}

void BM_ReopenPhoto(benchmark::State& state) {
  const std::string path = PhotoOrSkip(state);
  if (path.empty()) return;
  vorn::testing::WindowSession session;
  session.LoadFile(path);
  for (auto _ : state) {
    if (!session.LoadFile(path)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(session.decode.ImagePixels.data());
  }
  Report(state, path);
}

void LibjpegPhoto(benchmark::State& state, bool band) {
  const std::string path = PhotoOrSkip(state);
  if (path.empty()) return;
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> picture;
    if (!DecodeWithLibjpeg(ReadPhoto(path), picture, band)) state.SkipWithError("libjpeg failed");
    benchmark::DoNotOptimize(picture.get());
    state.PauseTiming();
    picture.reset();
    state.ResumeTiming();
  }
  Report(state, path);
}

void BM_LibjpegPhoto(benchmark::State& state) {
  LibjpegPhoto(state, false);
}

void BM_LibjpegPhotoRows(benchmark::State& state) {
  LibjpegPhoto(state, true);
}

BENCHMARK(BM_OpenPhoto)->Arg(420)->Arg(444)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ReopenPhoto)->Arg(420)->Arg(444)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_LibjpegPhoto)->Arg(420)->Arg(444)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_LibjpegPhotoRows)
    ->Arg(420)
    ->Arg(444)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

}  // namespace
