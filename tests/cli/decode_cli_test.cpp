// vorn-cli decode: the pictures it writes, what it prints and its exit codes.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <filesystem>

#include "support/libjpeg_peer.h"
#include "support/run_cli.h"
#include "support/temp_file.h"
#include "support/window_session.h"

namespace vorn::testing {
namespace {

constexpr int kWidth = 37;  // odd sizes: edge MCUs are cut in both directions
constexpr int kHeight = 29;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Position of the first byte of entropy-coded data: after the SOS segment.
size_t ScanStart(const std::vector<uint8_t>& jpeg) {
  size_t p = 2;
  while (p + 3 < jpeg.size()) {
    const size_t length = jpeg[p + 2] << 8 | jpeg[p + 3];
    if (jpeg[p + 1] == 0xDA) return p + 2 + length;
    p += 2 + length;
  }
  return jpeg.size();
}

EncodeOptions Photo420() {
  EncodeOptions o;
  o.width = kWidth;
  o.height = kHeight;
  o.quality = 90;
  return o;
}

// The pixel block as the window's own load and render leave it.
std::vector<uint32_t> ImagePixelsOf(const std::string& path) {
  WindowSession window;
  window.LoadFile(path);
  return {window.decode.ImagePixels.begin(), window.decode.ImagePixels.end()};
}

struct PngPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows top-down
};
PngPicture ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  PngPicture out;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  image.format = PNG_FORMAT_RGB;
  out.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) return PngPicture{};
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  return out;
}

TEST(DecodeCli, BmpIsA32BitBottomUpBitmapOfImagePixels) {
  const std::string in = WriteTempFile(EncodePhotoLike(Photo420()));
  const std::string out = TempDir() + "/out.bmp";
  const CliResult r = RunCli({"decode", in, "-o", out});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "status 0\n");
  EXPECT_EQ(r.err, "");
  const std::vector<uint8_t> bmp = ReadFileBytes(out);
  // File header (size 54 + 37 x 29 x 4 = 4346, pixels at 54), then BITMAPINFOHEADER:
  // 40 bytes, 37 x 29 (positive height: bottom-up), 1 plane, 32 bits, BI_RGB,
  // image size 4292, zero resolutions and colour counts.
  const std::vector<uint8_t> header = {
      'B',  'M',  0xFA, 0x10, 0,      0, 0, 0, 0,       0, 54, 0, 0, 0,                     //
      40,   0,    0,    0,    kWidth, 0, 0, 0, kHeight, 0, 0,  0, 1, 0, 32, 0, 0, 0, 0, 0,  //
      0xC4, 0x10, 0,    0,    0,      0, 0, 0, 0,       0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0};
  ASSERT_EQ(bmp.size(), 4346u);
  EXPECT_EQ(std::vector<uint8_t>(bmp.begin(), bmp.begin() + 54), header);
  const std::vector<uint32_t> pixels = ImagePixelsOf(in);
  ASSERT_EQ(pixels.size(), static_cast<size_t>(kWidth) * kHeight);
  for (size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(Le32(bmp, 54 + 4 * i), pixels[i]) << i;
}

TEST(DecodeCli, PngHoldsTheSamePixelsAndMatchesLibjpeg) {
  const std::vector<uint8_t> jpeg = EncodePhotoLike(Photo420());
  const std::string in = WriteTempFile(jpeg);
  const std::string dir = TempDir();
  ASSERT_EQ(RunCli({"decode", in, "-o", dir + "/out.png"}).exitCode, 0);
  ASSERT_EQ(RunCli({"decode", in, "-o", dir + "/out.BMP"}).exitCode, 0);
  const PngPicture png = ReadPng(dir + "/out.png");
  ASSERT_EQ(png.width, kWidth);
  ASSERT_EQ(png.height, kHeight);
  const std::vector<uint8_t> bmp = ReadFileBytes(dir + "/out.BMP");
  ASSERT_EQ(bmp.size(), 54u + kWidth * kHeight * 4);
  const DecodedPicture peer = DecodeWithLibjpeg(jpeg);
  ASSERT_TRUE(peer.ok);

  // The sum S div 4000000 truncates toward zero where libjpeg rounds: each sample
  // lies up to 1 nearer 128, and a chroma step of 1 moves blue by 1.772, so a
  // colour channel can differ by 3. Measured on photo-like pictures: at most 3,
  // PSNR above 46 dB; a real fault (a shifted block, a wrong table) costs far more.
  int maxDiff = 0;
  double squares = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const size_t bmpAt = 54 + 4 * (static_cast<size_t>(kHeight - 1 - y) * kWidth + x);
      for (int c = 0; c < 3; ++c) {
        const size_t at = 3 * (static_cast<size_t>(y) * kWidth + x) + c;
        ASSERT_EQ(png.rgb[at], bmp[bmpAt + 2 - c]) << x << "," << y;  // BMP bytes are B, G, R
        const int diff = std::abs(png.rgb[at] - peer.rgb[at]);
        maxDiff = std::max(maxDiff, diff);
        squares += diff * diff;
      }
    }
  }
  EXPECT_LE(maxDiff, 3);
  const double psnr = 10 * std::log10(255.0 * 255.0 / (squares / (kWidth * kHeight * 3)));
  EXPECT_GT(psnr, 45.0);
}

