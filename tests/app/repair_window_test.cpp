#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "analysis/message_log.h"
#include "app/repair_handlers.h"
#include "support/analysed_jpeg.h"
#include "support/jpeg_builder.h"
#include "support/libjpeg_peer.h"
#include "support/window_session.h"

namespace vorn::testing {
namespace {

// A libjpeg-made photo and a damaged copy of it, loaded into a window.
struct DamagedPhoto : WindowSession {
  explicit DamagedPhoto(EncodeOptions options) {
    original = EncodePhotoLike(options);
    scanStart = AnalyseJpeg(original).rec.scan.ScanDataStart;
    reference = DecodeWithLibjpeg(original);
  }
  // Loads the original with `erased` bytes at p replaced by `inserted`.
  void LoadDamaged(int32_t p, int erased, const std::vector<uint8_t>& inserted) {
    damaged = original;
    damaged.erase(damaged.begin() + p, damaged.begin() + p + erased);
    damaged.insert(damaged.begin() + p, inserted.begin(), inserted.end());
    ASSERT_TRUE(Load(damaged));
  }
  // The reference pixel (x, y) of the original as 0x00RRGGBB.
  uint32_t ReferencePixel(int x, int y) const {
    const uint8_t* p = &reference.rgb[(static_cast<size_t>(y) * reference.width + x) * 3];
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }
  // The largest channel difference between Picture2 at scale 1 and the original's
  // top-left w x h pixels.
  int PreviewDifference(int w, int h) const {
    int largest = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint32_t a = form.Picture2.Pixel(x, y), b = ReferencePixel(x, y);
        for (int shift : {0, 8, 16})
          largest = std::max(
              largest, std::abs(static_cast<int>(a >> shift & 0xFF) - static_cast<int>(b >> shift & 0xFF)));
      }
    return largest;
  }

