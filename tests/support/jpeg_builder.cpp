#include "support/jpeg_builder.h"

#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>

namespace vorn::testing {

namespace {

// The standard tables are taken from libjpeg's own defaults rather than typed in,
// so a typo here cannot make a test agree with a wrong implementation.
struct LibjpegDefaults {
  HuffmanSpec dc[2], ac[2];
  QuantValues quant[2];

  LibjpegDefaults() {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    // Quality 50 scales the Annex K tables by exactly 100 %.
    jpeg_set_quality(&cinfo, 50, TRUE);
    for (int t = 0; t < 2; ++t) {
      dc[t] = FromLibjpeg(cinfo.dc_huff_tbl_ptrs[t], 0, t);
      ac[t] = FromLibjpeg(cinfo.ac_huff_tbl_ptrs[t], 1, t);
      const auto zigzag = ZigZagToNatural();
      for (int k = 0; k < 64; ++k)
        quant[t][k] = static_cast<uint8_t>(cinfo.quant_tbl_ptrs[t]->quantval[zigzag[k]]);
    }
    jpeg_destroy_compress(&cinfo);
  }

  static HuffmanSpec FromLibjpeg(const JHUFF_TBL* table, int tc, int th) {
    HuffmanSpec spec;
    spec.tc = tc;
    spec.th = th;
    int total = 0;
    for (int n = 0; n < 16; ++n) {
      spec.counts[n] = table->bits[n + 1];  // libjpeg counts from index 1
      total += spec.counts[n];
    }
    spec.symbols.assign(table->huffval, table->huffval + total);
    return spec;
  }

