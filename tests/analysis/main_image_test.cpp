// Where the main image of a camera file lies: a thumbnail's markers inside APPn
// segments, or what follows the main image's EOI, stop the analysis, and only then
// is an analysis of the main image alone offered.
#include "analysis/main_image.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>

#include "analysis/analysis_harness.h"
#include "support/libjpeg_peer.h"

namespace vorn::testing {
namespace {

const std::string kFixtureDir = std::string(VORN_SOURCE_DIR) + "/tests/fixtures/";

// An APPn payload that carries a whole small JPEG after an identifier, as EXIF
// (APP1) and MPF (APP2) carry their thumbnails and previews.
std::vector<uint8_t> Carrying(const std::string& id, const std::vector<uint8_t>& jpeg) {
  std::vector<uint8_t> payload(id.begin(), id.end());
  payload.insert(payload.end(), {0, 0});
  payload.insert(payload.end(), jpeg.begin(), jpeg.end());
  return payload;
}

// The tables, frame, scan and EOI of a sound grey picture: the main image after
// its SOI and APPn segments.
void MainImage(JpegBuilder& b) {
  const MinimalFile f = BuildMinimal();
  b.Raw(std::vector<uint8_t>(f.bytes.begin() + f.dqt, f.bytes.end()));
}

// The same with a second scan of its own before its EOI.
void MainImageWithTwoScans(JpegBuilder& b) {
  const MinimalFile f = BuildMinimal();
  b.Raw(std::vector<uint8_t>(f.bytes.begin() + f.dqt, f.bytes.begin() + f.eoi));
  b.Sos(GreyScan()).Raw({0x00}).Eoi();
}

struct Layout {
  std::vector<uint8_t> bytes;
  std::optional<int32_t> mainImage;  // where the restart is offered, if it is
  int32_t end = -1;                  // just after the main image's EOI, when bytes follow it
};

struct LayoutRow {
  const char* name;
  std::function<Layout()> build;
};

void PrintTo(const LayoutRow& row, std::ostream* os) {
  *os << row.name;
}

class MainImageStartOf : public ::testing::TestWithParam<LayoutRow> {};

TEST_P(MainImageStartOf, IsOfferedOnlyWhenTheStopLiesInsideApplicationSegmentsOrAfterTheImage) {
  const Layout layout = GetParam().build();
  AnalysisHarness h;
  const bool completed = h.Analyse(layout.bytes);
  EXPECT_EQ(MainImageStart(h.file, h.analysis), layout.mainImage);
  if (!layout.mainImage) return;
  EXPECT_EQ(MainImageOf(h.file, h.analysis)->end, layout.end);
  EXPECT_FALSE(completed);
  // From there the main image analyses to its end.
  h.analysis.AnalysisEnd = layout.end;
  EXPECT_TRUE(h.Analyse(layout.bytes, *layout.mainImage));
  EXPECT_EQ(MainImageStart(h.file, h.analysis), std::nullopt);
}

const LayoutRow kLayouts[] = {
    {"ExifThumbnailRepeatsTheScan",
     [] {
       JpegBuilder b;
       b.Soi().App(1, Carrying("Exif", BuildMinimal().bytes));
       const int32_t main = b.Size();
       MainImage(b);
       return Layout{b.Bytes(), main};
     }},
    {"ThumbnailsInTwoSegmentsRestartAfterTheLastOneEvenBeforeAnEmptySegment",
     [] {
       JpegBuilder b;
       b.Soi().App(1, Carrying("Exif", BuildMinimal().bytes)).App(2, Carrying("MPF", BuildMinimal().bytes));
       const int32_t app13 = b.Size();
       b.App(13, {'P', 'h', 'o', 't', 'o'});
       MainImage(b);
       return Layout{b.Bytes(), app13};
     }},
    {"FillBytesBetweenSegmentsAreWalkedOver",
     [] {
       JpegBuilder b;
       b.Soi().Raw({0xFF, 0xFF}).App(1, Carrying("Exif", BuildMinimal().bytes)).Raw({0xFF});
       const int32_t main = b.Size();  // FF FF DB: the marker is at the last FF
       MainImage(b);
       return Layout{b.Bytes(), main};
     }},
    {"AFrameHeaderInsideTheSegmentStopsTheParser",
     [] {
       // Maker-note bytes that read as an SOF0 of precision 12; no SOS with them.
       JpegBuilder b;
       b.Soi().App(1, {'E', 'x', 'i', 'f', 0, 0, 0xFF, 0xC0, 0x00, 0x0B, 12, 0, 8, 0, 8, 1, 1, 0x11, 0});
       const int32_t main = b.Size();
       MainImage(b);
       return Layout{b.Bytes(), main};
     }},
    {"AThousandMarkersInsideTheSegment",
     [] {
       std::vector<uint8_t> payload = {'X', 'M', 'P', 0};
       for (int n = 0; n < 1000; ++n) payload.insert(payload.end(), {0xFF, 0x01});
       JpegBuilder b;
       b.Soi().App(1, payload);
       const int32_t main = b.Size();
       MainImage(b);
       return Layout{b.Bytes(), main};
     }},
    {"ACompletedAnalysis",
     [] {
       return Layout{BuildMinimal().bytes, std::nullopt};
     }},
    {"SegmentsWithoutMarkers",
     [] {
       // The main image itself stops (no Huffman table): nothing to step past.
       JpegBuilder b;
       b.Soi().App(1, {'E', 'x', 'i', 'f', 0, 0}).Dqt(0, FlatQuant(8)).Sof0(8, 8, Grey());
       b.Sos(GreyScan()).Raw({0x00}).Eoi();
       return Layout{b.Bytes(), std::nullopt};
     }},
    {"TheMainImageHasTwoScansOfItsOwn",
     [] {
       JpegBuilder b;
       b.Soi().App(1, Carrying("Exif", BuildMinimal().bytes));
       MainImageWithTwoScans(b);
       return Layout{b.Bytes(), std::nullopt};
     }},
    {"ASecondImageAfterTheEoiAsInMpoFiles",
     [] {
       JpegBuilder b;
       b.Soi().App(1, Carrying("Exif", BuildMinimal().bytes));
       const int32_t main = b.Size();
       MainImage(b);
       const int32_t end = b.Size();
       b.Raw(BuildMinimal().bytes);
       return Layout{b.Bytes(), main, end};
     }},
    {"ASecondImageAfterTheEoiWithoutThumbnail",
     [] {
       JpegBuilder b;
       b.Raw(BuildMinimal().bytes);
       const int32_t end = b.Size();
       b.Raw({0, 0, 0xFF, 0xD8}).Raw(BuildMinimal().bytes);
       return Layout{b.Bytes(), 0, end};
     }},
    {"TheMainImageStopsBeforeWhatFollowsIt",
     [] {
       JpegBuilder b;
       b.Soi();
       MainImageWithTwoScans(b);
       b.Raw(BuildMinimal().bytes);
       return Layout{b.Bytes(), std::nullopt};
     }},
    {"AFrameHeaderOfTheMainImageStopsTheParser",
     [] {
       JpegBuilder b;
       b.Soi().App(1, {'E', 'x', 'i', 'f', 0, 0, 0xFF, 0x01}).Dqt(0, FlatQuant(8));
       b.Sof(0xC0, 8, 8, Grey(), 12).Dht({StandardLuminanceDc(), StandardLuminanceAc()});
       b.Sos(GreyScan()).Raw({0x00}).Eoi();
       return Layout{b.Bytes(), std::nullopt};
     }},
    {"ALengthThatLeadsNowhereEndsTheWalk",
     [] {
       JpegBuilder b;
       b.Soi().Segment(0xE1, Carrying("Exif", BuildMinimal().bytes), 7);
       MainImage(b);
       return Layout{b.Bytes(), std::nullopt};
     }},
};

INSTANTIATE_TEST_SUITE_P(Layouts, MainImageStartOf, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AppSegmentsOfImage, FollowsTheLengthsToTheScanAndKeepsOnlyApplicationSegments) {
  JpegBuilder b;
  b.Soi();
  const int32_t app1 = b.Size();
  b.App(1, {1, 2, 3});
  const int32_t com = b.Size();
  b.Com("c");
  const int32_t app2 = b.Size();
  b.App(2, {});
  const int32_t dqt = b.Size();
  b.Dqt(0, FlatQuant(1)).Sos(GreyScan());
  const int32_t late = b.Size();
  b.App(3, {9}).Eoi();
  const FileImage file{b.Bytes()};
  EXPECT_EQ(AppSegmentsOfImage(file, 0), (std::vector<AppSegment>{{app1, com}, {app2, dqt}}));
  EXPECT_EQ(AppSegmentsOfImage(file, com), (std::vector<AppSegment>{{app2, dqt}}));
  EXPECT_EQ(AppSegmentsOfImage(file, late), (std::vector<AppSegment>{{late, late + 5}}));
  EXPECT_TRUE(AppSegmentsOfImage(file, late + 1).empty());
  // Cut short anywhere, the walk never reads past the end.
  for (size_t n = 0; n < file.bytes.size(); ++n) {
    const FileImage cut{std::vector<uint8_t>(file.bytes.begin(), file.bytes.begin() + n)};
    for (const AppSegment& s : AppSegmentsOfImage(cut, 0)) EXPECT_LT(s.end, cut.FileLength());
  }
}

TEST(MainImageStart, TheExifFixtureRestartsAtItsFirstQuantizationTable) {
  AnalysisHarness h;
  const std::vector<uint8_t> bytes = ReadFileBytes(kFixtureDir + "exif_thumbnail.jpg");
  EXPECT_FALSE(h.Analyse(bytes));
  EXPECT_EQ(AppSegmentsOfImage(h.file, 0), (std::vector<AppSegment>{{0x2, 0x2BB}}));
  EXPECT_EQ(MainImageStart(h.file, h.analysis), 0x2BB);
}

}  // namespace
}  // namespace vorn::testing
