#include "salvage/baseline_encoder.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "jpeg/marker_codes.h"
#include "analysis/zigzag.h"

namespace vorn {

namespace {

int SlotOf(const HuffmanLookup* table, const std::array<HuffmanLookup, 4>& tables) {
  return static_cast<int>(table - tables.data());
}

struct Code {
  uint16_t bits = 0;
  uint8_t length = 0;  // 0: no code
};
using CodeMap = std::array<Code, 256>;

// Canonical codes as the decoder assigns them; a symbol listed twice keeps its first.
CodeMap CodesOf(const HuffmanSpec& spec) {
  CodeMap map{};
  uint32_t code = 0;
  size_t k = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < spec.counts[static_cast<size_t>(length - 1)] && k < spec.values.size(); ++i, ++k) {
      Code& c = map[spec.values[k]];
      if (c.length == 0 && code < (1u << length)) c = Code{static_cast<uint16_t>(code), static_cast<uint8_t>(length)};
      ++code;
    }
    code <<= 1;
  }
  return map;
}

HuffCodeTable CodeTableOf(const HuffmanSpec& spec) {
  HuffCodeTable table;
  uint32_t code = 0;
  size_t k = 0;
  for (int length = 1; length <= 16; ++length) {
    const size_t n = static_cast<size_t>(length - 1);
    for (int i = 0; i < spec.counts[n] && k < spec.values.size(); ++i, ++k) {
      const int32_t at = table.Count[n]++;
      table.Code[n][static_cast<size_t>(at)] = static_cast<int32_t>(code++);
      table.Run[n][static_cast<size_t>(at)] = static_cast<uint8_t>(spec.values[k] >> 4);
      table.Size[n][static_cast<size_t>(at)] = static_cast<uint8_t>(spec.values[k] & 15);
    }
    code <<= 1;
  }
  return table;
}

int Category(int32_t value) {
  return std::bit_width(static_cast<uint32_t>(std::abs(value)));
}

uint32_t ExtraBits(int32_t value, int size) {
  return static_cast<uint32_t>(value < 0 ? value + (1 << size) - 1 : value) & ((1u << size) - 1);
}

// Walks the grid in scan order: symbol(tableClass, slot, symbol, extra, extraLength)
// for every code word, restart(n) before every restart marker.
template <class Symbol, class Restart>
void WalkScan(const ScanModel& model, const CoefficientGrid& grid, Symbol&& symbol, Restart&& restart) {
  std::array<int32_t, 3> pred{};
  for (int32_t m = 0; m < model.totalMcus; ++m) {
    if (model.restartInterval > 0 && m > 0 && m % model.restartInterval == 0) {
      restart(m / model.restartInterval - 1);
      pred = {};
    }
    for (int b = 0; b < model.blockCount; ++b) {
      const ScanModel::Block& blk = model.blocks[static_cast<size_t>(b)];
      const CoefficientBlock& c = grid.Block(m, b);
      const int dcSlot = SlotOf(blk.dc, model.dcTables), acSlot = SlotOf(blk.ac, model.acTables);
      int32_t& p = pred[static_cast<size_t>(blk.component)];
      const int32_t diff = c[0] - p;
      p = c[0];
      const int dcSize = Category(diff);
      symbol(0, dcSlot, dcSize, ExtraBits(diff, dcSize), dcSize);
      int run = 0;
      for (int k = 1; k < 64; ++k) {
        const int32_t v = c[static_cast<size_t>(kNaturalOrder[static_cast<size_t>(k)])];
        if (v == 0) {
          ++run;
          continue;
        }
        for (; run >= 16; run -= 16) symbol(1, acSlot, 0xF0, 0u, 0);
        const int size = Category(v);
        symbol(1, acSlot, run << 4 | size, ExtraBits(v, size), size);
        run = 0;
      }
      if (run > 0) symbol(1, acSlot, 0x00, 0u, 0);
    }
  }
}

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void Put(uint32_t bits, int length) {
    for (int i = length - 1; i >= 0; --i) {
      acc_ = static_cast<uint8_t>(acc_ << 1 | ((bits >> i) & 1));
      if (++count_ == 8) Byte();
    }
  }
  // Pads the last byte with 1 bits.
  void Pad() {
    while (count_ != 0) Put(1, 1);
  }

 private:
  void Byte() {
    out_.push_back(acc_);
    if (acc_ == 0xFF) out_.push_back(0x00);
    acc_ = 0;
    count_ = 0;
  }
  std::vector<uint8_t>& out_;
  uint8_t acc_ = 0;
  int count_ = 0;
};

