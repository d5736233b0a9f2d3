// Reading a file whole, and what a load changes and what a refused load leaves alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "analysis/analysis_harness.h"
#include "analysis/file_signature.h"
#include "app/file_commands.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"

namespace vorn::testing {
namespace {

namespace fs = std::filesystem;

TEST(ReadWholeFile, ReadsEveryByte) {
  const std::string path = TempDir() + "/a.jpg";
  std::vector<uint8_t> bytes(3 * 1024 * 1024 + 17);  // more than one read's worth
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  ByteStore out;
  EXPECT_TRUE(ReadWholeFile(path, out).ok());
  EXPECT_EQ(out, bytes);
}

TEST(ReadWholeFile, AFifoIsReadLikeAFile) {
  const std::string path = TempDir() + "/pipe.jpg";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::vector<uint8_t> bytes(200 * 1024);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 253);
  std::thread writer([&] { WriteFileBytes(path, bytes); });
  ByteStore out;
  EXPECT_TRUE(ReadWholeFile(path, out).ok());
  writer.join();
  EXPECT_EQ(out, bytes);
}

TEST(ReadWholeFile, RefusalsLeaveTheBufferUntouched) {
  const std::string dir = TempDir();
  const std::string empty = dir + "/empty.jpg";
  ASSERT_TRUE(WriteFileBytes(empty, {}));
  // Larger than 2^31 - 1 bytes: a sparse file, so nothing is written or read.
  const std::string huge = dir + "/huge.jpg";
  ASSERT_TRUE(WriteFileBytes(huge, {0xFF, 0xD8}));
  fs::resize_file(huge, uintmax_t{1} << 31);

  const std::vector<uint8_t> before = {1, 2, 3};
  struct Case {
    std::string path;
    int code;
  } cases[] = {
      {dir + "/missing.jpg", 53},  // file not found
      {dir, kAccessRefused},       // a folder cannot be read as a file
      // Nor can a device: refused before it is opened, not read to the size limit.
      {"/dev/zero", kAccessRefused},
      {"/dev/null", kAccessRefused},
      {empty, kEmptyFile},
      {huge, kFileTooLarge},
  };
  for (const Case& c : cases) {
    ByteStore out = before;
    EXPECT_EQ(ReadWholeFile(c.path, out).code, c.code) << c.path;
    EXPECT_EQ(out, before);
  }
}

TEST(LoadFileImage, ResetsTheStartAndAnalyses) {
  const std::string path = TempDir() + "/m.jpg";
  ASSERT_TRUE(WriteFileBytes(path, BuildMinimal().bytes));
  AnalysisHarness h;
  h.analysis.AnalysisStart = 0x1A;
  h.form.STANA.text = "1A";
  const LoadResult r = LoadFileImage(h.app, path, false);
  EXPECT_TRUE(r.error.ok());
  EXPECT_TRUE(r.completed);
  EXPECT_EQ(h.analysis.AnalysisStart, 0);
  EXPECT_EQ(h.form.STANA.text, "0");
  EXPECT_EQ(h.Lines().front(), "00000000:画像開始が見つかりました");
  EXPECT_EQ(h.decode.LastStatus, std::nullopt);  // not rendered when not asked
}

TEST(LoadFileImage, RendersACompletedAnalysisWhenAsked) {
  const std::string path = TempDir() + "/p.jpg";
  EncodeOptions o;
  o.width = 16;
  o.height = 16;
  ASSERT_TRUE(WriteFileBytes(path, EncodePhotoLike(o)));
  AnalysisHarness h;
  const LoadResult r = LoadFileImage(h.app, path);
  EXPECT_TRUE(r.completed);
  EXPECT_EQ(h.decode.LastStatus, DecodeStatus::Ok);
  EXPECT_EQ(h.decode.ImageWidth, 16);
}

TEST(LoadFileImage, ARefusedFileChangesNothing) {
  const std::string dir = TempDir();
  const std::string good = dir + "/good.jpg";
  const std::string empty = dir + "/empty.jpg";
  ASSERT_TRUE(WriteFileBytes(good, BuildMinimal().bytes));
  ASSERT_TRUE(WriteFileBytes(empty, {}));
  AnalysisHarness h;
  ASSERT_TRUE(LoadFileImage(h.app, good, false).completed);
  h.analysis.AnalysisStart = 2;
  h.form.STANA.text = "2";
  const ByteStore bytes = h.file.bytes;
  const std::vector<std::string> lines = h.Lines();
  for (const std::string& path : {empty, dir + "/none.jpg"}) {
    const LoadResult r = LoadFileImage(h.app, path, false);
    EXPECT_FALSE(r.error.ok());
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(h.file.bytes, bytes);
    EXPECT_EQ(h.Lines(), lines);
    EXPECT_EQ(h.analysis.AnalysisStart, 2);
    EXPECT_EQ(h.form.STANA.text, "2");
  }
}

TEST(LoadFileImage, AFileTooLargeForThePositionsIsRefusedWithAClearMessage) {
  const std::string path = TempDir() + "/huge.jpg";
  ASSERT_TRUE(WriteFileBytes(path, {0xFF, 0xD8}));
  fs::resize_file(path, (uintmax_t{1} << 31) + 5);
  AnalysisHarness h;
  h.file.bytes = {0xFF, 0xD8};
  LoadFromPath(h.app, path);
  EXPECT_EQ(h.Messages(), std::vector<std::string>{"2GB以上のファイルは読み込めません"});
  EXPECT_EQ(h.file.bytes, (std::vector<uint8_t>{0xFF, 0xD8}));

  const CliResult r = RunCli({"analyze", path});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("larger than 2147483647 bytes"), std::string::npos) << r.err;
}

// Only a whole signature names another format: a JPEG, text that merely begins
// like one ("BM", "RIFF") and an MP4 video's ftyp box are analysed as before.
TEST(ForeignFormatOf, NamesEachFormatByItsSignatureOnly) {
  const auto bytes = [](std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); };
  using namespace std::string_view_literals;
  const std::pair<std::string_view, const char*> cases[] = {
      {"\x89PNG\r\n\x1A\n\0\0\0\rIHDR"sv, "PNG"},
      {"GIF87a\x01\0"sv, "GIF"},
      {"BM\x3A\0\0\0\0\0\0\0\x36\0\0\0"sv, "BMP"},
      {"RIFF\x24\0\0\0WEBPVP8 "sv, "WebP"},
      {"\0\0\0\030ftypheic\0\0\0\0mif1heic"sv, "HEIF"},
      {"\0\0\0\034ftypMA1B\0\0\0\0mif1miafavif"sv, "AVIF"},  // brand among the compatible ones
      {"II*\0\x08\0\0\0"sv, "TIFF"},
      {"MM\0*\0\0\0\x08"sv, "TIFF"},
      {"%PDF-1.7\n"sv, "PDF"},
      {"\xFF\xD8\xFF\xE0\0\x10JFIF\0"sv, ""},
      {"BMW owners' club: minutes"sv, ""},
      {"RIFF\x24\0\0\0WAVEfmt "sv, ""},
      {"\0\0\0\030ftypmp42\0\0\0\0isommp42"sv, ""},
      {"\0\0\0\020ftypisom\0\0\0\0heic"sv, ""},  // a brand beyond the box's end
      {"\x89PNG"sv, ""},
  };
  for (const auto& [text, format] : cases) EXPECT_EQ(ForeignFormatOf(bytes(text)), format) << format;
  EXPECT_EQ(ForeignFormatMessage("PNG"), "PNGファイルです。JPEGファイルではありません");
}

}  // namespace
}  // namespace vorn::testing
