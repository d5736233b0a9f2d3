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

// The first byte of the scan data: after the SOS segment, segments followed by their
// lengths from the SOI on (so that a thumbnail inside APP1 is stepped over).
size_t ScanStart(const std::vector<uint8_t>& bytes) {
  size_t p = 2;
  while (p + 3 < bytes.size() && bytes[p] == 0xFF) {
    const size_t next = p + 2 + bytes[p + 2] * 256u + bytes[p + 3];
    if (bytes[p + 1] == 0xDA) return next;
    p = next;
  }
  return 0;
}

// A camera file's layout around photo: SOI, the EXIF APP1 of the thumbnail fixture
// (a JPEG thumbnail inside it), then the photo without its SOI and APP0.
std::vector<uint8_t> CameraFile(const std::vector<uint8_t>& photo) {
  const std::vector<uint8_t> exif =
      ReadFileBytes(std::string(VORN_SOURCE_DIR) + "/tests/fixtures/exif_thumbnail.jpg");
  const size_t app1End = 4 + exif[4] * 256u + exif[5];
  const size_t app0End = 4 + photo[4] * 256u + photo[5];
  std::vector<uint8_t> out(exif.begin(), exif.begin() + static_cast<ptrdiff_t>(app1End));
  out.insert(out.end(), photo.begin() + static_cast<ptrdiff_t>(app0End), photo.end());
  return out;
}

// The photo with a stuffed 00 lost: the first FF 00 of the data from 276 bytes in.
struct LostStuffing {
  std::vector<uint8_t> original;
  std::vector<uint8_t> damaged;
  size_t ff = 0;  // the data FF, now followed by the next data byte

  explicit LostStuffing(std::vector<uint8_t> photo = Photo()) : original(std::move(photo)) {
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
  // Any number of workers prints the same lines in the same order.
  for (const char* jobs : {"1", "2", "5"})
    EXPECT_EQ(RunCli({"check", "--jobs", jobs, clean, damaged, stopped, clean}).out, r.out + lines[0] + "\n")
        << jobs;
  // Damage that breaks the syntax gets the same line from the check of the syntax alone.
  EXPECT_EQ(RunCli({"check", "--syntax", clean, damaged, stopped}).out, r.out);

  EXPECT_EQ(RunCli({"check", clean}).exitCode, 0);
  const auto withMissing = RunCli({"check", missing, clean});
  EXPECT_EQ(withMissing.exitCode, 2);
  EXPECT_EQ(withMissing.OutLines(),
            (std::vector<std::string>{missing + ": unreadable: No such file or directory", clean + ": ok"}));
  const std::string pdf = WriteTempFile({'%', 'P', 'D', 'F', '-', '1', '.', '4'}, "pdf.jpg");
  EXPECT_EQ(RunCli({"check", pdf}).out, pdf + ": stopped: PDFファイルです。JPEGファイルではありません\n");
}

TEST(CheckCli, JsonObjectsCarryTheSameFindings) {
  const LostStuffing d;
  const std::string clean = WriteTempFile(d.original, "clean.jpg");
  const std::string damaged = WriteTempFile(d.damaged, "damaged.jpg");
  // Bytes that are not UTF-8 in a name are escaped one by one; valid ones are kept.
  const std::string stopped = WriteTempFile(Stopping(), "st\xFF\xC3\xA9\xE3\x81pped.jpg");
  // 96 x 64 at 4:2:0: 6 x 4 MCUs.
  const auto r = RunCli({"check", "--json", clean, damaged, stopped});
  EXPECT_EQ(r.exitCode, 1);
  const auto lines = r.OutLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "{\"file\":\"" + clean +
                          "\",\"status\":\"ok\",\"mcu\":null,\"position\":null,\"reason\":null,"
                          "\"mcus_decoded\":24,\"mcus_expected\":24,\"trailing_bytes\":0}");
  EXPECT_EQ(lines[1].rfind("{\"file\":\"" + damaged + "\",\"status\":\"damaged\",\"mcu\":[", 0), 0u)
      << lines[1];
  EXPECT_NE(lines[1].find("\"reason\":\"foreign marker FF"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("\"mcus_expected\":24,\"trailing_bytes\":0}"), std::string::npos) << lines[1];
  const std::string escaped =
      stopped.substr(0, stopped.size() - 15) + "st\\u00ff\xC3\xA9\\u00e3\\u0081pped.jpg";
  EXPECT_EQ(lines[2], "{\"file\":\"" + escaped +
                          "\",\"status\":\"stopped\",\"mcu\":null,\"position\":null,"
                          "\"reason\":\"ハフマンテーブル定義がありません（中止）\","
                          "\"mcus_decoded\":null,\"mcus_expected\":null,\"trailing_bytes\":null}");
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
                       ":+00\"],\"output\":\"" + jsonOut + "\",\"written\":true,\"write_error\":null,\"trailing_bytes\":0}\n");
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
      // No time: the search stops before its first trial.
      {{"repair", "--time-limit", "0", damaged, "-o", dir + "/d.jpg"},
       1,
       "result: not repaired (time limit reached)"},
  };
  for (const Case& c : cases) {
    const auto r = RunCli(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << r.err;
    EXPECT_EQ(r.OutLines(), std::vector<std::string>{c.result}) << c.args[1];
  }
  const auto json = RunCli({"repair", "--json", "--time-limit", "0", damaged, "-o", dir + "/e.jpg"});
  EXPECT_NE(
      json.out.find("\"result\":\"not repaired\",\"edits\":[],\"output\":null,\"written\":false,\"write_error\":null,\"trailing_bytes\":0,\"time_limit_reached\":true}"),
      std::string::npos)
      << json.out;
  for (const char* name : {"/a.jpg", "/b.jpg", "/c.jpg", "/d.jpg", "/e.jpg"})
    EXPECT_FALSE(std::filesystem::exists(dir + name)) << name;
}

