// vorn-cli analyze on real files: cjpeg and libjpeg output of every common kind,
// and a camera-style file with an EXIF thumbnail.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "analysis/analysis_harness.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"
#include "support/temp_file.h"

namespace vorn::testing {
namespace {

using Strings = std::vector<std::string>;

const std::string kFixtures = std::string(VORN_SOURCE_DIR) + "/tests/fixtures/";

const char* Description(int code) {
  switch (code) {
    case 0xD8:
      return "画像開始";
    case 0xD9:
      return "画像終了";
    case 0xDA:
      return "スキャン開始";
    case 0xDB:
      return "量子化テーブル定義";
    case 0xDD:
      return "リスタートインターバル定義";
    case 0xC0:
      return "フレーム開始（基本・非差分ハフマン）";
    case 0xC2:
      return "フレーム開始（プロ・非差分ハフマン）";
    case 0xC4:
      return "ハフマンテーブル定義";
    case 0xE0:
      return "アプリケーションデータセグメント０";
    case 0xE1:
      return "アプリケーションデータセグメント１";
    case 0xFE:
      return "コメント";
    default:
      return "?";
  }
}

std::string Found(int64_t pos, int code) {
  return FoundLine(pos, Description(code));
}

// The marker lines of a file as a reader walking its structure finds them: each
// header segment by its length, the entropy-coded data after an SOS up to the
// next byte pair that is neither a stuffed zero nor a restart marker.
Strings WalkMarkers(const std::vector<uint8_t>& b) {
  Strings lines = {Found(0, 0xD8)};
  size_t p = 2;
  while (p + 1 < b.size()) {
    const int code = b[p + 1];
    lines.push_back(Found(static_cast<int64_t>(p), code));
    if (code == 0xD9) break;
    p += 2 + (b[p + 2] << 8 | b[p + 3]);
    if (code == 0xDA) {
      while (p + 1 < b.size() && !(b[p] == 0xFF && b[p + 1] != 0x00 && (b[p + 1] < 0xD0 || b[p + 1] > 0xD7)))
        ++p;
    }
  }
  return lines;
}

struct Analysed {
  CliResult result;
  Strings logLines;
  std::set<std::string> fields;
};

// A field line is NAME=value or NAME[k]=value with an ASCII name; every other
// line is a LOG line.
bool IsFieldLine(const std::string& line) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  return std::all_of(line.begin(), line.begin() + static_cast<long>(eq), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '[' || c == ']';
  });
}

