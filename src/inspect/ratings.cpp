#include "inspect/ratings.h"

#include <cstdlib>

namespace vorn {

namespace {

// Three traced MCUs are rated; a buffer may hold more.
constexpr int32_t kRatedMcus = 3;

int32_t Red(uint32_t p) {
  return static_cast<int32_t>((p >> 16) & 0xFF);
}
int32_t Green(uint32_t p) {
  return static_cast<int32_t>((p >> 8) & 0xFF);
}
int32_t Blue(uint32_t p) {
  return static_cast<int32_t>(p & 0xFF);
}

// Signed per-channel sums of differences. With at most 16 pairs of 0..255 values a
// sum stays within +-4080, far inside 32 bits.
struct ChannelSums {
  int32_t r = 0;
  int32_t g = 0;
  int32_t b = 0;
  void Add(uint32_t minuend, uint32_t subtrahend) {
    r += Red(minuend) - Red(subtrahend);
    g += Green(minuend) - Green(subtrahend);
    b += Blue(minuend) - Blue(subtrahend);
  }
  int32_t Magnitude() const { return std::abs(r) + std::abs(g) + std::abs(b); }
};

bool BufferFits(const McuBuffer& buffer, const RatingContext& context) {
  return buffer.width == context.mcuWidth && buffer.height == context.mcuHeight && buffer.width > 0 &&
         buffer.height > 0 && buffer.count >= kRatedMcus &&
         buffer.pixels.size() >= static_cast<size_t>(buffer.width) * buffer.height * kRatedMcus;
}

// The picture can be read only when it really holds X x Y pixels.
bool PictureFits(const RatingContext& context) {
  return context.imagePixels != nullptr && context.width > 0 && context.height > 0 &&
         context.imagePixels->size() >= static_cast<size_t>(context.width) * context.height;
}

// Picture pixel at column x of image line y (counted from the top); the caller has
// checked both against X and Y.
uint32_t PicturePixel(const RatingContext& context, int64_t x, int64_t y) {
  const int64_t row = context.height - 1 - y;  // rows are stored bottom-up
  return (*context.imagePixels)[static_cast<size_t>(row * context.width + x)];
}

int32_t Average(int32_t total, int32_t pairs) {
  return pairs == 0 ? 0 : total / pairs;
}

}  // namespace

McuCell TracedMcuCell(const RatingContext& context, int32_t m) {
  McuCell cell{context.column, context.row};
  if (context.mcuWidth <= 0) return cell;
  const int32_t lastColumn = (context.width - 1) / context.mcuWidth;
  for (int32_t i = 0; i < m; ++i) {
    if (cell.column >= lastColumn) {
      cell.column = 0;
      ++cell.row;
    } else {
      ++cell.column;
    }
  }
  return cell;
}

int32_t TopEdgeScore(const McuBuffer& buffer, const RatingContext& context) {
  if (!BufferFits(buffer, context) || !PictureFits(context)) return 0;
  int32_t total = 0;
  int32_t pairs = 0;
  for (int32_t m = 0; m < kRatedMcus; ++m) {
    const McuCell cell = TracedMcuCell(context, m);
    const int64_t line = static_cast<int64_t>(cell.row) * context.mcuHeight - 1;
    if (line < 0 || line >= context.height) continue;
    ChannelSums sums;
    for (int32_t x = 0; x < buffer.width; ++x) {
      const int64_t column = static_cast<int64_t>(cell.column) * context.mcuWidth + x;
      if (column < 0 || column >= context.width) continue;
      sums.Add(buffer.At(x, 0, m), PicturePixel(context, column, line));
      ++pairs;
    }
    total += sums.Magnitude();
  }
  return Average(total, pairs);
}

int32_t SeamScore(const McuBuffer& buffer, const RatingContext& context) {
  if (!BufferFits(buffer, context)) return 0;
  int32_t total = 0;
  for (int32_t m = 1; m < kRatedMcus; ++m) {
    ChannelSums sums;
    for (int32_t y = 0; y < buffer.height; ++y)
      sums.Add(buffer.At(buffer.width - 1, y, m - 1), buffer.At(0, y, m));
    total += sums.Magnitude();
  }
  return total / (2 * buffer.height);
}

int32_t LeftEdgeScore(const McuBuffer& buffer, const RatingContext& context) {
  if (!BufferFits(buffer, context) || !PictureFits(context)) return 0;
  const int64_t column = static_cast<int64_t>(context.column) * context.mcuWidth - 1;
  if (column < 0 || column >= context.width) return 0;
  ChannelSums sums;
  int32_t pairs = 0;
  for (int32_t y = 0; y < buffer.height; ++y) {
    const int64_t line = static_cast<int64_t>(context.row) * context.mcuHeight + y;
    if (line < 0 || line >= context.height) continue;
    sums.Add(buffer.At(0, y, 0), PicturePixel(context, column, line));
    ++pairs;
  }
  return Average(sums.Magnitude(), pairs);
}

int32_t BlockSeamScore(const McuBuffer& buffer, const RatingContext& context) {
  if (!BufferFits(buffer, context)) return 0;
  auto difference = [](uint32_t a, uint32_t b) {
    return std::abs(Red(a) - Red(b)) + std::abs(Green(a) - Green(b)) + std::abs(Blue(a) - Blue(b));
  };
  int32_t total = 0;
  int32_t pairs = 0;
  if (buffer.width == 16) {  // HSampling(0) = 2: two luma blocks side by side
    for (int32_t y = 0; y < buffer.height; ++y, ++pairs)
      total += difference(buffer.At(7, y, 0), buffer.At(8, y, 0));
  }
  if (buffer.height == 16) {  // VSampling(0) = 2: two luma blocks one above the other
    for (int32_t x = 0; x < buffer.width; ++x, ++pairs)
      total += difference(buffer.At(x, 7, 0), buffer.At(x, 8, 0));
  }
  return Average(total, pairs);
}

int32_t TrialScore(const McuBuffer& buffer, const RatingContext& context) {
  return TopEdgeScore(buffer, context) + SeamScore(buffer, context) + LeftEdgeScore(buffer, context) +
         BlockSeamScore(buffer, context);
}

}  // namespace vorn
