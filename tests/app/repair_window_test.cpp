#include <gtest/gtest.h>

#include <cstdlib>

#include "analysis/message_log.h"
#include "app/repair_handlers.h"
#include "support/analysed_jpeg.h"
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
  ListRepairCandidates(h.app, {{repair, "candidate"}});
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

}  // namespace
}  // namespace vorn::testing