Analysed Analyze(const std::string& path, const Strings& options = {"--fields"}) {
  Strings args = {"analyze"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(path);
  Analysed a;
  a.result = RunCli(args);
  for (const std::string& line : a.result.OutLines()) {
    if (IsFieldLine(line))
      a.fields.insert(line);
    else
      a.logLines.push_back(line);
  }
  return a;
}

bool Has(const std::set<std::string>& fields, const std::string& line) {
  return fields.count(line) != 0;
}

TEST(AnalyzeCli, CjpegBaselineListsItsMarkersAndEveryField) {
  const std::string path = kFixtures + "cjpeg_baseline.jpg";
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  const Analysed a = Analyze(path);
  EXPECT_EQ(a.result.exitCode, 0);
  EXPECT_EQ(a.result.err, "");
  EXPECT_EQ(a.logLines, (Strings{Found(0x0, 0xD8), Found(0x2, 0xE0), Found(0x14, 0xDB), Found(0x59, 0xDB),
                                 Found(0x9E, 0xC0), Found(0xB1, 0xC4), Found(0xD2, 0xC4), Found(0x189, 0xC4),
                                 Found(0x1AA, 0xC4), Found(0x261, 0xDA), Found(0x30C, 0xD9)}));
  std::set<std::string> expected = {
      "APP0LEN=16",  "APP0ID=JFIF",  "APP0v1=1",     "APP0v2=1",     "APP0U=0",     "APP0Xd=1",
      "APP0Yd=1",    "APP0ETC=0000", "DQTLEN=67",    "DQTPq=0",      "DQTTq=0",     "SOF0LEN=17",
      "SOF0P=8",     "SOF0Y=24",     "SOF0X=40",     "SOF0Nf=3",     "SOF0Ci[0]=1", "SOF0Ci[1]=2",
      "SOF0Ci[2]=3", "SOF0Hi[0]=2",  "SOF0Hi[1]=1",  "SOF0Hi[2]=1",  "SOF0Vi[0]=2", "SOF0Vi[1]=1",
      "SOF0Vi[2]=1", "SOF0Tqi[0]=0", "SOF0Tqi[1]=1", "SOF0Tqi[2]=1", "DHTLEN=31",   "DHTTc=0",
      "DHTTh=0",     "SOSLEN=12",    "SOSNs=3",      "SOSCsi[0]=1",  "SOSCsi[1]=2", "SOSCsi[2]=3",
      "SOSTdi[0]=0", "SOSTdi[1]=1",  "SOSTdi[2]=1",  "SOSTai[0]=0",  "SOSTai[1]=1", "SOSTai[2]=1",
      "SOSSs=0",     "SOSSe=63",     "SOSAh=0",      "SOSAl=0"};
  // The first table of the first DQT segment, in file order.
  for (int k = 0; k < 64; ++k)
    expected.insert("Qtbl[" + std::to_string(k) + "]=" + std::to_string(bytes[0x19 + k]));
  const Strings dc = {"00(0)",   "010(1)",   "011(2)",    "100(3)",     "101(4)",       "110(5)",
                      "1110(6)", "11110(7)", "111110(8)", "1111110(9)", "11111110(10)", "111111110(11)"};
  for (size_t k = 0; k < dc.size(); ++k) expected.insert("Htbl[" + std::to_string(k) + "]=" + dc[k]);
  EXPECT_EQ(a.fields, expected);
}

TEST(AnalyzeCli, WithoutFieldsOnlyTheListIsPrinted) {
  const CliResult r = RunCli({"analyze", kFixtures + "cjpeg_baseline.jpg"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.OutLines().size(), 11u);
}

// The first DHT segment's length and number of codes, read from the file.
std::pair<int, int> FirstHuffmanTable(const std::vector<uint8_t>& bytes) {
  size_t p = 2;
  while (bytes[p + 1] != 0xC4) p += 2 + (bytes[p + 2] << 8 | bytes[p + 3]);
  int codes = 0;
  for (int n = 0; n < 16; ++n) codes += bytes[p + 5 + n];
  return {bytes[p + 2] << 8 | bytes[p + 3], codes};
}

TEST(AnalyzeCli, LibjpegFilesOfEveryBaselineKindComplete) {
  struct Case {
    const char* name;
    EncodeOptions options;
    Strings fields;
  };
  EncodeOptions optimized, restart, grey, sjis, lavc;
  optimized.optimize = true;
  restart.restartInterval = 2;
  grey.components = 1;
  grey.h0 = grey.v0 = 1;
  sjis.comment = "\x93\xFA\x96\x7B\x8C\xEA\r\nA";     // 日本語 in code page 932, a line break
  lavc.comment = std::string("Lavc59.37.100\0", 14);  // ffmpeg's comment: its name and a 00
  const Case cases[] = {
      {"optimized", optimized, {"SOF0Nf=3"}},
      {"restart", restart, {"DRILEN=4", "DRI=2"}},
      {"grey", grey, {"SOF0Nf=1", "SOF0Ci[0]=1", "SOSNs=1", "SOSCsi[0]=1"}},
      {"sjis", sjis, {"COMLEN=11", "COM=日本語  A"}},
      {"lavc", lavc, {"COMLEN=16", std::string("COM=Lavc59.37.100\0", 18)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> bytes = EncodePhotoLike(c.options);
    const Analysed a = Analyze(WriteTempFile(bytes));
    EXPECT_EQ(a.result.exitCode, 0);
    EXPECT_EQ(a.result.err, "");
    EXPECT_EQ(a.logLines, WalkMarkers(bytes));
    EXPECT_TRUE(Has(a.fields, "SOF0X=64"));
    EXPECT_TRUE(Has(a.fields, "SOF0Y=48"));
    for (const std::string& f : c.fields) EXPECT_TRUE(Has(a.fields, f)) << f;
    // Page 0 is the first DHT segment's table: its length and one line per code.
    const auto [length, codes] = FirstHuffmanTable(bytes);
    EXPECT_TRUE(Has(a.fields, "DHTLEN=" + std::to_string(length)));
    EXPECT_EQ(std::count_if(a.fields.begin(), a.fields.end(),
                            [](const std::string& f) { return f.rfind("Htbl[", 0) == 0; }),
              codes);
    if (c.options.components == 1) {
      // Unused components show empty elements, which are not printed.
      for (const std::string& f : a.fields)
        for (const char* name : {"SOF0Ci[1]", "SOF0Tqi[2]", "SOSCsi[1]", "SOSTai[2]"})
          EXPECT_NE(f.rfind(name, 0), 0u) << f;
    }
  }
}

TEST(AnalyzeCli, ProgressiveStopsForWantOfABaselineFrame) {
  EncodeOptions o;
  o.progressive = true;
  const std::vector<uint8_t> bytes = EncodePhotoLike(o);
  const Analysed a = Analyze(WriteTempFile(bytes));
  EXPECT_EQ(a.result.exitCode, 1);
  EXPECT_EQ(a.result.ErrLines(), Strings{"Vorn: フレーム開始（基本・非差分ハフマン）がありません（中止）"});
  EXPECT_EQ(a.logLines, WalkMarkers(bytes));
  EXPECT_TRUE(a.fields.empty());
}

const Strings kExifMessages = {
    "Vorn: 画像開始が複数あります（ワーニング）",
    "Vorn: アプリケーションデータセグメント０がありません（ワーニング）",
    "Vorn: 量子化テーブル定義が３個以上あります（ワーニング）",
    "Vorn: フレーム開始（基本・非差分ハフマン）が複数あります（ワーニング）",
    "Vorn: ハフマンテーブル定義が５個以上あります（ワーニング）",
    "Vorn: スキャン開始が複数あります（中止）",
};

// The main image's markers, from its first DQT on.
const Strings kMainImageLines = {Found(0x2BB, 0xDB), Found(0x300, 0xDB), Found(0x345, 0xC0),
                                 Found(0x358, 0xC4), Found(0x379, 0xC4), Found(0x430, 0xC4),
                                 Found(0x451, 0xC4), Found(0x508, 0xDA), Found(0x6F2, 0xD9)};

TEST(AnalyzeCli, ExifThumbnailMarkersAreCountedAndStopTheAnalysis) {
  const Analysed a = Analyze(kFixtures + "exif_thumbnail.jpg", {});
  EXPECT_EQ(a.result.exitCode, 1);
  EXPECT_EQ(a.result.ErrLines(), kExifMessages);
  Strings expected = {Found(0x0, 0xD8),   Found(0x2, 0xE1),   Found(0x44, 0xD8),  Found(0x46, 0xDB),
                      Found(0x8B, 0xDB),  Found(0xD0, 0xC0),  Found(0xE3, 0xC4),  Found(0x104, 0xC4),
                      Found(0x1BB, 0xC4), Found(0x1DC, 0xC4), Found(0x293, 0xDA), Found(0x2B9, 0xD9)};
  expected.insert(expected.end(), kMainImageLines.begin(), kMainImageLines.end());
  EXPECT_EQ(a.logLines, expected);
}

TEST(AnalyzeCli, StartingAtTheMainImageAnalysesIt) {
  const Analysed a = Analyze(kFixtures + "exif_thumbnail.jpg", {"--start", "2bb", "--fields"});
  EXPECT_EQ(a.result.exitCode, 0);
  Strings expected = kExifMessages;
  expected.push_back("Vorn: 解析開始位置を変更しますか");
  expected.push_back("Vorn: 画像開始がありません（ワーニング）");
  expected.push_back("Vorn: アプリケーションデータセグメント０がありません（ワーニング）");
  EXPECT_EQ(a.result.ErrLines(), expected);
  EXPECT_EQ(a.logLines, kMainImageLines);
  EXPECT_TRUE(Has(a.fields, "SOF0X=48"));
  EXPECT_TRUE(Has(a.fields, "SOF0Y=32"));
  EXPECT_FALSE(Has(a.fields, "APP0ID=JFIF"));
}

TEST(AnalyzeCli, MainImageOptionAnswersYesAsStartingAtTheMainImageWouldForEveryCommand) {
  const std::string exif = kFixtures + "exif_thumbnail.jpg";
  const std::string dir = TempDir();
  const std::vector<Strings> commands = {
      {"analyze", "--fields", exif}, {"decode", exif, "-o", dir + "/OUT.png"},
      {"mcu", exif, "2", "1"},       {"trace", exif, "1", "0"},
      {"bitcheck", exif, "0", "1"},
  };
  for (const Strings& command : commands) {
    SCOPED_TRACE(command[0]);
    const auto run = [&](const Strings& option, const std::string& out) {
      Strings args = command;
      args.insert(args.begin() + 1, option.begin(), option.end());
      for (std::string& arg : args)
        if (arg == dir + "/OUT.png") arg = dir + "/" + out;
      return RunCli(args);
    };
    const CliResult asked = run({"--main-image"}, "asked.png");
    const CliResult started = run({"--start", "2bb"}, "started.png");
    EXPECT_EQ(asked.exitCode, started.exitCode);
    EXPECT_EQ(asked.out, started.out);
    Strings expected = kExifMessages;
    expected.push_back("Vorn: メイン画像から解析しますか");
    const Strings err = asked.ErrLines();
    ASSERT_GE(err.size(), expected.size());
    EXPECT_EQ(Strings(err.begin(), err.begin() + static_cast<long>(expected.size())), expected);
    // What follows the question is what follows a change of the start.
    Strings after = started.ErrLines();
    after.erase(after.begin(), after.begin() + static_cast<long>(expected.size()));
    EXPECT_EQ(Strings(err.begin() + static_cast<long>(expected.size()), err.end()), after);
  }
  EXPECT_EQ(ReadFileBytes(dir + "/asked.png"), ReadFileBytes(dir + "/started.png"));
  EXPECT_FALSE(ReadFileBytes(dir + "/asked.png").empty());
  // A file that completes has nothing to ask.
  const CliResult plain = RunCli({"analyze", kFixtures + "cjpeg_baseline.jpg"});
  const CliResult option = RunCli({"analyze", "--main-image", kFixtures + "cjpeg_baseline.jpg"});
  EXPECT_EQ(option.out, plain.out);
  EXPECT_EQ(option.err, "");
  EXPECT_NE(RunCli({"--help"}).out.find("analyze [--start HEX] [--main-image] [--fields] FILE"),
            std::string::npos);
}

TEST(AnalyzeCli, StartThatIsNoMarkerIsRefused) {
  for (const char* start : {"1", "30D", "30E", "7FFFFFFF"}) {
    const CliResult r = RunCli({"analyze", "--start", start, kFixtures + "cjpeg_baseline.jpg"});
    EXPECT_EQ(r.exitCode, 2) << start;
    EXPECT_EQ(r.ErrLines(), (Strings{"Vorn: 解析開始位置を変更しますか",
                                     "Vorn: マーカー（FFデータ）位置を指定してください"}))
        << start;
  }
}

TEST(AnalyzeCli, UsageAndFileErrorsExitTwo) {
  const std::string empty = WriteTempFile({}, "empty.jpg");
  const std::vector<Strings> calls = {
      {"analyze"},
      {"analyze", "--fields"},
      {"analyze", "--bogus", kFixtures + "cjpeg_baseline.jpg"},
      {"analyze", "a.jpg", "b.jpg"},
      {"analyze", "--start", "xyz", kFixtures + "cjpeg_baseline.jpg"},
      {"analyze", "--start"},
      {"analyze", TempDir() + "/missing.jpg"},
      {"analyze", empty},
      {},
      {"repaint", empty},
  };
  for (const Strings& args : calls) {
    const CliResult r = RunCli(args);
    const std::string call = args.empty() ? "(nothing)" : args.back();
    EXPECT_EQ(r.exitCode, 2) << call;
    EXPECT_EQ(r.out, "") << call;
    EXPECT_FALSE(r.err.empty()) << call;
  }
  // The system's reason, and a file of another format said to be one, not analysed.
  const std::string folder = TempDir();
  EXPECT_EQ(RunCli({"analyze", folder}).err, "vorn-cli: cannot read " + folder + " (Is a directory)\n");
  const CliResult gif = RunCli({"mcu", WriteTempFile({'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}), "0", "0"});
  EXPECT_EQ(gif.exitCode, 2);
  EXPECT_EQ(gif.err, "Vorn: GIFファイルです。JPEGファイルではありません\n");
}

TEST(AnalyzeCli, HelpAndVersionGoToStandardOutput) {
  const CliResult help = RunCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* command : {"analyze", "decode", "mcu", "trace", "bitcheck", "fix", "--version"})
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  const CliResult version = RunCli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "vorn-cli " VORN_PROJECT_VERSION "\n");
  EXPECT_EQ(help.err + version.err, "");
}

}  // namespace
}  // namespace vorn::testing