void AppendDht(const HuffmanSpec& spec, int tableClass, int slot, std::vector<uint8_t>& segment) {
  segment.push_back(static_cast<uint8_t>(tableClass << 4 | slot));
  segment.insert(segment.end(), spec.counts.begin(), spec.counts.end());
  segment.insert(segment.end(), spec.values.begin(), spec.values.end());
}

}  // namespace

bool ReadHeaderTables(std::span<const uint8_t> file, int64_t scanStart, HeaderTables& out, std::string& why) {
  out = HeaderTables{};
  const auto size = static_cast<int64_t>(file.size());
  const auto at = [&](int64_t i) { return file[static_cast<size_t>(i)]; };
  if (size < 4 || at(0) != marker::kFill || at(1) != marker::kSOI) {
    why = "the file does not begin with SOI";
    return false;
  }
  for (int64_t p = 2; p + 3 < size && p < scanStart;) {
    if (at(p) != marker::kFill) break;
    const uint8_t code = at(p + 1);
    if (code == marker::kFill) {
      ++p;
      continue;
    }
    const int64_t length = at(p + 2) * 256 + at(p + 3);
    const int64_t end = p + 2 + length;
    if (length < 2 || end > size) break;
    if (code == marker::kSOS) {
      if (end != scanStart) break;
      out.sosMarker = p;
      return true;
    }
    if (code == marker::kDHT) {
      for (int64_t q = p + 4; q + 17 <= end;) {
        const uint8_t tc = at(q);
        HuffmanSpec spec;
        int total = 0;
        for (int i = 0; i < 16; ++i) total += spec.counts[static_cast<size_t>(i)] = at(q + 1 + i);
        if (q + 17 + total > end || (tc >> 4) > 1 || (tc & 15) > 3) break;
        spec.values.assign(file.begin() + q + 17, file.begin() + q + 17 + total);
        ((tc >> 4) == 0 ? out.dc : out.ac)[tc & 3] = std::move(spec);
        q += 17 + total;
      }
    }
    p = end;
  }
  why = "the segments before the scan cannot be walked";
  return false;
}