TEST(DecodeCli, ForeignMarkerInTheScanWritesThePartialPictureAndExitsOne) {
  EncodeOptions o = Photo420();
  o.restartInterval = 1;  // every MCU ends on a byte boundary before its RST marker
  std::vector<uint8_t> jpeg = EncodePhotoLike(o);
  // The restart marker after the first MCU row (3 MCUs) becomes an EOI: the analysis
  // warns of two EOI markers and ends the data at the last, the decoder meets this one.
  int restarts = 0;
  for (size_t i = ScanStart(jpeg); i + 1 < jpeg.size() && restarts < 3; ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xD0 && jpeg[i + 1] <= 0xD7 && ++restarts == 3) jpeg[i + 1] = 0xD9;
  ASSERT_EQ(restarts, 3);
  const std::string in = WriteTempFile(jpeg);
  const std::string out = TempDir() + "/out.bmp";
  const CliResult r = RunCli({"decode", in, "-o", out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "status 1\n");
  const std::vector<std::string> err = r.ErrLines();
  ASSERT_FALSE(err.empty());
  EXPECT_EQ(err.back(), "Vorn: スキャンデータが不正です(1)");
  const std::vector<uint8_t> bmp = ReadFileBytes(out);
  ASSERT_EQ(bmp.size(), 54u + kWidth * kHeight * 4);
  // The top line was decoded; the bottom line (the block's first row) was not.
  bool topDecoded = false;
  for (int x = 0; x < kWidth; ++x) {
    EXPECT_EQ(Le32(bmp, 54 + 4 * x), 0u);
    topDecoded |= Le32(bmp, 54 + 4 * (static_cast<size_t>(kHeight - 1) * kWidth + x)) != 0;
  }
  EXPECT_TRUE(topDecoded);
}

// A file system that takes only the first 200 bytes of a file: the picture cannot be
// written, the file already there keeps its bytes, no temporary file is left and the
// status line says that nothing was written.
TEST(DecodeCli, AFullFileSystemKeepsTheOldFileAndTheStatusLineSaysItIsNotWritten) {
  const std::string in = WriteTempFile(EncodePhotoLike(Photo420()));
  for (const std::string name : {"out.bmp", "out.png"}) {
    const std::string dir = TempDir();
    const std::string out = dir + "/" + name;
    const std::vector<uint8_t> before = {'o', 'l', 'd'};
    WriteFileBytes(out, before);
    const CliResult r = RunCli({"decode", in, "-o", out}, 200);
    EXPECT_EQ(r.exitCode, 3) << name;
    EXPECT_EQ(r.out, "status 0 (not written: File too large)\n") << name;
    EXPECT_EQ(r.err, "vorn-cli: cannot write " + out + " (File too large)\n") << name;
    EXPECT_EQ(ReadFileBytes(out), before) << name;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << name;
  }
}

TEST(DecodeCli, StoppedAnalysisWritesNothingAndExitsOne) {
  EncodeOptions o = Photo420();
  o.progressive = true;  // SOF2 only: the analysis stops
  const std::string in = WriteTempFile(EncodePhotoLike(o));
  const std::string out = TempDir() + "/out.png";
  const CliResult r = RunCli({"decode", in, "-o", out});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(DecodeCli, UsageErrorsAndUnreadableFilesExitTwoAndWriteNothing) {
  const std::string in = WriteTempFile(EncodePhotoLike(Photo420()));
  const std::string dir = TempDir();
  const std::vector<std::vector<std::string>> bad = {
      {"decode", in},                                        // no output
      {"decode", in, "-o"},                                  // -o without a name
      {"decode", "-o", dir + "/a.png"},                      // no input
      {"decode", in, in, "-o", dir + "/a.png"},              // two inputs
      {"decode", in, "-o", dir + "/a.jpg"},                  // neither .bmp nor .png
      {"decode", in, "--fields", "-o", dir + "/a.png"},      // not an option of decode
      {"decode", "--start", "G", in, "-o", dir + "/a.png"},  // not hexadecimal
      {"decode", dir + "/missing.jpg", "-o", dir + "/a.png"},
  };
  for (const auto& args : bad) {
    const CliResult r = RunCli(args);
    EXPECT_EQ(r.exitCode, 2) << args.size() << " " << args.back();
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir));
}

}  // namespace
}  // namespace vorn::testing
