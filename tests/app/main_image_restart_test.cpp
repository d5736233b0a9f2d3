// Opening a camera file: the thumbnail in its EXIF segment stops the analysis, and
// the window offers to analyse the main image instead.
#include "app/main_image_restart.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vorn::testing