  // Natural (row-major) index of the k-th coefficient in zig-zag order, walked
  // along the anti-diagonals of the 8 x 8 block.
  static std::array<int, 64> ZigZagToNatural() {
    std::array<int, 64> order{};
    int k = 0;
    for (int d = 0; d < 15; ++d) {
      const int lo = d < 8 ? 0 : d - 7;
      const int hi = d < 8 ? d : 7;
      for (int i = lo; i <= hi; ++i) {
        const int row = (d % 2 == 0) ? d - i : i;
        const int col = d - row;
        order[k++] = row * 8 + col;
      }
    }
    return order;
  }
};

const LibjpegDefaults& Defaults() {
  static const LibjpegDefaults defaults;
  return defaults;
}

void Put16(std::vector<uint8_t>& out, int value) {
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

}  // namespace

std::optional<HuffmanSpec::Code> HuffmanSpec::CodeOf(uint8_t symbol) const {
  uint32_t code = 0;
  size_t i = 0;
  for (int n = 0; n < 16; ++n) {
    for (int k = 0; k < counts[n]; ++k, ++i, ++code) {
      if (i < symbols.size() && symbols[i] == symbol) return Code{code, n + 1};
    }
    code <<= 1;
  }
  return std::nullopt;
}

HuffmanSpec StandardLuminanceDc() {
  return Defaults().dc[0];
}
HuffmanSpec StandardLuminanceAc() {
  return Defaults().ac[0];
}
HuffmanSpec StandardChrominanceDc() {
  return Defaults().dc[1];
}
HuffmanSpec StandardChrominanceAc() {
  return Defaults().ac[1];
}
QuantValues StandardLuminanceQuant() {
  return Defaults().quant[0];
}
QuantValues StandardChrominanceQuant() {
  return Defaults().quant[1];
}

QuantValues FlatQuant(uint8_t value) {
  QuantValues q;
  q.fill(value);
  return q;
}

std::vector<FrameComponent> Grey() {
  return {{1, 1, 1, 0}};
}
std::vector<FrameComponent> YCbCr420() {
  return {{1, 2, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};
}
std::vector<FrameComponent> YCbCr444() {
  return {{1, 1, 1, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}};
}
std::vector<ScanComponent> GreyScan() {
  return {{1, 0, 0}};
}
std::vector<ScanComponent> YCbCrScan() {
  return {{1, 0, 0}, {2, 1, 1}, {3, 1, 1}};
}

JpegBuilder& JpegBuilder::Marker(uint8_t code) {
  bytes_.push_back(0xFF);
  bytes_.push_back(code);
  return *this;
}

JpegBuilder& JpegBuilder::Raw(const std::vector<uint8_t>& data) {
  bytes_.insert(bytes_.end(), data.begin(), data.end());
  return *this;
}

JpegBuilder& JpegBuilder::Segment(uint8_t code, const std::vector<uint8_t>& payload,
                                  std::optional<uint16_t> length) {
  Marker(code);
  Put16(bytes_, length ? *length : static_cast<int>(payload.size()) + 2);
  return Raw(payload);
}

JpegBuilder& JpegBuilder::App0Jfif(int units, uint16_t xDensity, uint16_t yDensity, uint8_t thumbWidth,
                                   uint8_t thumbHeight, const std::vector<uint8_t>& thumbRgb) {
  std::vector<uint8_t> p = {'J', 'F', 'I', 'F', 0, 1, 1, static_cast<uint8_t>(units)};
  Put16(p, xDensity);
  Put16(p, yDensity);
  p.push_back(thumbWidth);
  p.push_back(thumbHeight);
  p.insert(p.end(), thumbRgb.begin(), thumbRgb.end());
  return Segment(0xE0, p);
}

JpegBuilder& JpegBuilder::Dqt(const std::vector<QuantSpec>& tables) {
  std::vector<uint8_t> p;
  for (const QuantSpec& t : tables) {
    p.push_back(static_cast<uint8_t>((t.pq << 4) | (t.tq & 0xF)));
    p.insert(p.end(), t.values.begin(), t.values.end());
  }
  return Segment(0xDB, p);
}

JpegBuilder& JpegBuilder::Sof(uint8_t code, int width, int height,
                              const std::vector<FrameComponent>& components, int precision) {
  std::vector<uint8_t> p = {static_cast<uint8_t>(precision)};
  Put16(p, height);
  Put16(p, width);
  p.push_back(static_cast<uint8_t>(components.size()));
  for (const FrameComponent& c : components) {
    p.push_back(static_cast<uint8_t>(c.id));
    p.push_back(static_cast<uint8_t>((c.h << 4) | (c.v & 0xF)));
    p.push_back(static_cast<uint8_t>(c.tq));
  }
  return Segment(code, p);
}

JpegBuilder& JpegBuilder::Dht(const std::vector<HuffmanSpec>& tables) {
  std::vector<uint8_t> p;
  for (const HuffmanSpec& t : tables) {
    p.push_back(static_cast<uint8_t>((t.tc << 4) | (t.th & 0xF)));
    p.insert(p.end(), t.counts.begin(), t.counts.end());
    p.insert(p.end(), t.symbols.begin(), t.symbols.end());
  }
  return Segment(0xC4, p);
}

JpegBuilder& JpegBuilder::DhtStandard() {
  return Dht(
      {StandardLuminanceDc(), StandardLuminanceAc(), StandardChrominanceDc(), StandardChrominanceAc()});
}

JpegBuilder& JpegBuilder::Sos(const std::vector<ScanComponent>& components, int ss, int se, int ah, int al) {
  std::vector<uint8_t> p = {static_cast<uint8_t>(components.size())};
  for (const ScanComponent& c : components) {
    p.push_back(static_cast<uint8_t>(c.cs));
    p.push_back(static_cast<uint8_t>((c.td << 4) | (c.ta & 0xF)));
  }
  p.push_back(static_cast<uint8_t>(ss));
  p.push_back(static_cast<uint8_t>(se));
  p.push_back(static_cast<uint8_t>((ah << 4) | (al & 0xF)));
  return Segment(0xDA, p);
}

JpegBuilder& JpegBuilder::Dri(uint16_t interval) {
  std::vector<uint8_t> p;
  Put16(p, interval);
  return Segment(0xDD, p);
}

int SizeCategory(int v) {
  int magnitude = v < 0 ? -v : v;
  int size = 0;
  while (magnitude != 0) {
    ++size;
    magnitude >>= 1;
  }
  return size;
}

uint32_t ExtraBits(int v, int size) {
  // Negative values are sent as v - 1 in size bits (ones' complement of |v|).
  const int bits = v < 0 ? v + (1 << size) - 1 : v;
  return static_cast<uint32_t>(bits) & ((1u << size) - 1u);
}

void BitWriter::PutBits(uint32_t bits, int count) {
  for (int i = count - 1; i >= 0; --i) {
    acc_ = (acc_ << 1) | ((bits >> i) & 1u);
    ++bitCount_;
    if (++accBits_ == 8) {
      bytes_.push_back(static_cast<uint8_t>(acc_));
      if (acc_ == 0xFF) bytes_.push_back(0x00);
      acc_ = 0;
      accBits_ = 0;
    }
  }
}

void BitWriter::PutCode(const HuffmanSpec& table, uint8_t symbol) {
  const auto code = table.CodeOf(symbol);
  if (!code) {
    std::fprintf(stderr, "BitWriter: symbol %02X is not in the table\n", symbol);
    std::abort();
  }
  PutBits(code->bits, code->length);
}

void BitWriter::PutDc(const HuffmanSpec& dc, int diff) {
  const int size = SizeCategory(diff);
  PutCode(dc, static_cast<uint8_t>(size));
  PutBits(ExtraBits(diff, size), size);
}

void BitWriter::PutAc(const HuffmanSpec& ac, int run, int value) {
  const int size = SizeCategory(value);
  PutCode(ac, static_cast<uint8_t>((run << 4) | size));
  PutBits(ExtraBits(value, size), size);
}

void BitWriter::PutBlock(const HuffmanSpec& dc, const HuffmanSpec& ac, int dcDiff,
                         const std::array<int, 63>& acZigZag) {
  PutDc(dc, dcDiff);
  int run = 0;
  for (int k = 0; k < 63; ++k) {
    if (acZigZag[k] == 0) {
      ++run;
      continue;
    }
    for (; run > 15; run -= 16) PutCode(ac, 0xF0);  // ZRL: sixteen zeros
    PutAc(ac, run, acZigZag[k]);
    run = 0;
  }
  if (run > 0) PutEob(ac);
}

std::vector<uint8_t> BitWriter::Finish() {
  while (accBits_ != 0) PutBits(1, 1);
  return bytes_;
}

std::vector<uint8_t> FlatBaselineJpeg(int width, int height, int components) {
  const bool grey = components == 1;
  const int mcuSize = grey ? 8 : 16;
  const int mcus = ((width + mcuSize - 1) / mcuSize) * ((height + mcuSize - 1) / mcuSize);
  const HuffmanSpec dc0 = StandardLuminanceDc(), ac0 = StandardLuminanceAc();
  const HuffmanSpec dc1 = StandardChrominanceDc(), ac1 = StandardChrominanceAc();
  BitWriter scan;
  for (int m = 0; m < mcus; ++m) {
    for (int y = 0; y < (grey ? 1 : 4); ++y) scan.PutBlock(dc0, ac0, 0);
    if (!grey) {
      scan.PutBlock(dc1, ac1, 0);
      scan.PutBlock(dc1, ac1, 0);
    }
  }
  JpegBuilder b;
  b.Soi().App0Jfif().Dqt({{0, 0, StandardLuminanceQuant()}, {0, 1, StandardChrominanceQuant()}});
  b.Sof0(width, height, grey ? Grey() : YCbCr420()).DhtStandard();
  b.Sos(grey ? GreyScan() : YCbCrScan()).Raw(scan.Finish()).Eoi();
  return b.Bytes();
}

}  // namespace vorn::testing
