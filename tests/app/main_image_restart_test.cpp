// Opening a camera file: the thumbnail in its EXIF segment, or what follows the main
// image's EOI, stops the analysis, and the window offers to analyse the main image
// instead.
#include "app/main_image_restart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "analysis/message_log.h"
#include "app/analyze.h"
#include "app/file_commands.h"
#include "app/segment_list.h"
#include "support/libjpeg_peer.h"
#include "support/run_cli.h"
#include "support/window_session.h"

namespace vorn::testing {
namespace {

using Texts = std::vector<std::string>;

const std::string kExif = std::string(VORN_SOURCE_DIR) + "/tests/fixtures/exif_thumbnail.jpg";
constexpr int32_t kMainImage = 0x2BB;  // its first DQT, after the APP1 segment
const char* const kQuestion = "メイン画像から解析しますか";

const Texts kStopMessages = {
    "画像開始が複数あります（ワーニング）",
    "アプリケーションデータセグメント０がありません（ワーニング）",
    "量子化テーブル定義が３個以上あります（ワーニング）",
    "フレーム開始（基本・非差分ハフマン）が複数あります（ワーニング）",
    "ハフマンテーブル定義が５個以上あります（ワーニング）",
    "スキャン開始が複数あります（中止）",
};
// The warnings of an analysis that starts at the main image's DQT.
const Texts kMainImageMessages = {
    "画像開始がありません（ワーニング）",
    "アプリケーションデータセグメント０がありません（ワーニング）",
};

Texts Concat(Texts a, const Texts& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Everything an analysis and a rendering leave for the user to see.
struct Shown {
  Texts log;
  std::vector<int32_t> lineAddress;
  Texts fields;
  bool imageEnabled = false;
  bool saveEnabled = false;
  bool imageInvalid = true;
  std::vector<uint32_t> pixels;
  bool operator==(const Shown&) const = default;
};

Shown ShownBy(const WindowSession& s) {
  Shown shown;
  const window::WindowModel& f = s.form;
  shown.log = f.LOG.lines;
  shown.lineAddress.assign(s.analysis.LineAddress.begin(), s.analysis.LineAddress.begin() + f.LOG.Count());
  for (const window::Label* label :
       {&f.STANA,   &f.APP0LEN, &f.APP0ID, &f.COMLEN, &f.COM,    &f.DQTLEN, &f.DQTPq,  &f.DQTTq,
        &f.SOF0LEN, &f.SOF0P,   &f.SOF0Y,  &f.SOF0X,  &f.SOF0Nf, &f.DHTLEN, &f.DHTTc,  &f.DHTTh,
        &f.SOSLEN,  &f.SOSNs,   &f.SOSSs,  &f.SOSSe,  &f.SOSAh,  &f.SOSAl,  &f.DRILEN, &f.DRI})
    shown.fields.push_back(label->text);
  for (const auto* row : {&f.SOF0Ci, &f.SOF0Hi, &f.SOF0Vi, &f.SOF0Tqi, &f.SOSCsi, &f.SOSTdi, &f.SOSTai})
    for (const window::Label& label : *row) shown.fields.push_back(label.text);
  for (const window::Label& label : f.Qtbl) shown.fields.push_back(label.text);
  shown.fields.insert(shown.fields.end(), f.Htbl.lines.begin(), f.Htbl.lines.end());
  shown.imageEnabled = f.IMAGE.enabled;
  shown.saveEnabled = f.SAVE.enabled;
  shown.imageInvalid = s.app.ImageInvalid;
  shown.pixels.assign(s.decode.ImagePixels.begin(), s.decode.ImagePixels.end());
  return shown;
}

// What a user gets by declining and then double-clicking the main image's DQT.
Shown ByDoubleClick() {
  WindowSession s;
  EXPECT_FALSE(LoadFileImage(s.app, kExif, true, MainImageAnswer::No).completed);
  EXPECT_EQ(s.dialogs.Texts(), kStopMessages);
  EXPECT_EQ(ChangeAnalysisStart(s.app, kMainImage), StartChange::Completed);
  return ShownBy(s);
}

TEST(MainImageRestart, YesAfterTheStopShowsWhatADoubleClickOnTheMainImageShows) {
  WindowSession s;
  EXPECT_TRUE(s.LoadFile(kExif));
  EXPECT_EQ(s.dialogs.Texts(), Concat(Concat(kStopMessages, {kQuestion}), kMainImageMessages));
  EXPECT_EQ(s.dialogs.messages[kStopMessages.size()].buttons, window::Buttons::YesNo);
  const Shown shown = ShownBy(s);
  EXPECT_EQ(shown, ByDoubleClick());
  EXPECT_EQ(s.form.STANA.text, "2BB");
  EXPECT_EQ(s.form.SOF0X.text, "48");
  EXPECT_TRUE(s.form.SAVE.enabled);
  EXPECT_EQ(shown.pixels.size(), 48u * 32u);

  // Told Yes, nothing is asked and the outcome is the same.
  WindowSession told;
  EXPECT_FALSE(LoadFileImage(told.app, kExif, true, MainImageAnswer::No).completed);
  told.dialogs.messages.clear();
  EXPECT_EQ(RestartAtMainImage(told.app, MainImageAnswer::Yes), MainImageRestart::Completed);
  EXPECT_EQ(told.dialogs.Texts(), kMainImageMessages);
  EXPECT_EQ(ShownBy(told), shown);
  // From the main image on nothing is left to step past.
  EXPECT_EQ(RestartAtMainImage(told.app, MainImageAnswer::Yes), MainImageRestart::NotOffered);
}

TEST(MainImageRestart, NoLeavesTheStoppedAnalysisAsItIs) {
  WindowSession declined;
  for (size_t n = 0; n < kStopMessages.size(); ++n) declined.dialogs.answers.push_back(window::Answer::Ok);
  declined.dialogs.answers.push_back(window::Answer::No);
  EXPECT_FALSE(declined.LoadFile(kExif));
  EXPECT_EQ(declined.dialogs.Texts(), Concat(kStopMessages, {kQuestion}));

  WindowSession unasked;
  EXPECT_FALSE(LoadFileImage(unasked.app, kExif, true, MainImageAnswer::No).completed);
  EXPECT_EQ(unasked.dialogs.Texts(), kStopMessages);
  const Shown shown = ShownBy(declined);
  EXPECT_EQ(shown, ShownBy(unasked));
  EXPECT_EQ(shown.log.size(), 21u);  // the thumbnail's markers and the main image's
  EXPECT_EQ(declined.form.STANA.text, "0");
  EXPECT_FALSE(shown.imageEnabled);
  EXPECT_TRUE(shown.pixels.empty());
}

TEST(MainImageRestart, EveryWayOfOpeningAFileAsksOnce) {
  const std::string dropped = TempDir() + "/camera.jpg";
  ASSERT_TRUE(WriteFileBytes(dropped, ReadFileBytes(kExif)));
  const std::function<void(WindowSession&)> opens[] = {
      [](WindowSession& s) {
        s.dialogs.openPaths.push_back(kExif);
        s.form.LOAD.Click();
      },
      [&](WindowSession& s) { Picture1_OLEDragDrop(s.app, true, {dropped}); },
      [](WindowSession& s) { OpenAtStart(s.app, kExif); },
  };
  for (const auto& open : opens) {
    WindowSession s;
    open(s);
    EXPECT_EQ(s.dialogs.Texts(), Concat(Concat(kStopMessages, {kQuestion}), kMainImageMessages));
    EXPECT_EQ(s.form.STANA.text, "2BB");
    EXPECT_TRUE(s.form.SAVE.enabled);
  }
}

// Files with data after the main image's EOI, made by make_camera_fixtures.py: where
// that EOI ends, how many bytes follow it, and the thumbnail its APP1 carries.
struct TrailedFile {
  const char* name;
  int32_t end;
  int32_t trailing;
  ByteRange thumbnail;  // empty: none
};
const TrailedFile kTrailedFiles[] = {
    {"motion_photo.jpg", 0xAC3, 1251, {0x44, 0x2F9}},  // EXIF thumbnail, an MP4 after the EOI
    {"appended_jpeg.jpg", 0x6A3, 967, {}},             // a second JPEG file
    {"vendor_trailer.jpg", 0x6A3, 612, {}},            // random bytes with FF D8, FF C0, FF DA
    {"two_frames.mpo", 0x9E2, 1737, {0x44, 0x2F9}},    // EXIF thumbnail, MPF, the second frame
};

std::string FixturePath(const char* name) {
  std::string path = VORN_SOURCE_DIR;
  path += "/tests/fixtures/";
  path += name;
  return path;
}

// The largest difference of a channel between the window's picture and libjpeg's.
int LargestDifference(const WindowSession& s, const DecodedPicture& peer) {
  const int X = s.rec.frame.FrameWidth, Y = s.rec.frame.FrameHeight;
  if (!peer.ok || peer.width != X || peer.height != Y) return 256;
  int largest = 0;
  for (int y = 0; y < Y; ++y)
    for (int x = 0; x < X; ++x) {
      const uint32_t ours = s.decode.ImagePixels[static_cast<size_t>(Y - 1 - y) * X + x];
      for (int c = 0; c < 3; ++c) {
        const int theirs = peer.rgb[(static_cast<size_t>(y) * X + x) * 3 + static_cast<size_t>(c)];
        largest = std::max(largest, std::abs(static_cast<int>(ours >> (16 - 8 * c) & 0xFF) - theirs));
      }
    }
  return largest;
}

// Sets a bit as a double click on a candidate line does.
void Correct(WindowSession& s, int32_t position, int bit) {
  ClearLog(s.form.LOG, s.analysis);
  AddLogLine(s.form.LOG, s.analysis, "candidate", position);
  s.form.LOG.tag = kCandidateListTag;
  s.inspect.BitCandidate[0] = BitCandidateEntry{0, position, bit, 0};
  s.form.LOG.DblClick(0);
}

TEST(MainImageRestart, DataAfterTheMainImageIsLeftOutOnYesAndKeptByASave) {
  for (const TrailedFile& t : kTrailedFiles) {
    SCOPED_TRACE(t.name);
    const std::string path = FixturePath(t.name);
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(t.end + t.trailing));

    WindowSession s;
    EXPECT_TRUE(s.LoadFile(path));
    const Texts asked = s.dialogs.Texts();
    EXPECT_EQ(std::count(asked.begin(), asked.end(), kQuestion), 1);
    // The list ends at the main image's EOI, and one line says what follows it.
    const Texts& log = s.form.LOG.lines;
    ASSERT_GE(log.size(), 2u);
    const int last = static_cast<int>(log.size()) - 1;
    EXPECT_TRUE(log[last - 1].ends_with(":画像終了が見つかりました")) << log[last - 1];
    EXPECT_EQ(s.analysis.LineAddress[last - 1], t.end - 2);
    EXPECT_EQ(log[last], "画像終了の後にデータがあります（" + std::to_string(t.trailing) + "バイト）");
    EXPECT_EQ(s.analysis.LineAddress[last], t.end);
    EXPECT_TRUE(s.form.SAVE.enabled);
    EXPECT_LE(LargestDifference(s, DecodeWithLibjpeg(bytes)), 3);
    // The document maps the whole file: the thumbnail inside the APP1, the scan's
    // data up to the EOI and the bytes after it.
    std::vector<ByteRange> thumbnails;
    for (const AppRange& app : s.rec.Apps)
      if (app.Thumbnail) thumbnails.push_back(*app.Thumbnail);
    EXPECT_EQ(thumbnails,
              t.thumbnail.End > 0 ? std::vector<ByteRange>{t.thumbnail} : std::vector<ByteRange>{});
    EXPECT_EQ(s.rec.ScanData, (ByteRange{s.rec.scan.ScanDataStart, t.end - 2}));
    EXPECT_EQ(s.rec.Trailing, (ByteRange{t.end, t.end + t.trailing}));

    // No: the stopped analysis, as without the question.
    WindowSession declined;
    for (int n = 0; n < 20; ++n) declined.dialogs.answers.push_back(window::Answer::No);
    EXPECT_FALSE(declined.LoadFile(path));
    WindowSession unasked;
    EXPECT_FALSE(LoadFileImage(unasked.app, path, true, MainImageAnswer::No).completed);
    EXPECT_EQ(declined.dialogs.Texts().back(), kQuestion);
    EXPECT_EQ(ShownBy(declined), ShownBy(unasked));
    EXPECT_GT(declined.analysis.MarkerTable[declined.analysis.MarkerTableCount - 1].Position, t.end);

    // A correction in the scan and one in the trailing bytes: the save writes both,
    // and every other byte as it was.
    std::vector<uint8_t> expected = bytes;
    const int32_t inScan = s.rec.scan.ScanDataStart + 5, inTrailer = t.end + t.trailing / 2;
    for (const int32_t position : {inScan, inTrailer}) {
      const int bit = bytes[static_cast<size_t>(position)] & 0x01 ? 6 : 7;
      Correct(s, position, bit);
      expected[static_cast<size_t>(position)] |= static_cast<uint8_t>(0x80 >> bit);
    }
    EXPECT_EQ(s.file.bytes, expected);
    const std::string saved = TempDir() + "/saved.jpg";
    s.dialogs.savePaths.push_back(saved);
    SAVE_Click(s.app);
    EXPECT_EQ(ReadFileBytes(saved), expected);

    // A double click on the trailing data's line analyses on from there, to the end
    // of the file, when an appended picture begins there.
    const bool appended = bytes[static_cast<size_t>(t.end)] == 0xFF;
    EXPECT_EQ(ChangeAnalysisStart(s.app, t.end), appended ? StartChange::Completed : StartChange::NotAMarker);
    EXPECT_EQ(s.analysis.AnalysisEnd, appended ? -1 : t.end);
  }
}

TEST(MainImageRestart, ACameraOriginalThatDebianShipsOpensOnYes) {
  // mate-backgrounds' Wood.jpg: an EXIF thumbnail, then 23,299 bytes after the EOI
  // (zeros, then what is left of a second JPEG file).
  const std::string wood = "/usr/share/backgrounds/mate/nature/Wood.jpg";
  const std::vector<uint8_t> bytes = ReadFileBytes(wood);
  if (bytes.size() != 525520) GTEST_SKIP() << wood << " is not installed (package mate-backgrounds)";
  WindowSession s;
  EXPECT_TRUE(s.LoadFile(wood));
  EXPECT_EQ(s.form.STANA.text, "FDB5");
  EXPECT_EQ(s.form.LOG.lines.back(), "画像終了の後にデータがあります（23299バイト）");
  EXPECT_TRUE(s.form.SAVE.enabled);
  // Its bright highlights overshoot 0..255 before the colour conversion, which
  // libjpeg clamps and ours does not: a few levels more than elsewhere.
  EXPECT_LE(LargestDifference(s, DecodeWithLibjpeg(bytes)), 5);
}

TEST(MainImageRestart, CheckJudgesTheMainImageAndCountsTheBytesAfterIt) {
  std::vector<std::string> args = {"check", "--json"};
  for (const TrailedFile& t : kTrailedFiles) args.push_back(FixturePath(t.name));
  const CliResult r = RunCli(args);
  EXPECT_EQ(r.exitCode, 0) << r.out;
  const Texts lines = r.OutLines();
  ASSERT_EQ(lines.size(), std::size(kTrailedFiles));
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_NE(lines[i].find("\"status\":\"ok\""), std::string::npos) << lines[i];
    EXPECT_TRUE(lines[i].ends_with(",\"trailing_bytes\":" + std::to_string(kTrailedFiles[i].trailing) + "}"))
        << lines[i];
  }
}

}  // namespace
}  // namespace vorn::testing
