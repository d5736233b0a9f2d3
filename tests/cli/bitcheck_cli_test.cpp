// vorn-cli bitcheck and fix, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/libjpeg_peer.h"
#include "support/run_cli.h"
#include "support/window_session.h"

namespace vorn {
namespace {

using testing::ReadFileBytes;
using testing::RunCli;
using testing::TempDir;
using testing::WriteFileBytes;

const std::string kSamples = std::string(VORN_SOURCE_DIR) + "/samples/";
const std::string kDamaged = kSamples + "damaged.jpg";
const std::string kOriginal = kSamples + "sample.jpg";

// The picture our own decoder makes of a file (as a load draws it).
std::vector<uint32_t> DecodedPixels(const std::string& path) {
  testing::WindowSession window;
  EXPECT_TRUE(window.LoadFile(path)) << path;
  return {window.decode.ImagePixels.begin(), window.decode.ImagePixels.end()};
}

TEST(BitcheckCli, RepairingTheDamagedSampleWithTheFirstCandidateGivesTheOriginal) {
  // check points at the MCU whose data the cleared bit broke, where the search finds it.
  const auto located = RunCli({"check", kDamaged});
  EXPECT_EQ(located.out.rfind(kDamaged + ": damaged MCU (3,6) at ", 0), 0u) << located.out;
  const auto search = RunCli({"bitcheck", kDamaged, "3", "6"});
  ASSERT_EQ(search.exitCode, 0) << search.err;
  const auto lines = search.OutLines();
  ASSERT_FALSE(lines.empty());
  ASSERT_EQ(lines[0].rfind("00000E62-7:7E→7F EOMCU:", 0), 0u) << lines[0];

  // The candidate line begins with POS-BIT, just as fix takes it.
  const std::string repaired = TempDir() + "/repaired.jpg";
  const auto fix = RunCli({"fix", kDamaged, lines[0].substr(0, 10), "-o", repaired});
  ASSERT_EQ(fix.exitCode, 0) << fix.err;
  EXPECT_EQ(fix.err, "");
  EXPECT_EQ(ReadFileBytes(repaired), ReadFileBytes(kOriginal));
  const std::vector<uint32_t> pixels = DecodedPixels(repaired);
  EXPECT_FALSE(pixels.empty());
  EXPECT_EQ(pixels, DecodedPixels(kOriginal));
  EXPECT_NE(DecodedPixels(kDamaged), pixels);
}

TEST(BitcheckCli, ListsNothingWhereThreeMcusCannotFollow) {
  // The sample has 20 x 15 MCUs; (19, 14) is the last.
  const auto r = RunCli({"bitcheck", kOriginal, "19", "14"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST(BitcheckCli, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> wrong = {
      {"bitcheck"},
      {"bitcheck", kDamaged, "3"},
      {"bitcheck", kDamaged, "3", "x"},
      {"bitcheck", kDamaged, "20", "0"},  // column beyond the 20 MCU columns
      {"bitcheck", kDamaged, "0", "15"},  // row beyond the 15 MCU rows
      {"bitcheck", TempDir() + "/missing.jpg", "0", "0"},
      {"bitcheck", "--start", "5", kDamaged, "0", "0"},  // not an FF byte
  };
  for (const auto& args : wrong) {
    const auto r = RunCli(args);
    EXPECT_EQ(r.exitCode, 2) << args.size() << " " << args.back();
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(r.err.empty());
  }
}

TEST(FixCli, SetsOneBitOfAnyFileWithoutAnalysingIt) {
  const std::string dir = TempDir();
  WriteFileBytes(dir + "/in.bin", {0x00, 0x10, 0x80, 0xFF});
  const auto r = RunCli({"fix", dir + "/in.bin", "2-7", "-o", dir + "/out.JPG"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFileBytes(dir + "/out.JPG"), (std::vector<uint8_t>{0x00, 0x10, 0x81, 0xFF}));
  EXPECT_EQ(ReadFileBytes(dir + "/in.bin"), (std::vector<uint8_t>{0x00, 0x10, 0x80, 0xFF}));

  // Bit 0 is the most significant; a bit already set leaves the byte as it is; -o
  // may come first; positions take up to eight digits with leading zeros.
  EXPECT_EQ(RunCli({"fix", "-o", dir + "/a.jpg", dir + "/in.bin", "00000000-0"}).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(dir + "/a.jpg"), (std::vector<uint8_t>{0x80, 0x10, 0x80, 0xFF}));
  EXPECT_EQ(RunCli({"fix", dir + "/in.bin", "3-4", "-o", dir + "/b.jpg"}).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(dir + "/b.jpg"), (std::vector<uint8_t>{0x00, 0x10, 0x80, 0xFF}));
}

TEST(FixCli, ANameWithoutTheJpgEndingIsRefusedAndNothingWritten) {
  const std::string dir = TempDir();
  WriteFileBytes(dir + "/in.jpg", {0x01, 0x02});
  for (const std::string name : {"out.png", "out.jpeg", "jpg", "out.jpg.bak"}) {
    const auto r = RunCli({"fix", dir + "/in.jpg", "0-0", "-o", dir + "/" + name});
    EXPECT_EQ(r.exitCode, 2) << name;
    EXPECT_EQ(r.err, "Vorn: 正しいファイル名を指定して下さい\n") << name;
    EXPECT_FALSE(std::filesystem::exists(dir + "/" + name)) << name;
  }
}

TEST(FixCli, AnOutputThatCannotBeWrittenIsReportedAsTheSaveCommandReportsItBeforeTheInputIsRead) {
  const std::string dir = TempDir();
  const std::string out = dir + "/no/such/folder/out.jpg";
  const auto r = RunCli({"fix", dir + "/missing.jpg", "0-0", "-o", out});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.err, "Vorn: エラーが発生しました(76) フォルダがありません\nvorn-cli: cannot write " + out +
                       " (No such file or directory)\n");
}

TEST(FixCli, UsageErrorsExitWithTwoAndWriteNothing) {
  const std::string dir = TempDir();
  WriteFileBytes(dir + "/in.jpg", {0x01, 0x02});
  const std::string out = dir + "/out.jpg";
  const std::vector<std::vector<std::string>> wrong = {
      {"fix", dir + "/in.jpg", "0-0"},                     // no -o
      {"fix", dir + "/in.jpg", "-o", out},                 // no POS-BIT
      {"fix", dir + "/in.jpg", "0-8", "-o", out},          // bit beyond 7
      {"fix", dir + "/in.jpg", "0", "-o", out},            // no bit
      {"fix", dir + "/in.jpg", "G-1", "-o", out},          // not hexadecimal
      {"fix", dir + "/in.jpg", "0-1x", "-o", out},         // trailing text
      {"fix", dir + "/in.jpg", "123456789-1", "-o", out},  // nine digits
      {"fix", dir + "/in.jpg", "2-0", "-o", out},          // beyond the last byte
      {"fix", dir + "/missing.jpg", "0-0", "-o", out},     // unreadable
      {"fix", dir + "/in.jpg", "0-0", "-o"},               // -o without a name
  };
  for (const auto& args : wrong) {
    const auto r = RunCli(args);
    EXPECT_EQ(r.exitCode, 2) << args[2];
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(FixCli, AnEmptyInputIsRefusedAsTheOtherCommandsRefuseIt) {
  const std::string dir = TempDir();
  const std::string empty = dir + "/empty.jpg";
  WriteFileBytes(empty, {});
  const std::string said = "vorn-cli: cannot read " + empty + " (the file is empty)\n";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"fix", empty, "0-0", "-o", dir + "/out.jpg"}, {"analyze", empty}}) {
    const auto r = RunCli(args);
    EXPECT_EQ(r.exitCode, 2) << args[0];
    EXPECT_EQ(r.err, said) << args[0];
  }
  EXPECT_FALSE(std::filesystem::exists(dir + "/out.jpg"));
}

}  // namespace
}  // namespace vorn
