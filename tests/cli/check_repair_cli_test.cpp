// vorn-cli check and repair, run as a user runs them: their lines, JSON and exit
// codes, and what repair writes (only a repaired file, and exactly the original).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/jpeg_builder.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"
#include "support/temp_file.h"

namespace vorn {
namespace {

using testing::ReadFileBytes;
using testing::RunCli;
using testing::TempDir;
using testing::WriteTempFile;

std::vector<uint8_t> Photo() {
  testing::EncodeOptions o;
  o.width = 96, o.height = 64, o.h0 = 2, o.v0 = 2, o.quality = 85;
  return testing::EncodePhotoLike(o, 7);
}

// The first byte of the scan data: after the SOS segment.
size_t ScanStart(const std::vector<uint8_t>& bytes) {
  for (size_t i = 0; i + 3 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) return i + 2 + bytes[i + 2] * 256u + bytes[i + 3];
  return 0;
}

// The photo with a stuffed 00 lost: the first FF 00 of the data from 276 bytes in.
struct LostStuffing {
  std::vector<uint8_t> original = Photo();
  std::vector<uint8_t> damaged;
  size_t ff = 0;  // the data FF, now followed by the next data byte

  LostStuffing() {
    for (ff = ScanStart(original) + 275; ff + 1 < original.size(); ++ff)
      if (original[ff] == 0xFF && original[ff + 1] == 0x00) break;
    damaged = original;
    damaged.erase(damaged.begin() + static_cast<ptrdiff_t>(ff) + 1);
  }
  std::string Hex8(size_t v) const {
    char text[16];
    std::snprintf(text, sizeof text, "%08zX", v);
    return text;
  }
};

// Its analysis stops: no Huffman table.
std::vector<uint8_t> Stopping() {
  testing::JpegBuilder b;
  b.Soi().App0Jfif().Dqt(0, testing::FlatQuant(8)).Sof0(8, 8, testing::Grey()).Sos(testing::GreyScan());
  return b.Raw({0x00}).Eoi().Bytes();
}

TEST(CheckCli, OneLineAFileInArgumentOrder) {
  const LostStuffing d;
  const std::string clean = WriteTempFile(d.original, "clean.jpg");
  const std::string damaged = WriteTempFile(d.damaged, "damaged.jpg");
  const std::string stopped = WriteTempFile(Stopping(), "stopped.jpg");
  const std::string missing = TempDir() + "/missing.jpg";

  const auto r = RunCli({"check", clean, damaged, stopped});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.err, "");  // no terminal: no progress line
  const auto lines = r.OutLines();
  ASSERT_EQ(lines.size(), 3u) << r.out;
  EXPECT_EQ(lines[0], clean + ": ok");
  const std::regex damagedLine(std::regex_replace(damaged, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)") +
                               R"(: damaged MCU \((\d+),(\d+)\) at ([0-9A-F]{8})-([0-7]): (.*))");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[1], m, damagedLine)) << lines[1];
  EXPECT_LE(std::stoul(m[3].str(), nullptr, 16), d.ff);  // the suspect MCU begins before the damage
  char code[3];
  std::snprintf(code, sizeof code, "%02X", d.original[d.ff + 2]);
  EXPECT_EQ(m[5].str(), "foreign marker FF" + std::string(code) + " at " + d.Hex8(d.ff) + " inside the data");
  EXPECT_EQ(lines[2], stopped + ": stopped: ハフマンテーブル定義がありません（中止）");

  EXPECT_EQ(RunCli({"check", clean}).exitCode, 0);
  const auto withMissing = RunCli({"check", missing, clean});
  EXPECT_EQ(withMissing.exitCode, 2);
  EXPECT_EQ(withMissing.OutLines(),
            (std::vector<std::string>{missing + ": unreadable: error 53", clean + ": ok"}));
}