HuffmanSpec OptimalTable(const std::array<int64_t, 256>& counts) {
  std::array<int64_t, 257> freq{};
  std::array<int, 257> codeSize{}, others{};
  for (size_t i = 0; i < 256; ++i) freq[i] = counts[i];
  freq[256] = 1;  // a reserved symbol, so that no real code is all 1 bits
  others.fill(-1);
  for (;;) {
    int c1 = -1, c2 = -1;
    for (int i = 0; i <= 256; ++i)
      if (freq[static_cast<size_t>(i)] > 0 && (c1 < 0 || freq[static_cast<size_t>(i)] <= freq[static_cast<size_t>(c1)]))
        c1 = i;
    for (int i = 0; i <= 256; ++i)
      if (i != c1 && freq[static_cast<size_t>(i)] > 0 &&
          (c2 < 0 || freq[static_cast<size_t>(i)] <= freq[static_cast<size_t>(c2)]))
        c2 = i;
    if (c2 < 0) break;
    freq[static_cast<size_t>(c1)] += freq[static_cast<size_t>(c2)];
    freq[static_cast<size_t>(c2)] = 0;
    ++codeSize[static_cast<size_t>(c1)];
    while (others[static_cast<size_t>(c1)] >= 0) {
      c1 = others[static_cast<size_t>(c1)];
      ++codeSize[static_cast<size_t>(c1)];
    }
    others[static_cast<size_t>(c1)] = c2;
    ++codeSize[static_cast<size_t>(c2)];
    while (others[static_cast<size_t>(c2)] >= 0) {
      c2 = others[static_cast<size_t>(c2)];
      ++codeSize[static_cast<size_t>(c2)];
    }
  }
  std::array<int, 33> bits{};
  for (int i = 0; i <= 256; ++i)
    if (codeSize[static_cast<size_t>(i)] > 0) ++bits[static_cast<size_t>(std::min(codeSize[static_cast<size_t>(i)], 32))];
  // Lengths over 16 bits: move pairs up the tree, as every baseline encoder does.
  for (int i = 32; i > 16; --i) {
    while (bits[static_cast<size_t>(i)] > 0) {
      int j = i - 2;
      while (bits[static_cast<size_t>(j)] == 0) --j;
      bits[static_cast<size_t>(i)] -= 2;
      ++bits[static_cast<size_t>(i - 1)];
      bits[static_cast<size_t>(j + 1)] += 2;
      --bits[static_cast<size_t>(j)];
    }
  }
  int longest = 16;
  while (longest > 0 && bits[static_cast<size_t>(longest)] == 0) --longest;
  if (longest > 0) --bits[static_cast<size_t>(longest)];  // the reserved symbol's code
  HuffmanSpec spec;
  for (int i = 1; i <= 16; ++i) spec.counts[static_cast<size_t>(i - 1)] = static_cast<uint8_t>(bits[static_cast<size_t>(i)]);
  for (int length = 1; length <= 32; ++length)
    for (int s = 0; s < 256; ++s)
      if (codeSize[static_cast<size_t>(s)] == length) spec.values.push_back(static_cast<uint8_t>(s));
  // The lengths above were moved, not the symbols: hand them out shortest first in
  // order of the original lengths, which keeps the most frequent the shortest.
  return spec;
}

bool EncodeBaseline(const ScanModel& model, std::span<const uint8_t> file, const CoefficientGrid& grid,
                    EncodedFile& out, std::string& why) {
  out = EncodedFile{};
  if (!ReadHeaderTables(file, model.scanStart, out.tables, why)) return false;
  // Which symbols each table must code.
  std::array<std::array<std::array<int64_t, 256>, 4>, 2> counts{};
  WalkScan(
      model, grid, [&](int tc, int slot, int symbol, uint32_t, int) { ++counts[static_cast<size_t>(tc)][static_cast<size_t>(slot)][static_cast<size_t>(symbol)]; },
      [](int32_t) {});
  std::vector<uint8_t> dht;
  for (int tc = 0; tc < 2; ++tc) {
    auto& specs = tc == 0 ? out.tables.dc : out.tables.ac;
    for (int slot = 0; slot < 4; ++slot) {
      const auto& used = counts[static_cast<size_t>(tc)][static_cast<size_t>(slot)];
      if (std::all_of(used.begin(), used.end(), [](int64_t n) { return n == 0; })) continue;
      bool covered = specs[static_cast<size_t>(slot)].has_value();
      if (covered) {
        const CodeMap codes = CodesOf(*specs[static_cast<size_t>(slot)]);
        for (size_t s = 0; s < 256 && covered; ++s) covered = used[s] == 0 || codes[s].length > 0;
      }
      if (covered) continue;
      specs[static_cast<size_t>(slot)] = OptimalTable(used);
      AppendDht(*specs[static_cast<size_t>(slot)], tc, slot, dht);
      out.newTables.push_back((tc == 0 ? "DC" : "AC") + std::to_string(slot));
    }
  }
  std::array<std::array<CodeMap, 4>, 2> codes{};
  for (size_t slot = 0; slot < 4; ++slot) {
    if (out.tables.dc[slot]) codes[0][slot] = CodesOf(*out.tables.dc[slot]);
    if (out.tables.ac[slot]) codes[1][slot] = CodesOf(*out.tables.ac[slot]);
  }
  std::vector<uint8_t>& bytes = out.bytes;
  const auto sos = static_cast<size_t>(out.tables.sosMarker);
  bytes.assign(file.begin(), file.begin() + static_cast<ptrdiff_t>(sos));
  if (!dht.empty()) {
    const size_t length = dht.size() + 2;
    bytes.insert(bytes.end(), {marker::kFill, marker::kDHT, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF)});
    bytes.insert(bytes.end(), dht.begin(), dht.end());
    out.tables.sosMarker = static_cast<int64_t>(bytes.size());
  }
  bytes.insert(bytes.end(), file.begin() + static_cast<ptrdiff_t>(sos), file.begin() + model.scanStart);
  out.scanStart = static_cast<int64_t>(bytes.size());
  bytes.reserve(bytes.size() + static_cast<size_t>(model.totalMcus) * 64);
  BitWriter writer(bytes);
  WalkScan(
      model, grid,
      [&](int tc, int slot, int symbol, uint32_t extra, int extraLength) {
        const Code c = codes[static_cast<size_t>(tc)][static_cast<size_t>(slot)][static_cast<size_t>(symbol)];
        writer.Put(c.bits, c.length);
        writer.Put(extra, extraLength);
      },
      [&](int32_t n) {
        writer.Pad();
        bytes.push_back(marker::kFill);
        bytes.push_back(static_cast<uint8_t>(marker::kRST0 + (n & 7)));
      });
  writer.Pad();
  bytes.push_back(marker::kFill);
  bytes.push_back(marker::kEOI);
  return true;
}

