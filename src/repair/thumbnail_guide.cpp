#include "repair/thumbnail_guide.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/median.h"
#include "jpeg/marker_codes.h"
#include "jpeg/segment_map.h"
#include "jpeg/segment_parsers.h"

namespace vorn {

namespace {

// Undamaged luma blocks of MCUs before the damage needed to tell how closely the
// thumbnail follows the picture: below this, a few blocks of sky would set the scale.
// A chroma component of 4:2:0 has a quarter of them.
constexpr size_t kLeastCalibrationBlocks = 256;
constexpr size_t kLeastChromaBlocks = kLeastCalibrationBlocks / 4;

// The thumbnail is of use only where it explains the picture: the spread of the luma
// blocks about it (robust sigma, in levels) at most this share of the blocks' own
// spread about their median, and at most kLargestScale levels. The thumbnails of 24
// photos of four encoders (Lanczos to 160 x 120, JPEG quality 80) left 0.01 to 0.13
// of the spread and 0.5 to 2.9 levels at 1 MP or less; the thumbnail of another
// photo-like picture of the test suite's, much like it, 0.28 and 9 levels.
constexpr double kMostUnexplained = 0.2;
constexpr double kLargestScale = 8;
// Quantization alone moves a block's mean by a level or so: no scale below that.
constexpr double kLeastScale = 1.0;
// The spread of the undamaged blocks is taken in this many classes of the thumbnail's
// activity around them.
constexpr size_t kActivityClasses = 8;

// A block mean's difference from the thumbnail, z in units of the undamaged blocks'
// spread, costs the negative log-likelihood of Student's t with four degrees of
// freedom (less its value at 0): like a normal law near 0, but a block that strays
// far (the picture's texture below the thumbnail's resolution, a small edit made
// after it) costs only the log of how far, so that no single block decides.
constexpr double kDegrees = 4;
double Cost(double z) {
  return 0.5 * (kDegrees + 1) * std::log1p(z * z / kDegrees);
}

// The samples of a decoded picture, per component, as its own plane.
struct Decoded {
  std::unique_ptr<ScanModel> model;
  ScanPass pass;
};

// Decodes a baseline JPEG picture that bytes hold from its SOI on, strictly: false
// unless every interval of its one scan decodes as an encoder writes it, and unless
// it is at most as wide and high as the main picture (a thumbnail is smaller; a
// larger one would only cost memory).
bool DecodeStrictly(std::span<const uint8_t> bytes, const ScanModel& main, Decoded& out) {
  JpegDocument doc;
  doc.StartParse();
  doc.Segments = ListMarkers(bytes, 0, static_cast<int64_t>(bytes.size()), 64);
  const auto frame = std::find_if(doc.Segments.begin(), doc.Segments.end(),
                                  [](const Segment& s) { return marker::IsFrameMarker(s.Marker); });
  if (frame == doc.Segments.end() || frame->Marker != marker::kSOF0) return false;
  Findings findings;
  ParseContext ctx{bytes, doc, findings};
  if (ParseSegments(ctx, doc.Segments, [](const Segment&, const SegmentRead&) {}).stoppedAt) return false;
  doc.FinishParse();
  if (doc.scan.ScanDataStart <= 0 || doc.scan.ScanComponentCount != doc.frame.ComponentCount ||
      doc.frame.FrameWidth > main.frameWidth || doc.frame.FrameHeight > main.frameHeight)
    return false;
  std::string problem;
  out.model = ScanModelOf(doc, problem);
  if (!out.model) return false;
  RunScanPass(*out.model, PatchedBytes(bytes.data(), static_cast<int64_t>(bytes.size())), true, out.pass);
  return out.pass.Clean();
}

// The thumbnail's sample of plane c at (u, v) in its pixels (pixel i covers [i, i + 1)),
// bilinear between the pixel centres.
double Bilinear(const ComponentPlanes& t, int c, double u, double v) {
  const int32_t w = t.visibleWidth[static_cast<size_t>(c)], h = t.visibleHeight[static_cast<size_t>(c)];
  const double x = std::clamp(u - 0.5, 0.0, static_cast<double>(w - 1));
  const double y = std::clamp(v - 0.5, 0.0, static_cast<double>(h - 1));
  const auto x0 = static_cast<int32_t>(x), y0 = static_cast<int32_t>(y);
  const int32_t x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
  const double fx = x - x0, fy = y - y0;
  const double top = t.At(c, x0, y0) * (1 - fx) + t.At(c, x1, y0) * fx;
  const double bottom = t.At(c, x0, y1) * (1 - fx) + t.At(c, x1, y1) * fx;
  return top * (1 - fy) + bottom * fy;
}

// What the thumbnail's plane c shows on average over the part [fx0, fx1) x [fy0, fy1)
// of the picture (fractions of its width and height): the bilinear surface sampled on
// a grid of two points a thumbnail pixel each way (at least two, at most eight).
double AreaMean(const ComponentPlanes& t, int c, double fx0, double fx1, double fy0, double fy1) {
  const double u0 = fx0 * t.visibleWidth[static_cast<size_t>(c)],
               u1 = fx1 * t.visibleWidth[static_cast<size_t>(c)];
  const double v0 = fy0 * t.visibleHeight[static_cast<size_t>(c)],
               v1 = fy1 * t.visibleHeight[static_cast<size_t>(c)];
  const int nu = std::clamp(static_cast<int>(std::ceil((u1 - u0) * 2)), 2, 8);
  const int nv = std::clamp(static_cast<int>(std::ceil((v1 - v0) * 2)), 2, 8);
  double sum = 0;
  for (int j = 0; j < nv; ++j)
    for (int i = 0; i < nu; ++i)
      sum += Bilinear(t, c, u0 + (i + 0.5) / nu * (u1 - u0), v0 + (j + 0.5) / nv * (v1 - v0));
  return sum / (nu * nv);
}

// The mean of block (gx, gy) of component c.
double BlockMean(const ComponentPlanes& planes, int c, int32_t gx, int32_t gy) {
  int32_t sum = 0;
  for (int32_t y = gy * 8; y < gy * 8 + 8; ++y)
    for (int32_t x = gx * 8; x < gx * 8 + 8; ++x) sum += planes.At(c, x, y);
  return sum / 64.0;
}

// Robust sigma of v about m: the median absolute deviation of a normal law's scale.
double Spread(const std::vector<double>& v, double m) {
  std::vector<double> d(v.size());
  std::transform(v.begin(), v.end(), d.begin(), [m](double x) { return std::abs(x - m); });
  return 1.4826 * Median(std::move(d));
}

}  // namespace

std::unique_ptr<ThumbnailGuide> ThumbnailGuide::Make(const ScanModel& model, std::span<const uint8_t> bytes,
                                                     const ScanPass& pass, int32_t cleanMcus) {
  if (pass.planes.count != model.components || !model.GridMatchesSampling()) return nullptr;
  std::vector<AppRange> apps;
  if (WalkHeaders(bytes, 0, apps, true) < 0) return nullptr;
  const auto carrier = std::find_if(apps.begin(), apps.end(), [](const AppRange& a) { return a.Thumbnail; });
  if (carrier == apps.end()) return nullptr;
  const ByteRange range = *carrier->Thumbnail;
  Decoded thumb;
  if (!DecodeStrictly(
          bytes.subspan(static_cast<size_t>(range.Begin), static_cast<size_t>(range.End - range.Begin)),
          model, thumb))
    return nullptr;
  const ComponentPlanes& t = thumb.pass.planes;

  std::unique_ptr<ThumbnailGuide> guide(new ThumbnailGuide(model));
  // Colour against colour; a grey picture or a grey thumbnail: luma alone.
  guide->components_ = t.count == model.components ? model.components : 1;
  const int32_t perRow = model.geometry.McusPerRow;
  const int32_t cleanRows = std::clamp(cleanMcus, 0, model.totalMcus) / std::max(perRow, 1);
  const int32_t cleanColumns = std::clamp(cleanMcus, 0, model.totalMcus) % std::max(perRow, 1);
  for (int c = 0; c < guide->components_; ++c) {
    const auto i = static_cast<size_t>(c);
    const int32_t vw = pass.planes.visibleWidth[i], vh = pass.planes.visibleHeight[i];
    const int32_t bw = pass.planes.width[i] / 8, bh = pass.planes.height[i] / 8;
    guide->blocksPerRow_[i] = bw;
    std::vector<float>& expected = guide->expected_[i];
    expected.assign(static_cast<size_t>(bw) * bh, std::numeric_limits<float>::quiet_NaN());
    for (int32_t gy = 0; gy < bh; ++gy)
      for (int32_t gx = 0; gx < bw; ++gx)
        if ((gx + 1) * 8 <= vw && (gy + 1) * 8 <= vh)  // not a block the picture's edge cuts
          expected[static_cast<size_t>(gy) * bw + gx] = static_cast<float>(
              AreaMean(t, c, gx * 8.0 / vw, (gx + 1) * 8.0 / vw, gy * 8.0 / vh, (gy + 1) * 8.0 / vh));
    // How much the thumbnail changes around each block: where it does, the picture
    // holds detail that the thumbnail's few pixels only average, and a block strays
    // further from it.
    const auto at = [&](int32_t gx, int32_t gy) {
      return gx < 0 || gy < 0 || gx >= bw || gy >= bh ? std::numeric_limits<float>::quiet_NaN()
                                                      : expected[static_cast<size_t>(gy) * bw + gx];
    };
    std::vector<float> activity(expected.size(), 0);
    for (int32_t gy = 0; gy < bh; ++gy)
      for (int32_t gx = 0; gx < bw; ++gx) {
        const float e = at(gx, gy);
        float sum = 0;
        int n = 0;
        for (const float nb : {at(gx - 1, gy), at(gx + 1, gy), at(gx, gy - 1), at(gx, gy + 1)})
          if (!std::isnan(nb)) sum += std::abs(nb - e), ++n;
        activity[static_cast<size_t>(gy) * bw + gx] = n > 0 ? sum / static_cast<float>(n) : 0;
      }
    // The undamaged blocks: those of the MCUs before the damage.
    std::vector<double> differences, means;
    std::vector<std::pair<float, double>> byActivity;
    for (int32_t gy = 0; gy < bh; ++gy) {
      for (int32_t gx = 0; gx < bw; ++gx) {
        const int32_t mcuRow = gy / model.v[i], mcuColumn = gx / model.h[i];
        if (mcuRow > cleanRows || (mcuRow == cleanRows && mcuColumn >= cleanColumns)) continue;
        const size_t k = static_cast<size_t>(gy) * bw + gx;
        if (std::isnan(expected[k])) continue;
        means.push_back(BlockMean(pass.planes, c, gx, gy));
        differences.push_back(means.back() - expected[k]);
        byActivity.emplace_back(activity[k], differences.back());
      }
    }
    if (differences.size() < (c == 0 ? kLeastCalibrationBlocks : kLeastChromaBlocks)) return nullptr;
    const double offset = Median(differences);
    guide->offset_[i] = offset;
    const double scale = Spread(differences, offset);
    if (c == 0) {
      const double own = Spread(means, Median(means));
      if (scale > kLargestScale || scale > kMostUnexplained * own) return nullptr;
    }
    // The spread in classes of equal size by activity, each block's from its class.
    std::sort(byActivity.begin(), byActivity.end());
    std::array<float, kActivityClasses> upper{};
    std::array<double, kActivityClasses> spread{};
    for (size_t b = 0; b < kActivityClasses; ++b) {
      const size_t from = byActivity.size() * b / kActivityClasses,
                   to = byActivity.size() * (b + 1) / kActivityClasses;
      std::vector<double> d;
      for (size_t j = from; j < to; ++j) d.push_back(byActivity[j].second);
      upper[b] = to > from ? byActivity[to - 1].first : 0;
      spread[b] = std::max(Spread(d, offset), kLeastScale);
    }
    std::vector<float>& sigma = guide->sigma_[i];
    sigma.resize(expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
      const size_t b =
          static_cast<size_t>(std::lower_bound(upper.begin(), upper.end() - 1, activity[k]) - upper.begin());
      sigma[k] = static_cast<float>(spread[b]);
    }
  }
  // The least likely undamaged MCU.
  for (int32_t m = 0; m < std::clamp(cleanMcus, 0, model.totalMcus); ++m) {
    double misfit = 0;
    for (int c = 0; c < guide->components_; ++c)
      for (int32_t by = 0; by < model.v[static_cast<size_t>(c)]; ++by)
        for (int32_t bx = 0; bx < model.h[static_cast<size_t>(c)]; ++bx) {
          const int32_t gx = (m % perRow) * model.h[static_cast<size_t>(c)] + bx;
          const int32_t gy = (m / perRow) * model.v[static_cast<size_t>(c)] + by;
          misfit += guide->BlockMisfit(c, gx, gy, BlockMean(pass.planes, c, gx, gy));
        }
    guide->worstUndamaged_ = std::max(guide->worstUndamaged_, misfit);
  }
  return guide;
}

double ThumbnailGuide::BlockMisfit(int c, int32_t gx, int32_t gy, double mean) const {
  const auto i = static_cast<size_t>(c);
  if (c >= components_ || gx < 0 || gy < 0 || gx >= blocksPerRow_[i]) return 0;
  const size_t k = static_cast<size_t>(gy) * blocksPerRow_[i] + gx;
  if (k >= expected_[i].size() || std::isnan(expected_[i][k])) return 0;
  return Cost((mean - expected_[i][k] - offset_[i]) / sigma_[i][k]);
}

template <class Visit>
void ThumbnailGuide::ForEachBlock(std::span<const uint8_t> samples, int32_t firstMcu, int32_t mcus,
                                  Visit visit) const {
  const int32_t perRow = model_.geometry.McusPerRow;
  size_t at = 0;  // into samples: MCU by MCU, component by component, row by row
  for (int32_t m = firstMcu; m < firstMcu + mcus; ++m) {
    for (int c = 0; c < model_.components; ++c) {
      const auto i = static_cast<size_t>(c);
      const int32_t w = 8 * model_.h[i], h = 8 * model_.v[i];
      if (at + static_cast<size_t>(w * h) > samples.size()) return;
      for (int32_t by = 0; by < model_.v[i]; ++by) {
        for (int32_t bx = 0; bx < model_.h[i]; ++bx) {
          int32_t sum = 0;
          for (int32_t y = by * 8; y < by * 8 + 8; ++y)
            for (int32_t x = bx * 8; x < bx * 8 + 8; ++x) sum += samples[at + static_cast<size_t>(y * w + x)];
          visit(m, c, (m % perRow) * model_.h[i] + bx, (m / perRow) * model_.v[i] + by, sum / 64.0);
        }
      }
      at += static_cast<size_t>(w * h);
    }
  }
}

template <class Visit>
void ThumbnailGuide::ForEachMcu(std::span<const uint8_t> samples, int32_t firstMcu, int32_t mcus,
                                Visit visit) const {
  int32_t current = firstMcu;
  double misfit = 0;
  ForEachBlock(samples, firstMcu, mcus, [&](int32_t m, int c, int32_t gx, int32_t gy, double mean) {
    if (m != current) {
      visit(misfit);
      current = m;
      misfit = 0;
    }
    misfit += BlockMisfit(c, gx, gy, mean);
  });
  if (!samples.empty()) visit(misfit);
}

double ThumbnailGuide::Preference(const RatedMcus& a, const RatedMcus& b, int32_t firstMcu) const {
  const auto mcus = static_cast<int32_t>(std::min(a.mcuHash.size(), b.mcuHash.size()));
  std::vector<double> others;
  ForEachBlock(b.samples, firstMcu, mcus,
               [&](int32_t, int, int32_t, int32_t, double mean) { others.push_back(mean); });
  double preference = 0;
  size_t j = 0;
  ForEachBlock(a.samples, firstMcu, mcus, [&](int32_t, int c, int32_t gx, int32_t gy, double mean) {
    if (j >= others.size()) return;
    const double other = others[j++];
    if (std::abs(mean - other) >= kLeastMeanDifference)
      preference += BlockMisfit(c, gx, gy, other) - BlockMisfit(c, gx, gy, mean);
  });
  return preference;
}

double ThumbnailGuide::Misfit(const RatedMcus& rated, int32_t firstMcu) const {
  double misfit = 0;
  ForEachMcu(rated.samples, firstMcu, static_cast<int32_t>(rated.mcuHash.size()),
             [&](double mcu) { misfit += mcu; });
  return misfit;
}

double ThumbnailGuide::WorstMcu(const RatedMcus& rated, int32_t firstMcu) const {
  double worst = 0;
  ForEachMcu(rated.samples, firstMcu, static_cast<int32_t>(rated.mcuHash.size()),
             [&](double mcu) { worst = std::max(worst, mcu); });
  return worst;
}

}  // namespace vorn