TEST(CheckCli, JsonObjectsCarryTheSameFindings) {
  const LostStuffing d;
  const std::string clean = WriteTempFile(d.original, "clean.jpg");
  const std::string damaged = WriteTempFile(d.damaged, "damaged.jpg");
  const std::string stopped = WriteTempFile(Stopping(), "stopped.jpg");
  // 96 x 64 at 4:2:0: 6 x 4 MCUs.
  const auto r = RunCli({"check", "--json", clean, damaged, stopped});
  EXPECT_EQ(r.exitCode, 1);
  const auto lines = r.OutLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "{\"file\":\"" + clean +
                          "\",\"status\":\"ok\",\"mcu\":null,\"position\":null,\"reason\":null,"
                          "\"mcus_decoded\":24,\"mcus_expected\":24}");
  EXPECT_EQ(lines[1].rfind("{\"file\":\"" + damaged + "\",\"status\":\"damaged\",\"mcu\":[", 0), 0u)
      << lines[1];
  EXPECT_NE(lines[1].find("\"reason\":\"foreign marker FF"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("\"mcus_expected\":24}"), std::string::npos) << lines[1];
  EXPECT_EQ(lines[2], "{\"file\":\"" + stopped +
                          "\",\"status\":\"stopped\",\"mcu\":null,\"position\":null,"
                          "\"reason\":\"ハフマンテーブル定義がありません（中止）\","
                          "\"mcus_decoded\":null,\"mcus_expected\":null}");
}

TEST(RepairCli, WritesTheRepairedFileAndSaysWhatItChanged) {
  const LostStuffing d;
  const std::string in = WriteTempFile(d.damaged);
  const std::string out = TempDir() + "/out.jpg";
  const auto r = RunCli({"repair", in, "-o", out});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.OutLines(), (std::vector<std::string>{d.Hex8(d.ff + 1) + ":+00", "result: repaired"}));
  EXPECT_EQ(ReadFileBytes(out), d.original);

  const std::string jsonOut = TempDir() + "/json.JPG";
  const auto j = RunCli({"repair", "--json", in, "-o", jsonOut});
  EXPECT_EQ(j.exitCode, 0);
  EXPECT_EQ(j.out, "{\"file\":\"" + in + "\",\"result\":\"repaired\",\"edits\":[\"" + d.Hex8(d.ff + 1) +
                       ":+00\"],\"output\":\"" + jsonOut + "\"}\n");
  EXPECT_EQ(ReadFileBytes(jsonOut), d.original);
}

TEST(RepairCli, WritesNothingUnlessRepaired) {
  const LostStuffing d;
  const std::string dir = TempDir();
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string result;
  };
  const std::string clean = WriteTempFile(d.original, "clean.jpg");
  const std::string damaged = WriteTempFile(d.damaged, "damaged.jpg");
  const std::string stopped = WriteTempFile(Stopping(), "stopped.jpg");
  const std::vector<Case> cases = {
      {{"repair", clean, "-o", dir + "/a.jpg"}, 0, "result: clean"},
      {{"repair", "--max-edits", "0", damaged, "-o", dir + "/b.jpg"}, 1, "result: not repaired"},
      {{"repair", stopped, "-o", dir + "/c.jpg"}, 1, "result: not repaired"},
  };
  for (const Case& c : cases) {
    const auto r = RunCli(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << r.err;
    EXPECT_EQ(r.OutLines(), std::vector<std::string>{c.result}) << c.args[1];
  }
  for (const char* name : {"/a.jpg", "/b.jpg", "/c.jpg"})
    EXPECT_FALSE(std::filesystem::exists(dir + name)) << name;
}

TEST(CheckRepairCli, UsageErrorsExitWithTwo) {
  const std::string in = WriteTempFile(Photo());
  const std::vector<std::vector<std::string>> wrong = {
      {"check"},
      {"check", "--fast", in},
      {"repair", in},
      {"repair", in, "-o"},
      {"repair", "--max-edits", "x", in, "-o", TempDir() + "/o.jpg"},
      {"repair", in, in, "-o", TempDir() + "/o.jpg"},
      {"repair", TempDir() + "/missing.jpg", "-o", TempDir() + "/o.jpg"},
  };
  for (const auto& args : wrong) {
    const auto r = RunCli(args);
    EXPECT_EQ(r.exitCode, 2) << args.size() << " " << args.back();
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(r.err.empty());
  }
}

}  // namespace
}  // namespace vorn