void CopyScanModel(const ScanModel& from, ScanModel& to) {
  to.scanStart = from.scanStart;
  to.geometry = from.geometry;
  to.totalMcus = from.totalMcus;
  to.restartInterval = from.restartInterval;
  to.intervals = from.intervals;
  to.components = from.components;
  to.h = from.h;
  to.v = from.v;
  to.hMax = from.hMax;
  to.vMax = from.vMax;
  to.frameWidth = from.frameWidth;
  to.frameHeight = from.frameHeight;
  to.blockCount = from.blockCount;
  to.quant = from.quant;
  to.quantNatural = from.quantNatural;
  to.largest = from.largest;
  to.dcTables = from.dcTables;
  to.acTables = from.acTables;
  to.kernel = from.kernel;
  for (int b = 0; b < from.blockCount; ++b) {
    const ScanModel::Block& f = from.blocks[static_cast<size_t>(b)];
    ScanModel::Block& t = to.blocks[static_cast<size_t>(b)];
    t = f;
    t.dc = &to.dcTables[static_cast<size_t>(SlotOf(f.dc, from.dcTables))];
    t.ac = &to.acTables[static_cast<size_t>(SlotOf(f.ac, from.acTables))];
    t.largest = &to.largest[static_cast<size_t>(f.quant)];
  }
}

void UseTables(const HeaderTables& tables, ScanModel& model) {
  for (size_t slot = 0; slot < 4; ++slot) {
    if (tables.dc[slot]) model.dcTables[slot].Build(CodeTableOf(*tables.dc[slot]));
    if (tables.ac[slot]) model.acTables[slot].Build(CodeTableOf(*tables.ac[slot]));
  }
}

int32_t FirstMismatch(const ScanModel& model, const EncodedFile& out, const CoefficientGrid& grid) {
  ScanModel again;
  CopyScanModel(model, again);
  UseTables(out.tables, again);
  again.scanStart = static_cast<int32_t>(out.scanStart);
  CoefficientGrid decoded;
  const int32_t whole = DecodeGrid(again, out.bytes, decoded);
  if (whole < again.totalMcus) return whole;
  for (int32_t m = 0; m < grid.totalMcus; ++m)
    for (int b = 0; b < grid.blockCount; ++b)
      if (decoded.Block(m, b) != grid.Block(m, b)) return m;
  return -1;
}

}  // namespace vorn
