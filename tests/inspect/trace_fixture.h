// Hand-made tracer inputs: code tables written out bit by bit, scan bits placed at
// exact positions, so that every expected line and pixel can be worked out by hand.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decode/idct.h"
#include "inspect/tracer.h"

namespace vorn::testing {

// Adds the code word `bits` ("1011") with run/size to a stored Huffman table.
inline void AddCode(HuffCodeTable& table, std::string_view bits, int run, int size) {
  int32_t value = 0;
  for (char c : bits) value = value * 2 + (c == '1' ? 1 : 0);
  const size_t n = bits.size() - 1;
  const int k = table.Count[n]++;
  table.Code[n][k] = value;
  table.Run[n][k] = static_cast<uint8_t>(run);
  table.Size[n][k] = static_cast<uint8_t>(size);
}

// Writes bits ('0'/'1', anything else skipped) from (pos, bit) on, most significant
// bit first, leaving the other bits of each byte as they were.
struct BitPlacer {
  ByteStore& bytes;
  int32_t pos;
  int bit = 0;

  BitPlacer& Put(std::string_view bits) {
    for (char c : bits) {
      if (c != '0' && c != '1') continue;
      const auto mask = static_cast<uint8_t>(0x80 >> bit);
      if (c == '1')
        bytes[static_cast<size_t>(pos)] |= mask;
      else
        bytes[static_cast<size_t>(pos)] &= static_cast<uint8_t>(~mask);
      if (++bit == 8) {
        bit = 0;
        ++pos;
      }
    }
    return *this;
  }
  // Fills the rest of the current byte with 1 bits, as an encoder pads.
  BitPlacer& Pad() {
    while (bit != 0) Put("1");
    return *this;
  }
  // Whole bytes at a byte boundary (markers, stuffing).
  BitPlacer& Raw(std::initializer_list<uint8_t> data) {
    for (uint8_t b : data) bytes[static_cast<size_t>(pos++)] = b;
    return *this;
  }
};

// One traceable setup. Tables (both classes, identifier 0):
//   DC: 00 -> size 2, 01 -> size 0, 100 -> size 11, 101 -> size 1
//   AC: 00 -> EOB, 01 -> (0,1), 100 -> ZRL (F,0), 1011000000000000 -> (0,3)
// No code is all 1 bits, so the 1 bits that pad a byte before a marker never match.
// Identifier 2 of both classes has no codes. Quantization slot 0 is flat 8 (a DC
// of 1 gives 8 x 500000 / 4000000 = 1 above 128), slot 1 flat 1.
struct TraceFixture {
  FileImage file;
  Records rec;
  McuBlockPlan plan;
  std::array<uint8_t, 8> bitMask{128, 64, 32, 16, 8, 4, 2, 1};
  IdctMatrixTable idct{};
  int32_t scanDataEnd = 0;
  McuPointerState pointer;
  std::array<int32_t, 3> startDc{};
  ByteOverride trial;
  std::array<int32_t, 3> mcuEnd{-7, -7, -7};
  window::ListBox LOG;
  AnalysisState analysis;
  McuBuffer pixels;

  explicit TraceFixture(int32_t fileLength = 0x400) {
    file.bytes.assign(static_cast<size_t>(fileLength), 0);
    scanDataEnd = fileLength - 1;
    BuildIdctMatrix(idct);
    HuffCodeTable& dc = rec.huff.HuffTable[0][0];
    AddCode(dc, "00", 0, 2);
    AddCode(dc, "01", 0, 0);
    AddCode(dc, "100", 0, 11);
    AddCode(dc, "101", 0, 1);
    HuffCodeTable& ac = rec.huff.HuffTable[1][0];
    AddCode(ac, "00", 0, 0);
    AddCode(ac, "01", 0, 1);
    AddCode(ac, "100", 15, 0);
    AddCode(ac, "1011000000000000", 0, 3);
    rec.quant.QuantValues[0].fill(8);
    rec.quant.QuantValues[1].fill(1);
    Grey();
  }

  // One component, one block per MCU of 8 x 8.
  void Grey() {
    rec.frame.HSampling = {1, 0, 0};
    rec.frame.VSampling = {1, 0, 0};
    plan = McuBlockPlan{};
    plan.McuBlockCount = 1;
    pixels.Reset(8, 8, 3);
  }
  // 4:2:0: four luma blocks, then Cb and Cr, all on tables 0 and quantization slot q.
  void Colour420(int16_t q = 0) {
    rec.frame.HSampling = {2, 1, 1};
    rec.frame.VSampling = {2, 1, 1};
    plan = McuBlockPlan{};
    plan.McuBlockCount = 6;
    for (int b = 0; b < 6; ++b) {
      plan.McuBlockTable[12 + b] = q;
      plan.McuBlockTable[18 + b] = static_cast<int16_t>(b < 4 ? 0 : b - 3);
    }
    pixels.Reset(16, 16, 3);
  }
  void Quant(int16_t q) {
    for (int b = 0; b < 6; ++b) plan.McuBlockTable[12 + b] = q;
  }

  BitPlacer At(int32_t pos, int bit = 0) {
    pointer.BytePos = pos;
    pointer.BitIndex = bit;
    return BitPlacer{file.bytes, pos, bit};
  }

  TraceResult Trace(int16_t lastMcu, bool listing) {
    const TraceInputs in{file, rec, plan, bitMask, idct, scanDataEnd, pointer, startDc, trial};
    TraceListing sink{LOG, analysis};
    return TraceMcus(in, mcuEnd, pixels, lastMcu, listing ? &sink : nullptr);
  }

  // Grey pixel of an 8-bit level, as the colour conversion gives it.
  static uint32_t GreyPixel(uint32_t level) { return level << 16 | level << 8 | level; }
  // Whether every pixel of traced MCU m is `colour`.
  bool McuIs(int32_t m, uint32_t colour) const {
    for (int32_t y = 0; y < pixels.height; ++y)
      for (int32_t x = 0; x < pixels.width; ++x)
        if (pixels.At(x, y, m) != colour) return false;
    return true;
  }
};

}  // namespace vorn::testing