  std::vector<uint8_t> original, damaged;
  int32_t scanStart = 0;
  DecodedPicture reference;
};

EncodeOptions Photo(int h0, int v0) {
  EncodeOptions o;
  o.width = 48;
  o.height = 16;
  o.h0 = h0;
  o.v0 = v0;
  return o;
}

// Each row damages the first MCU's data of a 4:4:4 photo (three MCUs of 8 x 8 pixels
// fill the top-left 24 x 8 of the preview at scale 1) and lists the repair that
// undoes it.
struct RepairRow {
  const char* name;
  int offset;  // from the scan's first byte
  int erased;
  std::vector<uint8_t> inserted;
  RepairCandidateEntry repair;  // Position is offset from the scan's first byte
};

class RepairList : public ::testing::TestWithParam<RepairRow> {};

TEST_P(RepairList, ClickPreviewsTheRepairAndDoubleClickAppliesItWithUndo) {
  const RepairRow& row = GetParam();
  DamagedPhoto h(Photo(1, 1));
  h.LoadDamaged(h.scanStart + row.offset, row.erased, row.inserted);
  RepairCandidateEntry repair = row.repair;
  repair.Position += h.scanStart;
  if (repair.Inserted == 1) repair.Value = h.original[static_cast<size_t>(repair.Position)];
  ASSERT_NE(h.damaged, h.original);
  ListRepairCandidates(h.form, h.analysis, h.app.inspect, {{repair, "candidate"}});
  ASSERT_EQ(h.form.LOG.Count(), 1);
  EXPECT_EQ(h.form.LOG.tag, kRepairListTag);
  EXPECT_EQ(h.analysis.LineAddress[0], repair.Position);

  h.form.LIMAGE.caption = "補正ｲﾒｰｼﾞx1";
  h.form.Picture2.Clear();
  h.form.LOG.Click(0);
  EXPECT_EQ(h.file.bytes, h.damaged);  // a preview never writes
  EXPECT_EQ(h.dump.DumpPage * 256 + h.dump.SelectedCell, repair.Position);
  EXPECT_LE(h.PreviewDifference(24, 8), 3);

  h.form.LOG.DblClick(0);
  EXPECT_EQ(h.file.bytes, h.original);
  EXPECT_EQ(h.form.LOG.Count(), 0);
  EXPECT_TRUE(h.form.SAVE.enabled);  // the repaired scan decodes
  EXPECT_TRUE(h.form.UNDO.enabled);
  ASSERT_TRUE(h.form.UNDO.Click());
  EXPECT_EQ(h.file.bytes, h.damaged);
  ASSERT_TRUE(h.form.REDO.Click());
  EXPECT_EQ(h.file.bytes, h.original);
  EXPECT_TRUE(h.form.SAVE.enabled);
}

// Position, Removed, Inserted; the value put back is the original's.
INSTANTIATE_TEST_SUITE_P(Window, RepairList,
                         ::testing::Values(RepairRow{"ByteInserted", 2, 0, {0x5A}, {2, 1, 0, 0}},
                                           RepairRow{"ByteLost", 2, 1, {}, {2, 0, 1, 0}},
                                           RepairRow{"ByteOverwritten", 3, 1, {0x00}, {3, 1, 1, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

// The positions of the restart markers in a scan that has one after every MCU: the
// data of MCU k lies between marker k - 1 (the scan's start for k = 0) and marker k.
std::vector<int32_t> RestartMarkers(const std::vector<uint8_t>& jpeg, int32_t scanStart) {
  std::vector<int32_t> markers;
  for (size_t p = static_cast<size_t>(scanStart); p + 1 < jpeg.size(); ++p)
    if (jpeg[p] == 0xFF && jpeg[p + 1] >= 0xD0 && jpeg[p + 1] <= 0xD7)
      markers.push_back(static_cast<int32_t>(p));
  return markers;
}

TEST(RepairMenu, EnabledByTheAnalysedScanWithoutAPictureAndDisabledByADirectEdit) {
  DamagedPhoto h(Photo(2, 2));
  EXPECT_FALSE(h.form.LOCATE.enabled);
  EXPECT_FALSE(h.form.REPAIR.enabled);
  h.decode.PictureByteLimit = 0;  // the picture cannot be made
  ASSERT_TRUE(h.Load(h.original));
  ASSERT_TRUE(h.app.ImageInvalid);
  EXPECT_TRUE(h.form.LOCATE.enabled);
  EXPECT_TRUE(h.form.REPAIR.enabled);
  ASSERT_TRUE(h.form.REPAIR.Click());
  EXPECT_EQ(h.LastMessage(), "破損は見つかりませんでした");
  h.form.DMP_ClickEvent(5);
  h.form.DMPI.SetText("00");
  h.form.DMPI.LoseFocus();
  EXPECT_FALSE(h.form.LOCATE.enabled);
  EXPECT_FALSE(h.form.REPAIR.enabled);
}

TEST(RepairMenu, StaysDisabledWhenTheAnalysedScanCannotBeDecodedAtAll) {
  // A chroma component of vertical factor 0: the analysis completes, but no block
  // of the scan belongs to that component.
  std::vector<uint8_t> jpeg = FlatBaselineJpeg(16, 16);
  const auto sof = std::ranges::search(jpeg, std::vector<uint8_t>{0xFF, 0xC0}).begin();
  ASSERT_NE(sof, jpeg.end());
  sof[14] = 0x10;  // component 2: h 1, v 0
  WindowSession h;
  ASSERT_TRUE(h.Load(jpeg));
  EXPECT_FALSE(h.form.LOCATE.enabled);
  EXPECT_FALSE(h.form.REPAIR.enabled);
}

TEST(RepairMenu, LocateChoosesTheDamagedMcuAsAPressWould) {
  EncodeOptions options = Photo(2, 2);  // 16 x 16 MCUs, three to a row
  options.height = 48;
  options.restartInterval = 1;
  DamagedPhoto h(options);
  const std::vector<int32_t> markers = RestartMarkers(h.original, h.scanStart);
  ASSERT_EQ(markers.size(), 8u);  // nine MCUs
  // MCU 4, (1, 1), loses a byte in the middle of its data.
  h.LoadDamaged((markers[3] + 2 + markers[4]) / 2, 1, {});
  ASSERT_TRUE(h.form.LOCATE.Click());
  EXPECT_EQ(h.form.MCUX.text, "1");
  EXPECT_EQ(h.form.MCUY.text, "1");
  EXPECT_TRUE(h.form.BITCHK.enabled);
  EXPECT_TRUE(h.form.MCUCHK.enabled);
  // The same as a press on that MCU.
  const McuPointerState located = h.inspect.McuPointer;
  const int32_t selected = h.dump.DumpPage * 256 + h.dump.SelectedCell;
  h.PressMcu(0, 0);
  h.PressMcu(1, 1);
  EXPECT_EQ(located.BytePos, h.inspect.McuPointer.BytePos);
  EXPECT_EQ(located.BitIndex, h.inspect.McuPointer.BitIndex);
  EXPECT_EQ(selected, located.BytePos);
  EXPECT_EQ(h.file.bytes, h.damaged);
}

TEST(RepairMenu, CleanFileIsReportedAndLeftAlone) {
  DamagedPhoto h(Photo(2, 1));
  ASSERT_TRUE(h.Load(h.original));
  const int lines = h.form.LOG.Count();
  for (window::Command* command : {&h.form.LOCATE, &h.form.REPAIR, &h.form.SALVAGE}) {
    ASSERT_TRUE(command->Click());
    EXPECT_EQ(h.LastMessage(), "破損は見つかりませんでした");
  }
  EXPECT_EQ(h.file.bytes, h.original);
  EXPECT_EQ(h.form.LOG.Count(), lines);
  EXPECT_EQ(h.form.LOG.tag, kMarkerListTag);
  EXPECT_FALSE(h.form.UNDO.enabled);
}

// A bit flipped in the middle of a photo's scan, where it breaks the decode.
struct FlippedBit : DamagedPhoto {
  FlippedBit() : DamagedPhoto(Options()) {
    position = scanStart + static_cast<int32_t>(original.size() - static_cast<size_t>(scanStart)) / 2;
    LoadDamaged(position, 1, {static_cast<uint8_t>(original[static_cast<size_t>(position)] ^ 0x10)});
  }
  static EncodeOptions Options() {
    EncodeOptions o = Photo(2, 2);
    o.width = 64;
    o.height = 48;
    return o;
  }
  int32_t position = 0;
};

TEST(RepairMenu, RepairListsTheVerifiedRepairAndItsDoubleClickRestoresTheOriginal) {
  FlippedBit h;
  ASSERT_TRUE(h.form.REPAIR.Click());
  EXPECT_EQ(h.dialogs.progressTexts, std::vector<std::string>{"修復候補を検索しています…"});
  EXPECT_FALSE(h.dialogs.progressSteps.empty());
  ASSERT_GE(h.form.LOG.Count(), 1);
  EXPECT_EQ(h.form.LOG.tag, kRepairListTag);
  // The line of the repair that undoes the damage, named by its position, bit and
  // bytes.
  char expected[32];
  std::snprintf(expected, sizeof expected, "%08X-3:%02X→%02X ", static_cast<unsigned>(h.position),
                h.damaged[static_cast<size_t>(h.position)], h.original[static_cast<size_t>(h.position)]);
  const auto& lines = h.form.LOG.lines;
  const auto line = std::find_if(lines.begin(), lines.end(),
                                 [&](const std::string& text) { return text.rfind(expected, 0) == 0; });
  ASSERT_NE(line, lines.end()) << expected;
  const int index = static_cast<int>(line - lines.begin());
  EXPECT_EQ(h.analysis.LineAddress[static_cast<size_t>(index)], h.position);
  EXPECT_EQ(h.file.bytes, h.damaged);  // listing changes nothing

  h.form.LOG.Click(index);
  h.form.LOG.DblClick(index);
  EXPECT_EQ(h.file.bytes, h.original);
  ASSERT_TRUE(h.form.UNDO.Click());
  EXPECT_EQ(h.file.bytes, h.damaged);
}

// A file cut in the middle of its scan: 救出 keeps every MCU that arrived, makes up
// the rest, outlines those in red and asks; "いいえ" takes it back, "はい" keeps it as
// one correction that 元に戻す undoes to the exact bytes.
TEST(RepairMenu, SalvageOutlinesTheMadeUpMcusAndIsUndoneWhole) {
  EncodeOptions options = Photo(2, 2);
  options.width = 64, options.height = 64;
  DamagedPhoto h(options);
  const auto cut = static_cast<int32_t>((h.original.size() + static_cast<size_t>(h.scanStart)) / 2);
  h.LoadDamaged(cut, static_cast<int>(h.original.size()) - cut, {});
  ASSERT_TRUE(h.form.SALVAGE.enabled);
  h.dialogs.answers.push_back(window::Answer::No);
  ASSERT_TRUE(h.form.SALVAGE.Click());
  EXPECT_EQ(h.dialogs.progressTexts.back(), "救出しています…");
  // The question; after it the damaged file is analysed again, with its warning.
  ASSERT_GE(h.dialogs.messages.size(), 2u);
  EXPECT_NE(h.dialogs.messages[1].text.find("救出した画像を残しますか"), std::string::npos);
  EXPECT_EQ(h.file.bytes, h.damaged);
  EXPECT_FALSE(h.form.UNDO.enabled);

  h.dialogs.answers.push_back(window::Answer::Yes);
  ASSERT_TRUE(h.form.SALVAGE.Click());
  EXPECT_NE(h.file.bytes, h.damaged);
  ASSERT_GE(h.form.LOG.Count(), 1);
  EXPECT_EQ(h.form.LOG.lines[0].rfind("作成 MCU (", 0), 0u) << h.form.LOG.lines[0];
  // The last MCU (bottom right) was lost: its frame is red; the first is the file's own.
  const PixelStore& pixels = h.decode.ImagePixels;
  const auto at = [&](int x, int y) {
    return pixels[static_cast<size_t>(63 - y) * 64 + static_cast<size_t>(x)];
  };
  EXPECT_EQ(at(63, 63), 0xFF0000u);
  EXPECT_NE(at(0, 0), 0xFF0000u);
  EXPECT_EQ(DecodeWithLibjpeg(std::vector<uint8_t>(h.file.bytes.begin(), h.file.bytes.end())).width, 64);
  ASSERT_TRUE(h.form.UNDO.Click());
  EXPECT_EQ(h.file.bytes, h.damaged);
}

TEST(RepairMenu, CancelledSearchChangesNothing) {
  FlippedBit h;
  const int lines = h.form.LOG.Count();
  const std::string tag = h.form.LOG.tag;
  const size_t messages = h.dialogs.messages.size();
  h.dialogs.cancelProgressAfter = 1;
  ASSERT_TRUE(h.form.REPAIR.Click());
  EXPECT_EQ(h.dialogs.progressTexts.size(), 1u);
  EXPECT_EQ(h.file.bytes, h.damaged);
  EXPECT_EQ(h.form.LOG.Count(), lines);
  EXPECT_EQ(h.form.LOG.tag, tag);
  EXPECT_EQ(h.dialogs.messages.size(), messages);
  EXPECT_FALSE(h.form.UNDO.enabled);
  EXPECT_TRUE(h.form.REPAIR.enabled);
}

// The list scrolls through the best 32; the repair that repair would apply is listed
// first and marked, wherever the fit ranks it.
TEST(RepairLines, ListTheChoiceFirstAndMarkedAmongTheBest32) {
  SearchResult search;
  for (int i = 0; i < 40; ++i) search.verified.push_back({ScanEdit::Bit(1000 + i, 0, 0x10), {}});
  const std::vector<RepairLine> lines = RepairLines(search, search.verified[39].edit);
  ASSERT_EQ(lines.size(), kListedRepairs);
  EXPECT_EQ(kListedRepairs, 32u);
  EXPECT_EQ(lines[0].entry.Position, 1039);
  EXPECT_TRUE(lines[0].text.ends_with(" 推奨")) << lines[0].text;
  EXPECT_EQ(lines[1].entry.Position, 1000);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const RepairLine& l) { return l.text.ends_with(" 推奨"); }),
            1);
}

}  // namespace
}  // namespace vorn::testing