// OUT is checked before the search, and refused as a failed save would refuse it.
TEST(RepairCli, AnOutputThatCannotBeWrittenIsRefusedBeforeTheSearch) {
  const LostStuffing d;
  const std::string in = WriteTempFile(d.damaged);
  const std::string dir = TempDir();
  std::filesystem::create_directory(dir + "/folder.jpg");
  ASSERT_TRUE(testing::WriteFileBytes(dir + "/locked.jpg", {1}));
  std::filesystem::permissions(dir + "/locked.jpg", std::filesystem::perms::owner_read);
  const std::pair<std::string, std::string> cases[] = {
      {"/x.png", "Vorn: 正しいファイル名を指定して下さい\n"},
      {"/no/such/x.jpg", "Vorn: エラーが発生しました(76) フォルダがありません\nvorn-cli: cannot write " +
                             dir + "/no/such/x.jpg (No such file or directory)\n"},
      {"/folder.jpg", "Vorn: 読み取り専用です フォルダです\nvorn-cli: cannot write " + dir +
                          "/folder.jpg (Is a directory)\n"},
      {"/locked.jpg", "Vorn: 読み取り専用です 書き込む権限がありません\nvorn-cli: cannot write " + dir +
                          "/locked.jpg (Permission denied)\n"},
  };
  for (const auto& [name, said] : cases) {
    const auto r = RunCli({"repair", "--json", in, "-o", dir + name});
    EXPECT_EQ(r.exitCode, name == "/x.png" ? 2 : 3) << name;
    EXPECT_EQ(r.out, "") << name;  // no result: nothing was searched
    EXPECT_EQ(r.err, said) << name;
  }
  EXPECT_EQ(ReadFileBytes(dir + "/locked.jpg"), std::vector<uint8_t>{1});
}

TEST(CheckRepairCli, CameraFileIsCheckedAndRepairedOnItsMainImage) {
  // Restart intervals, an EXIF thumbnail (whose markers stop an analysis from the
  // start) and data after EOI: a second JPEG and zero bytes.
  testing::EncodeOptions o;
  o.width = 80, o.height = 48, o.h0 = 1, o.v0 = 1, o.quality = 90, o.restartInterval = 3;
  std::vector<uint8_t> camera = CameraFile(testing::EncodePhotoLike(o, 3));
  const std::vector<uint8_t> trailer = Photo();
  camera.insert(camera.end(), trailer.begin(), trailer.end());
  camera.insert(camera.end(), 100, 0x00);
  const std::string dir = TempDir();
  const std::string clean = WriteTempFile(camera, "camera.jpg");
  const auto checked = RunCli({"check", "--json", clean});
  EXPECT_EQ(checked.exitCode, 0) << checked.out;
  // 80 x 48 at 4:4:4: 10 x 6 MCUs; the second JPEG and the zeros trail the first.
  const std::string trailing = std::to_string(trailer.size() + 100);
  EXPECT_EQ(checked.out, "{\"file\":\"" + clean +
                             "\",\"status\":\"ok\",\"mcu\":null,\"position\":null,\"reason\":null,"
                             "\"mcus_decoded\":60,\"mcus_expected\":60,\"trailing_bytes\":" +
                             trailing + "}\n");
  const auto untouched = RunCli({"repair", "--json", clean, "-o", dir + "/untouched.jpg"});
  EXPECT_EQ(untouched.exitCode, 0);
  EXPECT_EQ(untouched.out, "{\"file\":\"" + clean +
                               "\",\"result\":\"clean\",\"edits\":[],\"output\":null,\"written\":false,\"write_error\":null,\"trailing_bytes\":" +
                               trailing + "}\n");
  EXPECT_FALSE(std::filesystem::exists(dir + "/untouched.jpg"));

  const LostStuffing d(camera);
  const std::string damaged = WriteTempFile(d.damaged, "damaged-camera.jpg");
  EXPECT_EQ(RunCli({"check", damaged}).exitCode, 1);
  const auto repaired = RunCli({"repair", damaged, "-o", dir + "/repaired.jpg"});
  EXPECT_EQ(repaired.exitCode, 0) << repaired.err;
  EXPECT_EQ(repaired.OutLines(), (std::vector<std::string>{d.Hex8(d.ff + 1) + ":+00", "result: repaired"}))
      << repaired.out;
  EXPECT_EQ(ReadFileBytes(dir + "/repaired.jpg"), camera);
}

