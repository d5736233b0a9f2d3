// vorn-cli mcu and trace: the pointer's fields, the trace lines, the verdict and
// the exit codes.
#include <gtest/gtest.h>

#include <regex>

#include "reference/reference_decoder.h"
#include "support/analysed_jpeg.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"
#include "support/temp_file.h"

namespace vorn::testing {
namespace {

std::string Hex(int32_t v, int width = 0) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", width, static_cast<unsigned>(v));
  return text;
}

std::vector<uint8_t> Photo(int width, int height, uint32_t seed = 11) {
  EncodeOptions o;
  o.width = width;
  o.height = height;
  return EncodePhotoLike(o, seed);
}

// McuStarts of the reference decoder (the decoder exactly as described).
McuStartTable ReferenceStarts(const std::vector<uint8_t>& jpeg) {
  const AnalysedJpeg analysed = AnalyseJpeg(jpeg);
  DecodeState decode;
  CreateDecodeStores(analysed.rec, decode);
  reference::DecodeScan(analysed.file, analysed.rec, analysed.scanDataEnd, decode);
  return decode.McuStarts;
}

// The MCU pointer's fields for the MCU whose McuStarts entry is start.
std::vector<std::string> ExpectedFields(int32_t column, int32_t row, const McuStart& start) {
  const int32_t bit = (start.BitIndex + 1) % 8;
  const int32_t byte = start.BytePos + (bit == 0 ? 1 : 0);
  return {"MCUX=" + std::to_string(column),
          "MCUY=" + std::to_string(row),
          "MCUBYTE=" + Hex(byte),
          "MCUBIT=" + std::to_string(bit),
          "DCV[0]=" + std::to_string(start.Dc[0]),
          "DCV[1]=" + std::to_string(start.Dc[1]),
          "DCV[2]=" + std::to_string(start.Dc[2])};
}

TEST(McuCli, PrintsThePointerFieldsOfTheFirstMcu) {
  const std::vector<uint8_t> jpeg = Photo(64, 48);
  const McuStartTable starts = ReferenceStarts(jpeg);
  const CliResult r = RunCli({"mcu", WriteTempFile(jpeg), "0", "0"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(r.OutLines(), ExpectedFields(0, 0, starts.At(0, 0)));
  EXPECT_EQ(r.OutLines()[3], "MCUBIT=0");
}

TEST(McuCli, ScrollsTheViewToMcusBeyondIt) {
  // 640 x 480 in a 417 x 433 view: columns from 27 and rows from 28 need scrolling,
  // and the last ones lie in the window at the scroll maximum.
  const std::vector<uint8_t> jpeg = Photo(640, 480);
  const McuStartTable starts = ReferenceStarts(jpeg);
  const std::string path = WriteTempFile(jpeg);
  for (const auto& [column, row] : {std::pair{39, 29}, std::pair{30, 5}, std::pair{3, 28}}) {
    const CliResult r = RunCli({"mcu", path, std::to_string(column), std::to_string(row)});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.OutLines(), ExpectedFields(column, row, starts.At(column, row))) << column << "," << row;
  }
}

TEST(McuCli, McuOutsideThePictureAndBadArgumentsExitTwo) {
  const std::string path = WriteTempFile(Photo(64, 48));  // 4 x 3 MCUs
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"mcu", path, "4", "0"},
                                             {"mcu", path, "0", "3"},
                                             {"trace", path, "4", "2"},
                                             {"mcu", path, "0"},
                                             {"mcu", path, "x", "0"},
                                             {"mcu", path, "-1", "0"},
                                             {"trace", TempDir() + "/missing.jpg", "0", "0"}}) {
    const CliResult r = RunCli(args);
    EXPECT_EQ(r.exitCode, 2) << args[0] << " " << args[2];
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(r.err.empty());
  }
}

TEST(McuCli, StartOptionAnalysesAgainFromTheMarker) {
  const std::vector<uint8_t> jpeg = Photo(64, 48);
  const std::string path = WriteTempFile(jpeg);
  const CliResult r = RunCli({"mcu", "--start", "0", path, "1", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.ErrLines().front(), "Vorn: 解析開始位置を変更しますか");
  EXPECT_EQ(r.OutLines(), ExpectedFields(1, 1, ReferenceStarts(jpeg).At(1, 1)));

  const CliResult bad = RunCli({"mcu", "--start", "1", path, "1", "1"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_EQ(bad.ErrLines().back(), "Vorn: マーカー（FFデータ）位置を指定してください");
}

TEST(McuCli, StoppedAnalysisHasNoPictureToPointAt) {
  EncodeOptions o;
  o.progressive = true;
  const CliResult r = RunCli({"mcu", WriteTempFile(EncodePhotoLike(o)), "0", "0"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.out.empty());
}

// One line per coefficient or end of block, as the tracer lays them out.
const std::regex kTraceLine(
    "[0-9A-F]{8}-[0-7]:[01]{1,16} *\\([0-9A-F],[0-9A-F]\\)"
    "( D:[01]* * V:[0-9A-F]{8} P:[0-9]+\\([0-5]\\)|←EOB {20}P:[0-9]+\\([0-5]\\))");

TEST(TraceCli, CleanMcuListsItsCodeWordsAndExitsZero) {
  const std::vector<uint8_t> jpeg = Photo(64, 48);
  const McuStartTable starts = ReferenceStarts(jpeg);
  const McuStart& start = starts.At(2, 1);
  const CliResult r = RunCli({"trace", WriteTempFile(jpeg), "2", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.ErrLines(), std::vector<std::string>{"Vorn: 正常！"});
  const std::vector<std::string> lines = r.OutLines();
  ASSERT_FALSE(lines.empty());
  const int32_t bit = (start.BitIndex + 1) % 8;
  EXPECT_EQ(lines[0].substr(0, 11),
            Hex(start.BytePos + (bit == 0 ? 1 : 0), 8) + "-" + std::to_string(bit) + ":");
  int endsOfBlock = 0;
  for (const std::string& line : lines) {
    EXPECT_TRUE(std::regex_match(line, kTraceLine)) << line;
    endsOfBlock += line.find("←EOB") != std::string::npos;
  }
  EXPECT_LE(endsOfBlock, 6);  // at most one per block of the 4:2:0 MCU
  // Each block of a 4:2:0 MCU appears, the last being Cr, block 5.
  EXPECT_NE(lines.back().find("(5)"), std::string::npos);
}

TEST(TraceCli, McuWhoseDataIsCutShortIsAbnormalAndExitsOne) {
  const std::vector<uint8_t> jpeg = Photo(32, 16);
  const McuStartTable starts = ReferenceStarts(jpeg);
  const McuStart& last = starts.At(1, 0);
  std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + last.BytePos + 3);
  cut.push_back(0xFF);
  cut.push_back(0xD9);
  const CliResult r = RunCli({"trace", WriteTempFile(cut), "1", "0"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.ErrLines().back(), "Vorn: 異常！");
  EXPECT_FALSE(r.out.empty());
}

}  // namespace
}  // namespace vorn::testing