// Valid files that the decoder does not read are unsupported, never damaged: another
// frame type, a frame header beyond the decoder's limits, one scan a component.
// repair says so too and writes nothing.
TEST(CheckRepairCli, UnsupportedFilesAreToldFromDamagedOnes) {
  using testing::FrameComponent;
  const auto frame = [](const std::vector<FrameComponent>& components, bool tablesAfter = false,
                        size_t scanComponents = 1) {
    testing::JpegBuilder b;
    b.Soi().App0Jfif();
    if (!tablesAfter) b.Dqt(0, testing::FlatQuant(8));
    b.Sof0(16, 16, components);
    if (tablesAfter) b.Dqt(0, testing::FlatQuant(8));
    std::vector<testing::ScanComponent> scan;
    for (size_t c = 0; c < scanComponents; ++c) scan.push_back({components[c].id, 0, 0});
    return b.DhtStandard().Sos(scan).Raw({0x00}).Eoi().Bytes();
  };
  testing::EncodeOptions progressive;
  progressive.progressive = true;
  const std::string sof0 = "フレーム開始（基本・非差分ハフマン）";
  const std::vector<std::pair<std::vector<uint8_t>, std::string>> cases = {
      {testing::EncodePhotoLike(progressive), "フレーム開始（プロ・非差分ハフマン）"},
      {frame({{'R', 1, 1, 0}, {'G', 1, 1, 0}, {'B', 1, 1, 0}}), sof0 + "の成分番号が３を超えています"},
      {frame({{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}, {0, 1, 1, 0}}), sof0 + "の成分数が３を超えています"},
      {frame({{1, 4, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}),
       sof0 + "の水平サンプリングファクターが２を超えています"},
      {frame({{1, 2, 2, 0}, {2, 1, 2, 0}, {3, 1, 2, 0}}), sof0 + "のＭＣＵ内ブロック数が６を超えています"},
      {frame(testing::Grey(), true), sof0 + "のセレクターに対応した量子化テーブルがありません"},
      {frame({{1, 1, 1, 0}, {2, 1, 1, 0}, {3, 1, 1, 0}}),
       "スキャン開始の成分数がフレームの成分数より少ないです"},
  };
  const std::string clean = WriteTempFile(Photo(), "clean.jpg");
  std::vector<std::string> args = {"check", clean};
  std::vector<std::string> expected = {clean + ": ok"};
  for (size_t i = 0; i < cases.size(); ++i) {
    args.push_back(WriteTempFile(cases[i].first, "unsupported" + std::to_string(i) + ".jpg"));
    expected.push_back(args.back() + ": unsupported: " + cases[i].second);
  }
  const auto r = RunCli(args);
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_EQ(r.OutLines(), expected);
  EXPECT_EQ(RunCli({"check", args[2], WriteTempFile(Stopping(), "stopped.jpg")}).exitCode, 1);

  const auto json = RunCli({"check", "--json", args[2]});
  EXPECT_EQ(json.out, "{\"file\":\"" + args[2] +
                          "\",\"status\":\"unsupported\",\"mcu\":null,\"position\":null,"
                          "\"reason\":\"フレーム開始（プロ・非差分ハフマン）\","
                          "\"mcus_decoded\":null,\"mcus_expected\":null,\"trailing_bytes\":null}\n");
  const std::string out = TempDir() + "/unsupported-out.jpg";
  const auto repaired = RunCli({"repair", args[2], "-o", out});
  EXPECT_EQ(repaired.exitCode, 4);
  EXPECT_EQ(repaired.out, "result: unsupported\n");
  EXPECT_EQ(repaired.err, "vorn-cli: " + args[2] + ": unsupported: フレーム開始（プロ・非差分ハフマン）\n");
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(CheckRepairCli, UsageErrorsExitWithTwo) {
  const std::string in = WriteTempFile(Photo());
  const std::vector<std::vector<std::string>> wrong = {
      {"check"},
      {"check", "--fast", in},
      {"check", "--jobs", "0", in},
      {"check", "--jobs", "x", in},
      {"check", in, "--jobs"},
      {"repair", in},
      {"repair", in, "-o"},
      {"repair", "--max-edits", "x", in, "-o", TempDir() + "/o.jpg"},
      {"repair", "--time-limit", "-1", in, "-o", TempDir() + "/o.jpg"},
      {"repair", "--time-limit", "soon", in, "-o", TempDir() + "/o.jpg"},
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
